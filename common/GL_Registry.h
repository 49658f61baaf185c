#pragma once
// Reads values and sub-key names below a registry root; never writes.
#include <cstdint>
#include <string>
#include <vector>

// The registry roots the reader works below (the launcher uses only this one).
enum class GLRegistryRoot : uint32_t { LocalMachine = 0x80000002 };

// Which registry view the keys are opened in: the process's own, or the 32-bit one also
// from a 64-bit process (what a 32-bit program sees).
enum class GLRegistryView { Default, Wow64_32 };

class GLCRegistry {
public:
    explicit GLCRegistry(GLRegistryRoot root, GLRegistryView view = GLRegistryView::Default);
    // Holds nothing open: every key an operation opens is closed before it returns.
    virtual ~GLCRegistry();

    // Reads at most 512 bytes of value data (UTF-16, terminator included: 255 characters
    // below U+10000). A value that does not exist is success and leaves value unchanged.
    bool ReadString(const std::wstring& subKey, const std::wstring& valueName,
                    std::wstring& value);
    bool ReadInt(const std::wstring& subKey, const std::wstring& valueName, int32_t& value);
    // Appends the names of the direct sub-keys in enumeration order (names is not cleared).
    bool GetSubKeys(const std::wstring& subKey, std::vector<std::wstring>& names);
    // Whether the key exists (nothing is logged either way).
    bool HasKey(const std::wstring& subKey);

    GLRegistryRoot root() const { return root_; }

private:
    GLRegistryRoot root_;
    GLRegistryView view_;
};
