#pragma once
// The reply envelope of the update API: RESULT, TITLE, MESSAGE, MESSAGE_DEBUG, DATA (a list of
// strings) and TIME_STAMP, all JSON strings.
#include <string>
#include <vector>

struct Envelope {
    std::string result;  // "OK", "EMPTY", "ERROR" or "EXCEPTION"
    std::string title;
    std::string message;
    std::string messageDebug;
    std::vector<std::string> data;
};

// The envelope as compact JSON, the members in the order above; always well-formed UTF-8
// (bytes of the texts that are not become U+FFFD).
std::string SerializeEnvelope(const Envelope& envelope, const std::string& timeStamp);

// The current time in UTC, "YYYY-MM-DDTHH:MM:SSZ".
std::string CurrentTimeStamp();
