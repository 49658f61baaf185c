#include "launcher/ReleaseComparison.h"

#include <algorithm>
#include <functional>
#include <string_view>
#include <vector>

namespace {

using Member = JsonValue::Member;
// Members ordered by name, so two objects compare in one pass and a repeated name sits
// next to its twin.
using SortedMembers = std::vector<const Member*>;

std::wstring_view NameOf(const Member* member) {
    return {member->name.GetString(), member->name.GetStringLength()};
}

SortedMembers Sorted(const JsonValue& object) {
    SortedMembers members;
    members.reserve(object.MemberCount());
    for (auto it = object.MemberBegin(); it != object.MemberEnd(); ++it) members.push_back(&*it);
    std::sort(members.begin(), members.end(),
              [](const Member* a, const Member* b) { return NameOf(a) < NameOf(b); });
    return members;
}

const Member* FirstRepeated(const SortedMembers& members) {
    const auto it = std::adjacent_find(
        members.begin(), members.end(),
        [](const Member* a, const Member* b) { return NameOf(a) == NameOf(b); });
    return it == members.end() ? nullptr : *it;
}

// A member's place in a JSON Pointer ("~" and "/" escaped).
std::wstring Below(const std::wstring& path, std::wstring_view name) {
    std::wstring out = path + L"/";
    for (wchar_t c : name) {
        if (c == L'~') out += L"~0";
        else if (c == L'/') out += L"~1";
        else out += c;
    }
    return out;
}

bool SameNumber(const JsonValue& a, const JsonValue& b) {
    if (a.IsDouble() || b.IsDouble()) return a.IsDouble() && b.IsDouble() && a.GetDouble() == b.GetDouble();
    if (a.IsInt64() && b.IsInt64()) return a.GetInt64() == b.GetInt64();
    return a.IsUint64() && b.IsUint64() && a.GetUint64() == b.GetUint64();
}

bool SameScalar(const JsonValue& a, const JsonValue& b) {
    if (a.GetType() != b.GetType()) return false;
    if (a.IsString())
        return std::wstring_view(a.GetString(), a.GetStringLength()) ==
               std::wstring_view(b.GetString(), b.GetStringLength());
    if (a.IsNumber()) return SameNumber(a, b);
    return true;  // null, true, false: the type is the value
}

// Whether a member is left out of the comparison (its value; its presence still counts
// unless skipped).
using MemberRule = std::function<bool(std::wstring_view name)>;

std::wstring FindDifference(const JsonValue& outer, const JsonValue& signedValue,
                            const std::wstring& path);

std::wstring FindObjectDifference(const JsonValue& outer, const JsonValue& signedValue,
                                  const std::wstring& path, const MemberRule& skipped,
                                  const MemberRule& valueIgnored) {
    const SortedMembers o = Sorted(outer);
    const SortedMembers s = Sorted(signedValue);
    if (const Member* twin = FirstRepeated(o)) return Below(path, NameOf(twin));
    size_t i = 0, j = 0;
    for (;;) {
        while (i < o.size() && skipped(NameOf(o[i]))) ++i;
        while (j < s.size() && skipped(NameOf(s[j]))) ++j;
        if (i == o.size() && j == s.size()) return std::wstring();
        if (i == o.size()) return Below(path, NameOf(s[j]));  // signed, but gone
        if (j == s.size()) return Below(path, NameOf(o[i]));  // added, not signed
        const std::wstring_view outerName = NameOf(o[i]);
        const std::wstring_view signedName = NameOf(s[j]);
        if (outerName < signedName) return Below(path, outerName);
        if (signedName < outerName) return Below(path, signedName);
        if (!valueIgnored(outerName)) {
            std::wstring where = FindDifference(o[i]->value, s[j]->value, Below(path, outerName));
            if (!where.empty()) return where;
        }
        ++i;
        ++j;
    }
}

std::wstring FindDifference(const JsonValue& outer, const JsonValue& signedValue,
                            const std::wstring& path) {
    if (outer.GetType() != signedValue.GetType()) return path;
    if (outer.IsObject()) {
        const MemberRule none = [](std::wstring_view) { return false; };
        return FindObjectDifference(outer, signedValue, path, none, none);
    }
    if (outer.IsArray()) {
        if (outer.Size() != signedValue.Size()) return path;
        for (rapidjson::SizeType k = 0; k < outer.Size(); ++k) {
            std::wstring where =
                FindDifference(outer[k], signedValue[k], path + L"/" + std::to_wstring(k));
            if (!where.empty()) return where;
        }
        return std::wstring();
    }
    return SameScalar(outer, signedValue) ? std::wstring() : path;
}

bool HasExactlyOneFile(const JsonValue& info) {
    const auto files = info.FindMember(L"FILES");
    return files != info.MemberEnd() && files->value.IsArray() && files->value.Size() == 1;
}

bool CheckLevels(const JsonValue& value, int levelsLeft) {
    if (value.IsObject()) {
        if (levelsLeft == 0) return false;
        const SortedMembers members = Sorted(value);
        if (FirstRepeated(members) != nullptr) return false;
        for (const Member* member : members)
            if (!CheckLevels(member->value, levelsLeft - 1)) return false;
    } else if (value.IsArray()) {
        if (levelsLeft == 0) return false;
        for (const JsonValue& element : value.GetArray())
            if (!CheckLevels(element, levelsLeft - 1)) return false;
    }
    return true;
}

}  // namespace

bool IsUnambiguousJson(const JsonValue& value, int maxDepth) { return CheckLevels(value, maxDepth); }

std::wstring FindChangeAfterSigning(const JsonValue& outer, const JsonValue& signedInfo,
                                    const std::wstring& path) {
    if (!outer.IsObject() || !signedInfo.IsObject()) return path;
    const bool kindDerived = HasExactlyOneFile(signedInfo);
    const MemberRule serverAnswer = [](std::wstring_view name) { return name == L"NeedToUpdate"; };
    const MemberRule launcherWritten = [kindDerived](std::wstring_view name) {
        return kindDerived && name == L"INSTALL_GB";
    };
    return FindObjectDifference(outer, signedInfo, path, serverAnswer, launcherWritten);
}
