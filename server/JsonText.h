#pragma once
#include <string>

#include "common/JsonTypes.h"

// Parses one whole JSON text (white space around the value allowed, nothing else; a NUL
// character anywhere fails it; nesting deeper than kJsonDepthLimit fails it). On success
// the document holds the value; on failure it is left as it was.
bool ParseJsonText(const std::wstring& text, JsonDocument& document);

// The value as JSON text: compact, or pretty-printed with four spaces.
std::wstring ToCompactJsonText(const JsonValue& value);
std::wstring ToPrettyJsonText(const JsonValue& value);
