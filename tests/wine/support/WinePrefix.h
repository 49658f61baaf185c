#pragma once
// Wine prefixes for the Windows tests. One template prefix per build folder (wineboot takes
// a while); each test works in a copy of its own, so registry values, the Windows version and
// the processes it lists belong to that test alone.
//
//   WinePrefix prefix("win81");                          // Windows 8.1
//   prefix.Wine({"reg", "add", ...});                    // a program inside it
//   prefix.HostPath("C:\\ZebTest\\App\\viewer.exe");     // where that file is here
//
// Every program runs with the ANSI code page of a Korean system (LC_ALL=ko_KR.UTF-8), no
// display, and its own wineserver, which the destructor ends with everything it runs.
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

// The template prefix, made when missing or made by another Wine version. Safe to call from
// several test processes at once. Throws std::runtime_error when Wine fails.
std::filesystem::path TemplatePrefix();
// Removes the copies that tests killed on their way left behind (untouched for an hour; no
// test runs that long).
void RemoveStalePrefixes();

struct WineResult {
    int exitCode = -1;  // -1 when it did not end in time
    std::string output;  // wine's standard output and error (its debug channels included)
};

class WinePrefix {
public:
    // windowsVersion: a version name of winecfg ("win7", "win81", "win10"); empty keeps the
    // template's Windows 7 SP1.
    explicit WinePrefix(const std::string& windowsVersion = "");
    ~WinePrefix();
    WinePrefix(const WinePrefix&) = delete;
    WinePrefix& operator=(const WinePrefix&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path DriveC() const { return path_ / "drive_c"; }
    // The file here of a path on drive C: ("C:\\a\\b" -> <prefix>/drive_c/a/b).
    std::filesystem::path HostPath(const std::string& windowsPath) const;
    // The Windows name of a file here: C:\... inside drive_c, Z:\... elsewhere.
    std::string WindowsPath(const std::filesystem::path& hostPath) const;

    // The environment of programs in this prefix, with extra applied last.
    EnvChanges Environment(const EnvChanges& extra = {}) const;
    // Runs `wine args...` and waits for it.
    WineResult Wine(const std::vector<std::string>& args, const EnvChanges& extra = {},
                    std::chrono::milliseconds timeout = std::chrono::seconds(120)) const;
    // Starts `wine args...` in the background.
    bool Start(BackgroundProcess& process, const std::vector<std::string>& args,
               const EnvChanges& extra = {}) const;

    // Ends every program in the prefix and starts its wineserver anew. The desktop that the
    // first program starts keeps that program's display (or none) until then.
    void Restart() const;

    // HKEY_LOCAL_MACHINE values through Wine's reg.exe; view32: the 32-bit registry view.
    void SetDword(const std::string& key, const std::string& name, uint32_t value,
                  bool view32) const;
    // The value's data as reg.exe prints it ("0x80ea8", "3.0.0"); nullopt when absent.
    std::optional<std::string> QueryValue(const std::string& key, const std::string& name,
                                          bool view32) const;

private:
    // Ends the programs and removes the copy.
    void End() const;

    std::filesystem::path path_;
    TempDir unixTemp_;  // TMPDIR of Wine's own programs: the wineserver's socket lives there
};
