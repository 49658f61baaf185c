#include "common/GL_Registry.h"

#include "common/GL_Debug.h"
#include "common/os/os.h"

namespace {

constexpr size_t kStringValueBytes = 512;

// A key that is closed again however the caller leaves.
class OpenKey {
public:
    OpenKey(GLRegistryView view, const std::wstring& subKey, os::RegistryAccess access)
        : error_(os::RegistryOpenKey(os::RegistryRoot::kLocalMachine, subKey, access,
                                     view == GLRegistryView::Wow64_32 ? os::RegistryView::k32Bit
                                                                      : os::RegistryView::kDefault,
                                     key_)) {}
    ~OpenKey() {
        if (error_ == 0) os::RegistryCloseKey(key_);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    int error() const { return error_; }
    os::RegKey get() const { return key_; }

private:
    os::RegKey key_ = 0;
    int error_;
};

}  // namespace

GLCRegistry::GLCRegistry(GLRegistryRoot root, GLRegistryView view) : root_(root), view_(view) {}

GLCRegistry::~GLCRegistry() = default;

bool GLCRegistry::ReadString(const std::wstring& subKey, const std::wstring& valueName,
                             std::wstring& value) {
    const OpenKey key(view_, subKey, os::RegistryAccess::kRead);
    if (key.error() != 0) {
        GL_LOG_FN(L"GLCRegistry::ReadString", 'D', 0, 0, L"RegOpenKeyEx() 실패(LastErr: %d)",
                  key.error());
        return false;
    }
    std::wstring text;
    const int e = os::RegistryQueryString(key.get(), valueName, text, kStringValueBytes);
    if (e == 0) value = std::move(text);
    if (e == 0 || e == os::err::kFileNotFound) return true;
    GL_LOG_FN(L"GLCRegistry::ReadString", 'E', e, 10, L"RegQueryValueEx() 실패");
    return false;
}

bool GLCRegistry::ReadInt(const std::wstring& subKey, const std::wstring& valueName,
                          int32_t& value) {
    const OpenKey key(view_, subKey, os::RegistryAccess::kRead);
    if (key.error() != 0) {
        GL_LOG_FN(L"GLCRegistry::ReadInt", 'D', 0, 0, L"RegOpenKeyEx() 실패(LastErr: %d)",
                  key.error());
        return false;
    }
    uint32_t number = 0;
    if (const int e = os::RegistryQueryDword(key.get(), valueName, number)) {
        GL_LOG_FN(L"GLCRegistry::ReadInt", 'D', 0, 0, L"RegQueryValueEx() 실패(LastErr: %d)", e);
        return false;
    }
    value = static_cast<int32_t>(number);
    return true;
}

bool GLCRegistry::HasKey(const std::wstring& subKey) {
    return OpenKey(view_, subKey, os::RegistryAccess::kRead).error() == 0;
}

bool GLCRegistry::GetSubKeys(const std::wstring& subKey, std::vector<std::wstring>& names) {
    const OpenKey key(view_, subKey, os::RegistryAccess::kAllAccess);
    if (key.error() != 0) {
        GL_LOG_FN(L"GLCRegistry::GetSubKeys", 'E', key.error(), 10, L"RegOpenKeyEx() 실패");
        return false;
    }
    int e = 0;
    for (uint32_t index = 0;; ++index) {
        std::wstring name;
        e = os::RegistryEnumKey(key.get(), index, name);
        if (e != 0) break;
        names.push_back(std::move(name));
    }
    if (e == os::err::kNoMoreItems) return true;
    GL_LOG_FN(L"GLCRegistry::GetSubKeys", 'E', e, 20, L"RegEnumKey() 실패");
    return false;
}
