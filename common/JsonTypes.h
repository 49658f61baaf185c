#pragma once
// RapidJSON with the project's wide encoding (UTF-32 wchar_t here, UTF-16 on Windows).
#include <rapidjson/document.h>
#include <rapidjson/pointer.h>

#include <cwchar>

#if WCHAR_MAX > 0xFFFF
using JsonEncoding = rapidjson::UTF32<wchar_t>;
#else
using JsonEncoding = rapidjson::UTF16<wchar_t>;
#endif
using JsonDocument = rapidjson::GenericDocument<JsonEncoding>;
using JsonValue = rapidjson::GenericValue<JsonEncoding>;
using JsonPointer = rapidjson::GenericPointer<JsonValue>;
