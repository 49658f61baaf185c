#pragma once
// The update server's response envelope.
#include <string>
#include <vector>

struct ST_PACKET {
    std::wstring RESULT;
    std::wstring TITLE;  // never filled from a reply
    std::wstring MESSAGE;
    std::wstring MESSAGE_DEBUG;
    std::vector<std::wstring> DATA;
    std::wstring TIME_STAMP;
    std::wstring packetText;  // the whole reply as received

    // 0 success, 5 not valid JSON, 10 RESULT is null. keepData false records one stand-in
    // entry instead of the DATA elements. Members of another type than a string count as
    // absent; a DATA element that is not a string is kept as an empty entry so the order
    // of the others holds.
    int Parse(std::wstring text, bool keepData);
};
