// Fuzz target: the command-line tokenizer, the masking of the company pass and the
// forwarding of items. Every byte from 0x80 up stands for a character of its own that occurs
// nowhere else in the line, so a character of a pass found in a text that is shown or logged
// can only have come from that pass. Properties:
//   - no pass the tokenizer takes (the value of any item whose name holds COMP_PASS, also one
//     a later item of that name overrides) shows in the masked command line, in the logged
//     copy of the forwarded arguments, or in the tokenizer's own log lines;
//   - the forwarded arguments read back as the items they came from (values without "--").
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/GL_Debug.h"
#include "common/GL_String.h"
#include "common/os/os.h"
#include "launcher/CommandLine.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

constexpr wchar_t kFirstMarker = 0xE000;  // private use: no caller writes these

bool IsMarker(wchar_t c) { return c >= kFirstMarker && c < kFirstMarker + 0x1000; }

std::wstring CommandLineOf(const uint8_t* data, size_t size) {
    std::wstring line;
    wchar_t next = kFirstMarker;
    for (size_t i = 0; i < size; ++i)
        line += data[i] < 0x80 ? static_cast<wchar_t>(data[i]) : next++;
    return line;
}

const std::string& LogFile() {
    static const std::string path = (fuzz::ScratchFolder() / "command-line.log").string();
    return path;
}

std::wstring TakeLog() {
    std::ifstream in(LogFile(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(LogFile(), std::ios::trunc);
    return os::Utf8ToWideLossy(bytes);
}

// The markers of every pass the tokenizer takes: each item of the line is read on its own,
// so an earlier pass that a later one overrides counts too. Items after the first that the
// tokenizer refuses count as well: the masking cannot know where the tokenizer stops.
std::wstring PassMarkers(const std::wstring& line) {
    std::wstring markers;
    std::vector<std::wstring> pieces;
    GL_STRING_Split(line, L"--", pieces);
    for (size_t i = 1; i < pieces.size(); ++i) {
        for (const auto& [name, value] : GL_STRING_ParseCommandLineArgs1(L"--" + pieces[i])) {
            if (name.find(kItemCompanyPass) == std::wstring::npos) continue;
            for (wchar_t c : value)
                if (IsMarker(c)) markers += c;
        }
    }
    return markers;
}

void CheckHidden(const std::wstring& markers, const std::wstring& shown) {
    FUZZ_CHECK(markers.empty() || shown.find_first_of(markers) == std::wstring::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        GL_DEBUG_SetLogFile(os::Utf8ToWideLossy(LogFile()));
        return true;
    }();
    (void)ready;
    if (size > 0x1000) return 0;  // one marker per byte

    const std::wstring line = CommandLineOf(data, size);
    const std::wstring markers = PassMarkers(line);
    TakeLog();

    // What the entry point shows and logs: the masked line, the tokenizer's lines, the
    // forwarded arguments masked (the items it keeps for itself are not forwarded).
    std::wstring masked = line;
    MaskCompanyPass(masked);
    CheckHidden(markers, masked);
    const ItemMap items = GL_STRING_ParseCommandLineArgs1(line);
    CheckHidden(markers, TakeLog());
    std::wstring programArgs;
    for (const auto& [name, value] : items)
        if (name != kItemCommand && name != kItemProgramId && name != kItemLaunchArgs)
            BuildForwardedArg(name, value, programArgs);
    MaskCompanyPass(programArgs);
    CheckHidden(markers, programArgs);

    // Forwarded, the items read back as they were, one leading "_" of a name dropped (a
    // later name wins where two become one). A value holding "--" cannot come back whole.
    std::wstring forwarded;
    ItemMap expected;
    bool whole = true;
    for (const auto& [name, value] : items) {
        whole = whole && value.find(L"--") == std::wstring::npos;
        BuildForwardedArg(name, value, forwarded);
        expected[!name.empty() && name[0] == L'_' ? name.substr(1) : name] = value;
    }
    if (whole) {
        FUZZ_CHECK(GL_STRING_ParseCommandLineArgs1(forwarded) == expected);
        FUZZ_CHECK(TakeLog().empty());
    }
    return 0;
}
