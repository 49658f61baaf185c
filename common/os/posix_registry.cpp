// The registry stand-in: HKEY_LOCAL_MACHINE as a folder tree with one values.json per key.
#include <rapidjson/document.h>
#include <rapidjson/encodedstream.h>
#include <rapidjson/memorystream.h>

#include <cerrno>
#include <memory>

#include "common/JsonDepth.h"
#include "common/os/os.h"

namespace os {

namespace {

struct Key {
    std::wstring folder;
    // Filled on first use; a key handle is a snapshot from then on.
    bool listed = false;
    int listError = 0;
    std::vector<std::wstring> subKeys;
    bool loaded = false;
    int loadError = 0;
    rapidjson::Document values;
};

// The whole of one key's values; the system's own registry limits a value to about 1 MB.
constexpr uint64_t kValuesFileLimit = 16u << 20;

Key* FromHandle(RegKey key) { return reinterpret_cast<Key*>(key); }

wchar_t UpperAscii(wchar_t c) { return c >= L'a' && c <= L'z' ? c - (L'a' - L'A') : c; }

bool EqualIgnoringCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
    return true;
}

// The folder of one sub-key: its own spelling first, else one that differs only in case.
int FindChild(const std::wstring& parent, const std::wstring& name, std::wstring& child) {
    // "." and ".." are names of keys, never a way up or around the tree.
    if (name == L"." || name == L"..") return err::kFileNotFound;
    child = parent + kSep + name;
    if (IsDirectory(child)) return 0;
    std::vector<DirEntry> entries;
    if (ListDirectory(parent, entries) != 0) return err::kFileNotFound;
    for (const auto& entry : entries) {
        if (entry.isDirectory && EqualIgnoringCase(entry.name, name)) {
            child = parent + kSep + entry.name;
            return 0;
        }
    }
    return err::kFileNotFound;
}

int KeyFolder(const std::wstring& subKey, std::wstring& folder) {
    std::wstring root;
    uint32_t lookupResult = 0;
    // The data folder is looked up on every call: it follows the environment.
    if (CommonAppDataFolder(root, lookupResult) != FolderLookup::kOk) return err::kInvalidData;
    folder = root + L"/Registry/HKEY_LOCAL_MACHINE";
    if (!IsDirectory(folder)) return err::kFileNotFound;
    size_t start = 0;
    while (start <= subKey.size()) {
        size_t end = subKey.find_first_of(L"\\/", start);
        if (end == std::wstring::npos) end = subKey.size();
        if (end > start) {
            std::wstring child;
            if (const int e = FindChild(folder, subKey.substr(start, end - start), child))
                return e;
            folder = std::move(child);
        }
        start = end + 1;
    }
    return 0;
}

int LoadValues(Key& key) {
    if (key.loaded) return key.loadError;
    key.loaded = true;
    std::vector<uint8_t> bytes;
    const int e = ReadWholeFile(key.folder + L"/values.json", bytes, kValuesFileLimit);
    if (e == ENOENT) {
        key.values.SetObject();
        return 0;
    }
    if (e != 0) return key.loadError = e;
    // UTF-8 with or without a byte-order mark, or UTF-16/32 with one, as editors save it.
    rapidjson::MemoryStream memory(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    rapidjson::AutoUTFInputStream<unsigned, rapidjson::MemoryStream> input(memory);
    const rapidjson::ParseResult parsed =
        ParseJsonWithinDepthLimit<rapidjson::kParseValidateEncodingFlag,
                                  rapidjson::AutoUTF<unsigned>>(key.values, input);
    if (parsed.IsError() || !key.values.IsObject()) return key.loadError = EBADMSG;
    return 0;
}

// A value by name: the exact spelling first, else one that differs only in case.
const rapidjson::Value* FindValue(const Key& key, const std::wstring& name) {
    const rapidjson::Value* caseVariant = nullptr;
    for (const auto& member : key.values.GetObject()) {
        std::wstring memberName;
        if (!Utf8ToWide(std::string(member.name.GetString(), member.name.GetStringLength()),
                          memberName))
            continue;
        if (memberName == name) return &member.value;
        if (caseVariant == nullptr && EqualIgnoringCase(memberName, name))
            caseVariant = &member.value;
    }
    return caseVariant;
}

int FindLoadedValue(RegKey handle, const std::wstring& name, const rapidjson::Value*& value) {
    Key* key = FromHandle(handle);
    if (key == nullptr) return EBADF;
    if (const int e = LoadValues(*key)) return e;
    value = FindValue(*key, name);
    return value != nullptr ? 0 : err::kFileNotFound;
}

}  // namespace

// One root and one view here; access rights are those of the folder tree.
int RegistryOpenKey(RegistryRoot, const std::wstring& subKey, RegistryAccess, RegistryView,
                    RegKey& key) {
    std::wstring folder;
    if (const int e = KeyFolder(subKey, folder)) return e;
    auto opened = std::make_unique<Key>();
    opened->folder = std::move(folder);
    key = reinterpret_cast<RegKey>(opened.release());
    return 0;
}

int RegistryQueryString(RegKey key, const std::wstring& name, std::wstring& value,
                        size_t maxBytes) {
    const rapidjson::Value* found = nullptr;
    if (const int e = FindLoadedValue(key, name, found)) return e;
    if (!found->IsString()) return EINVAL;
    std::wstring text;
    if (!Utf8ToWide(std::string(found->GetString(), found->GetStringLength()), text))
        return EILSEQ;
    size_t units = 1;  // the terminator
    for (const wchar_t c : text) units += static_cast<uint32_t>(c) > 0xFFFF ? 2 : 1;
    if (units * 2 > maxBytes) return err::kMoreData;
    // A reader of the data sees the text up to its first terminator.
    const size_t nul = text.find(L'\0');
    if (nul != std::wstring::npos) text.resize(nul);
    value = std::move(text);
    return 0;
}

int RegistryQueryDword(RegKey key, const std::wstring& name, uint32_t& value) {
    const rapidjson::Value* found = nullptr;
    if (const int e = FindLoadedValue(key, name, found)) return e;
    if (found->IsUint()) value = found->GetUint();
    else if (found->IsInt()) value = static_cast<uint32_t>(found->GetInt());
    else return EINVAL;
    return 0;
}

int RegistryEnumKey(RegKey handle, uint32_t index, std::wstring& name) {
    Key* key = FromHandle(handle);
    if (key == nullptr) return EBADF;
    if (!key->listed) {
        key->listed = true;
        std::vector<DirEntry> entries;
        key->listError = ListDirectory(key->folder, entries);
        std::string text;
        for (auto& entry : entries) {
            // A file name that is no text round-trips, but it is no key name: the registry
            // holds text.
            if (!WideToUtf8(entry.name, text)) {
                key->listError = EILSEQ;
                key->subKeys.clear();
                break;
            }
            if (entry.isDirectory) key->subKeys.push_back(std::move(entry.name));
        }
    }
    if (key->listError != 0) return key->listError;
    if (index >= key->subKeys.size()) return err::kNoMoreItems;
    name = key->subKeys[index];
    return 0;
}

void RegistryCloseKey(RegKey key) { delete FromHandle(key); }

}  // namespace os
