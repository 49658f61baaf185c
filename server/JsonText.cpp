#include "server/JsonText.h"

#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "common/JsonDepth.h"

bool ParseJsonText(const std::wstring& text, JsonDocument& document) {
    // The parser stops at a NUL, which would let text behind it pass unseen.
    if (text.find(L'\0') != std::wstring::npos) return false;
    JsonDocument parsed;
    rapidjson::GenericStringStream<JsonEncoding> stream(text.c_str());
    if (ParseJsonWithinDepthLimit<rapidjson::kParseDefaultFlags, JsonEncoding>(parsed, stream)
            .IsError())
        return false;
    document.Swap(parsed);
    return true;
}

namespace {

using WideBuffer = rapidjson::GenericStringBuffer<JsonEncoding>;

template <typename Writer>
std::wstring WriteJson(const JsonValue& value) {
    WideBuffer buffer;
    Writer writer(buffer);
    value.Accept(writer);
    return std::wstring(buffer.GetString(), buffer.GetSize() / sizeof(wchar_t));
}

}  // namespace

std::wstring ToCompactJsonText(const JsonValue& value) {
    return WriteJson<rapidjson::Writer<WideBuffer, JsonEncoding, JsonEncoding>>(value);
}

std::wstring ToPrettyJsonText(const JsonValue& value) {
    // The pretty writer indents by four spaces unless told otherwise.
    return WriteJson<rapidjson::PrettyWriter<WideBuffer, JsonEncoding, JsonEncoding>>(value);
}
