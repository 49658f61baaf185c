#pragma once
// The launcher's timed message boxes as Wine's relay trace shows them. Without a display
// Wine's MessageBoxTimeoutW returns at once and shows nothing; with the trace on for that
// one function (the template prefix's RelayInclude) every call is a line on wine's standard
// error holding the body and the caption:
//   Call user32.MessageBoxTimeoutW(00000000,00cd5f10 L"<body>",00cd4530 L"<caption>",...)
// Wine escapes the texts (\r, \n, \", \\, \XXXX for every other character outside printable
// ASCII) and cuts a long one short, marking it with "..." after the closing quote.
#include <string>
#include <vector>

struct MessageBoxCall {
    std::string body;     // UTF-8; perhaps only its beginning
    std::string caption;  // UTF-8
};

// The calls in wine's output, in order.
std::vector<MessageBoxCall> FindMessageBoxCalls(const std::string& wineOutput);
// True when a box whose body starts with text was shown.
bool ShownBox(const std::vector<MessageBoxCall>& boxes, const std::string& text);
