#pragma once
// What the fuzz targets share: a broken property ends the run as a finding (libFuzzer keeps
// the input), a scratch folder of the process, and the log sent where a target wants it.
#include <sanitizer/common_interface_defs.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "common/GL_Debug.h"

namespace fuzz {

// Told through the sanitizers' report channel, which libFuzzer keeps open when it closes
// standard error (-close_fd_mask=2, which silences the log's debugger copy).
[[noreturn]] inline void Fail(const char* where, const char* property) {
    const std::string text = std::string("property broken at ") + where + ": " + property;
    __sanitizer_report_error_summary(text.c_str());
    std::abort();
}

#define FUZZ_STRINGIFY2(x) #x
#define FUZZ_STRINGIFY(x) FUZZ_STRINGIFY2(x)
#define FUZZ_CHECK(condition)                                                              \
    ((condition) ? (void)0                                                                 \
                 : ::fuzz::Fail(__FILE__ ":" FUZZ_STRINGIFY(__LINE__), #condition))

// A folder of this process below the temporary folder, removed when the process ends
// normally.
inline const std::filesystem::path& ScratchFolder() {
    static const std::filesystem::path folder = [] {
        std::random_device random;
        const std::filesystem::path path =
            std::filesystem::temp_directory_path() /
            ("zeb-fuzz-" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(path);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(ScratchFolder(), ignored);
        });
        return path;
    }();
    return folder;
}

// The log goes nowhere: the targets that do not read it lose no time on it.
inline void DiscardLog() { GL_DEBUG_SetLogFile(L"/dev/null"); }

// The input as text of the given kind of characters, one per byte.
inline std::wstring BytesAsCharacters(const uint8_t* data, size_t size) {
    return std::wstring(data, data + size);
}

}  // namespace fuzz
