#include "server/ST_PACKET.h"

#include <utility>

#include "common/GL_Debug.h"
#include "common/JsonTypes.h"
#include "server/JsonText.h"

namespace {

// The string of a member, or nothing when it is absent or holds another type.
const JsonValue* StringMember(const JsonValue& object, const wchar_t* name) {
    const auto it = object.FindMember(name);
    if (it == object.MemberEnd() || !it->value.IsString()) return nullptr;
    return &it->value;
}

void TakeString(const JsonValue& object, const wchar_t* name, std::wstring& field) {
    if (const JsonValue* value = StringMember(object, name))
        field.assign(value->GetString(), value->GetStringLength());
}

}  // namespace

int ST_PACKET::Parse(std::wstring text, bool keepData) {
    packetText = std::move(text);

    JsonDocument document;
    if (!ParseJsonText(packetText, document))
        return GL_LOG_FN(L"ST_PACKET::Parse", 'E', 0, 5, L"json 파싱 오류\r\n%s", packetText);
    // Another top-level value holds none of the members; the caller sees no "OK".
    if (!document.IsObject()) return 0;
    const JsonValue& root = document;

    const auto result = root.FindMember(L"RESULT");
    if (result != root.MemberEnd() && result->value.IsNull())
        return GL_LOG_FN(L"ST_PACKET::Parse", 'E', 0, 10, L"RESULT 항목 누락");
    TakeString(root, L"RESULT", RESULT);
    TakeString(root, L"MESSAGE", MESSAGE);
    TakeString(root, L"MESSAGE_DEBUG", MESSAGE_DEBUG);

    const auto data = root.FindMember(L"DATA");
    if (data != root.MemberEnd() && data->value.IsArray() && !data->value.Empty()) {
        if (!keepData) {
            DATA.push_back(L"do not use this data.");
        } else {
            for (const JsonValue& element : data->value.GetArray()) {
                if (element.IsString())
                    DATA.emplace_back(element.GetString(), element.GetStringLength());
                else
                    DATA.emplace_back();
            }
        }
    }

    TakeString(root, L"TIME_STAMP", TIME_STAMP);
    return 0;
}
