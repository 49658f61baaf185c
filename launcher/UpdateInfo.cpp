#include "launcher/UpdateInfo.h"

#include <utility>

#include "common/GL_Debug.h"
#include "launcher/FileDigest.h"
#include "launcher/FolderMacros.h"

namespace {

#define GL_LOG_PARSE(status, ...) GL_LOG_FN(L"ParseUpdateInfo", 'E', 0, (status), __VA_ARGS__)

// Reads a string member through its pointer; another type counts as absent.
bool ReadAt(JsonValue& object, const wchar_t* pointer, std::wstring& field) {
    const JsonValue* value = JsonPointer(pointer).Get(object);
    if (value == nullptr || !value->IsString()) return false;
    field.assign(value->GetString(), value->GetStringLength());
    return true;
}

int MissingAt(const wchar_t* pointer, int status) {
    return GL_LOG_PARSE(status, L"설정내역에서 %s 항목 찾기 실패", std::wstring(pointer));
}

// FILES elements are read by member name.
const JsonValue* Member(const JsonValue& element, const wchar_t* name) {
    if (!element.IsObject()) return nullptr;
    const auto it = element.FindMember(name);
    return it == element.MemberEnd() ? nullptr : &it->value;
}

bool ReadString(const JsonValue& element, const wchar_t* name, std::wstring& field) {
    const JsonValue* value = Member(element, name);
    if (value == nullptr || !value->IsString()) return false;
    field.assign(value->GetString(), value->GetStringLength());
    return true;
}

// Sizes are carried as 32 bits, as the server's tools write them.
bool ReadInt32(const JsonValue& element, const wchar_t* name, int32_t& field) {
    const JsonValue* value = Member(element, name);
    if (value == nullptr) return false;
    if (value->IsInt64())
        field = static_cast<int32_t>(value->GetInt64());
    else if (value->IsUint64())
        field = static_cast<int32_t>(value->GetUint64());
    else
        return false;
    return true;
}

// A hash is optional; one that is given is a string of 64 lower-case hex digits.
bool ReadOptionalHash(const JsonValue* value, std::wstring& field) {
    if (value == nullptr) return true;
    if (!value->IsString()) return false;
    field.assign(value->GetString(), value->GetStringLength());
    return IsSha256Text(field);
}

constexpr int kToolHashMalformed = 35;
constexpr int kFilesMissing = 80;
constexpr int kFileMemberMissing = 90;
constexpr int kFileHashMalformed = 95;

int MissingFileMember(rapidjson::SizeType index, const wchar_t* name) {
    return GL_LOG_PARSE(kFileMemberMissing, L"설정내역에서 /FILES/%d/%s 항목 찾기 실패",
                        static_cast<int>(index), std::wstring(name));
}

// Fills one entry; 0 or the status of the member that is missing.
int ReadFile(const JsonValue& element, rapidjson::SizeType index, UpdateFileInfo& file,
             bool& hasName) {
    hasName = ReadString(element, L"FILE_NM", file.FILE_NM);
    if (!ReadString(element, L"SUB_DIR_SVR", file.SUB_DIR_SVR))
        return MissingFileMember(index, L"SUB_DIR_SVR");
    if (!ReadString(element, L"SUB_DIR_CLI", file.SUB_DIR_CLI))
        return MissingFileMember(index, L"SUB_DIR_CLI");
    if (!ReadString(element, L"FILE_VERSION", file.FILE_VERSION))
        return MissingFileMember(index, L"FILE_VERSION");
    if (!ReadInt32(element, L"FILE_SIZE", file.FILE_SIZE))
        return MissingFileMember(index, L"FILE_SIZE");
    ReadInt32(element, L"FILE_SIZE_7Z", file.FILE_SIZE_7Z);
    if (!ReadString(element, L"TYPE_GB", file.TYPE_GB))
        return MissingFileMember(index, L"TYPE_GB");
    if (!ReadOptionalHash(Member(element, L"FILE_SHA256"), file.FILE_SHA256))
        return GL_LOG_PARSE(kFileHashMalformed, L"설정내역에서 /FILES/%d/FILE_SHA256 항목 형식 오류",
                            static_cast<int>(index));
    return 0;
}

// How the single file of a version is installed.
std::wstring KindOfSingleFile(const std::wstring& fileName) {
    const size_t dot = fileName.rfind(L'.');
    const std::wstring extension = dot == std::wstring::npos ? std::wstring() : fileName.substr(dot + 1);
    if (extension == L"msi") return L"INSTALLER";
    if (extension == L"7z" || extension == L"zip") return L"ZIP";
    if (fileName == L"ZEB.Launcher.exe") return L"LAUNCHER";
    return L"FILES";
}

}  // namespace

int ParseUpdateInfo(JsonDocument& document, bool forLauncher, UpdateInfo& info) {
    const std::wstring memberName = forLauncher ? L"UPDATE_LAUNCHER_INFO" : L"UPDATE_PRG_INFO";
    if (!document.IsObject() || !document.HasMember(memberName.c_str()))
        return GL_LOG_PARSE(53, L"설정내역에서 프로그램 업데이트 정보에 해당하는 내용 찾기 실패: %s",
                            memberName);
    JsonValue& node = document[memberName.c_str()];

    const JsonValue* need = JsonPointer(L"/NeedToUpdate").Get(node);
    info.NeedToUpdate = need != nullptr && need->IsTrue();

    if (!ReadAt(node, L"/INSTALL_GB", info.INSTALL_GB)) return MissingAt(L"/INSTALL_GB", 5);
    if (!ReadAt(node, L"/SHORT_NM", info.SHORT_NM)) return MissingAt(L"/SHORT_NM", 5);
    if (!ReadAt(node, L"/UP_VERSION", info.UP_VERSION)) return MissingAt(L"/UP_VERSION", 10);
    if (!ReadAt(node, L"/ROOT_DIR_CLI_INST", info.ROOT_DIR_CLI_INST))
        return MissingAt(L"/ROOT_DIR_CLI_INST", 40);
    info.ROOT_DIR_CLI_INST = ExpandFolderMacros(info.ROOT_DIR_CLI_INST);
    if (!ReadAt(node, L"/RUN_EXE_NAME", info.RUN_EXE_NAME)) return MissingAt(L"/RUN_EXE_NAME", 60);
    info.RUN_EXE_PATH = info.ROOT_DIR_CLI_INST + info.RUN_EXE_NAME;
    if (!ReadAt(node, L"/CFG_FROM_SVR", info.CFG_FROM_SVR)) return MissingAt(L"/CFG_FROM_SVR", 70);

    if (!info.NeedToUpdate) return 0;

    if (!ReadAt(node, L"/SVR_URL", info.SVR_URL)) return MissingAt(L"/SVR_URL", 20);
    if (!ReadAt(node, L"/ROOT_DIR_SVR", info.ROOT_DIR_SVR)) return MissingAt(L"/ROOT_DIR_SVR", 30);
    if (!ReadOptionalHash(JsonPointer(L"/TOOL_7Z_SHA256").Get(node), info.TOOL_7Z_SHA256))
        return GL_LOG_PARSE(kToolHashMalformed, L"설정내역에서 /TOOL_7Z_SHA256 항목 형식 오류");
    ReadAt(node, L"/MIN_SPEC", info.MIN_SPEC);

    const JsonValue* files = JsonPointer(L"/FILES").Get(node);
    if (files == nullptr || !files->IsArray()) return MissingAt(L"/FILES", kFilesMissing);
    std::wstring lastName;
    for (rapidjson::SizeType i = 0; i < files->Size(); ++i) {
        UpdateFileInfo file;
        bool hasName = false;
        if (const int status = ReadFile((*files)[i], i, file, hasName); status != 0) return status;
        if (hasName) lastName = file.FILE_NM;
        info.FILES[file.SUB_DIR_CLI + file.FILE_NM] = std::move(file);
    }

    if (files->Size() != 1) {
        info.INSTALL_GB = L"FILES";
        return 0;
    }
    info.INSTALL_GB = KindOfSingleFile(lastName);
    // A copy of the document saved later must carry the kind the install used.
    JsonPointer(L"/INSTALL_GB")
        .Get(node)
        ->SetString(info.INSTALL_GB.c_str(), static_cast<rapidjson::SizeType>(info.INSTALL_GB.size()),
                    document.GetAllocator());
    return 0;
}
