// Fuzz target: the update server's reply envelope as the launcher reads it. The first byte
// chooses whether DATA is kept; the rest is the reply as UTF-8. Properties:
//   - the status is 0, 5 or 10, and the whole reply is kept as received;
//   - a reply that is no JSON at all is status 5; RESULT null is status 10;
//   - each member is the reply's string of that name, or empty when it has another type;
//     DATA keeps its elements in order (non-strings as empty entries) or one stand-in;
//   - the members, written back as an envelope, read back the same.
#include <cstddef>
#include <cstdint>
#include <string>

#include <rapidjson/document.h>

#include "common/JsonTypes.h"
#include "common/os/os.h"
#include "server/JsonText.h"
#include "server/ST_PACKET.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

std::wstring StringOf(const JsonValue& object, const wchar_t* name) {
    const auto member = object.FindMember(name);
    if (member == object.MemberEnd() || !member->value.IsString()) return std::wstring();
    return std::wstring(member->value.GetString(), member->value.GetStringLength());
}

void AddString(JsonDocument& document, const wchar_t* name, const std::wstring& text) {
    auto& allocator = document.GetAllocator();
    document.AddMember(JsonValue(name, allocator),
                       JsonValue(text.c_str(), static_cast<rapidjson::SizeType>(text.size()),
                                 allocator),
                       allocator);
}

std::wstring EnvelopeText(const ST_PACKET& packet) {
    JsonDocument document(rapidjson::kObjectType);
    auto& allocator = document.GetAllocator();
    AddString(document, L"RESULT", packet.RESULT);
    AddString(document, L"MESSAGE", packet.MESSAGE);
    AddString(document, L"MESSAGE_DEBUG", packet.MESSAGE_DEBUG);
    JsonValue data(rapidjson::kArrayType);
    for (const std::wstring& element : packet.DATA)
        data.PushBack(JsonValue(element.c_str(), static_cast<rapidjson::SizeType>(element.size()),
                                allocator),
                      allocator);
    document.AddMember(L"DATA", data, allocator);
    AddString(document, L"TIME_STAMP", packet.TIME_STAMP);
    return ToCompactJsonText(document);
}

bool SameMembers(const ST_PACKET& a, const ST_PACKET& b) {
    return a.RESULT == b.RESULT && a.MESSAGE == b.MESSAGE && a.MESSAGE_DEBUG == b.MESSAGE_DEBUG &&
           a.DATA == b.DATA && a.TIME_STAMP == b.TIME_STAMP;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = (fuzz::DiscardLog(), true);
    (void)quiet;
    if (size == 0) return 0;
    const bool keepData = (data[0] & 1) != 0;
    const std::wstring text =
        os::Utf8ToWideLossy(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));

    ST_PACKET packet;
    const int status = packet.Parse(text, keepData);
    FUZZ_CHECK(status == 0 || status == 5 || status == 10);
    FUZZ_CHECK(packet.packetText == text);
    FUZZ_CHECK(packet.TITLE.empty());

    // A NUL would hide the text behind it. Otherwise an independent reading, without the
    // depth bound (iteratively, so it cannot overflow the stack).
    if (text.find(L'\0') != std::wstring::npos) {
        FUZZ_CHECK(status == 5);
        return 0;
    }
    JsonDocument reference;
    reference.Parse<rapidjson::kParseIterativeFlag>(text.c_str());
    if (reference.HasParseError()) FUZZ_CHECK(status == 5);
    if (status != 0 || !reference.IsObject()) {
        FUZZ_CHECK(SameMembers(packet, ST_PACKET{}));
        return 0;
    }
    const JsonValue& root = reference;
    const auto result = root.FindMember(L"RESULT");
    FUZZ_CHECK(result == root.MemberEnd() || !result->value.IsNull());
    FUZZ_CHECK(packet.RESULT == StringOf(root, L"RESULT"));
    FUZZ_CHECK(packet.MESSAGE == StringOf(root, L"MESSAGE"));
    FUZZ_CHECK(packet.MESSAGE_DEBUG == StringOf(root, L"MESSAGE_DEBUG"));
    FUZZ_CHECK(packet.TIME_STAMP == StringOf(root, L"TIME_STAMP"));
    const auto array = root.FindMember(L"DATA");
    if (array == root.MemberEnd() || !array->value.IsArray() || array->value.Empty()) {
        FUZZ_CHECK(packet.DATA.empty());
    } else if (!keepData) {
        FUZZ_CHECK(packet.DATA.size() == 1);
    } else {
        FUZZ_CHECK(packet.DATA.size() == array->value.Size());
        for (rapidjson::SizeType i = 0; i < array->value.Size(); ++i) {
            const JsonValue& element = array->value[i];
            FUZZ_CHECK(packet.DATA[i] ==
                       (element.IsString()
                            ? std::wstring(element.GetString(), element.GetStringLength())
                            : std::wstring()));
        }
    }

    ST_PACKET again;
    FUZZ_CHECK(again.Parse(EnvelopeText(packet), true) == 0);
    FUZZ_CHECK(SameMembers(again, packet));
    return 0;
}
