#pragma once
// Output of the server on standard output: the listening line and one line per request.
#include <string>
#include <string_view>

// "METHOD TARGET STATUS", followed by " RESULT" for update API replies. TARGET is the request
// target as received (path and query, still percent-encoded); bytes below 0x21, 0x7f and
// above are written as %XX so a hostile request cannot forge or split log lines.
std::string FormatRequestLine(std::string_view method, std::string_view target, int status,
                              std::string_view result);

// Writes one line and flushes; safe to call from the server's worker threads.
void WriteOutputLine(const std::string& line);
