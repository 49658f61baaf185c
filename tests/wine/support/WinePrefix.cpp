#include "tests/wine/support/WinePrefix.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <set>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

const fs::path kFolder = ZEB_WINE_FOLDER;

// Files Wine only ever reads: a copy of the prefix links them instead of copying (the
// system folder is most of a prefix's 700 MB). Anything Wine may write stays a copy.
bool SharedWithTemplate(const fs::path& relative) {
    static const std::set<std::string> kReadOnly = {".dll", ".exe", ".drv", ".sys", ".nls",
                                                    ".ocx", ".acm", ".cpl", ".tlb", ".ax",
                                                    ".com"};
    const std::string text = relative.generic_string();
    return text.rfind("drive_c/windows/", 0) == 0 &&
           kReadOnly.count(relative.extension().string()) != 0;
}

// Names in a prefix's top folder that belong to one prefix only: Debian's wine records the
// folder of its wineserver socket there; the template's marker.
bool PrefixOwn(const fs::path& relative) {
    return relative == "wineserver" || relative == "template-ready";
}

void CopyPrefix(const fs::path& from, const fs::path& to) {
    fs::create_directories(to);
    for (auto it = fs::recursive_directory_iterator(from); it != fs::recursive_directory_iterator();
         ++it) {
        const fs::path relative = it->path().lexically_relative(from);
        const fs::path target = to / relative;
        if (PrefixOwn(relative)) continue;
        if (it->is_symlink() && *relative.begin() == "dosdevices") {
            fs::copy_symlink(it->path(), target);  // drive letters, ports
        } else if (it->is_symlink() || it->is_directory()) {
            // The user's shell folders lead to the home folder here: each test gets its own.
            fs::create_directory(target);
        } else {
            std::error_code ec;
            if (SharedWithTemplate(relative)) fs::create_hard_link(it->path(), target, ec);
            if (!SharedWithTemplate(relative) || ec) fs::copy_file(it->path(), target);
        }
    }
}

EnvChanges BaseEnvironment(const fs::path& prefix, const fs::path& unixTemp) {
    return {{"WINEPREFIX", prefix.string()},
            {"WINEDEBUG", "-all"},
            {"LC_ALL", "ko_KR.UTF-8"},
            {"TMPDIR", unixTemp.string()},
            // No Mono or Gecko: the tests install what a program needs themselves.
            {"WINEDLLOVERRIDES", "mscoree,mshtml="},
            {"DISPLAY", std::nullopt},
            {"WAYLAND_DISPLAY", std::nullopt}};
}

WineResult RunWith(const std::string& program, const std::vector<std::string>& args,
                   const EnvChanges& env, std::chrono::milliseconds timeout) {
    // The output goes to a file, not a pipe: the wineserver and programs started meanwhile
    // inherit it and may keep it open long after the command has ended.
    BackgroundProcess process;
    WineResult result;
    if (!process.Start(program, args, env)) return result;
    result.exitCode = process.Wait(timeout);
    result.output = process.Output();
    return result;
}

void Require(const WineResult& result, const std::string& what) {
    if (result.exitCode != 0)
        throw std::runtime_error(what + " failed (" + std::to_string(result.exitCode) +
                                 "): " + result.output);
}

std::string WineVersion() {
    const ProcessResult version = RunProcess(ZEB_WINE, {"--version"});
    return version.out;
}

class FileLock {
public:
    explicit FileLock(const fs::path& path)
        : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
        if (fd_ < 0 || ::flock(fd_, LOCK_EX) != 0)
            throw std::runtime_error("cannot lock " + path.string());
    }
    ~FileLock() { ::close(fd_); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int fd_;
};

fs::path MakeTemplate() {
    const fs::path folder = kFolder / "prefix-template";
    const fs::path marker = folder / "template-ready";
    fs::create_directories(kFolder);
    FileLock lock(kFolder / "prefix-template.lock");
    const std::string version = WineVersion();
    if (ReadFileBytes(marker) == version && !version.empty()) return folder;

    fs::remove_all(folder);
    TempDir unixTemp;
    const EnvChanges env = BaseEnvironment(folder, unixTemp.path());
    Require(RunWith(ZEB_WINE, {"wineboot", "--init"}, env, std::chrono::minutes(4)), "wineboot");
    // The message boxes the tests look for: their texts appear in Wine's relay trace.
    Require(RunWith(ZEB_WINE,
                    {"reg", "add", "HKCU\\Software\\Wine\\Debug", "/v", "RelayInclude", "/t",
                     "REG_SZ", "/d", "user32.MessageBoxTimeoutW", "/f"},
                    env, std::chrono::minutes(1)),
            "reg add");
    // The registry reaches its files when the wineserver ends.
    Require(RunWith(ZEB_WINESERVER, {"--wait"}, env, std::chrono::minutes(1)), "wineserver");
    WriteFileBytes(marker, version);
    return folder;
}

}  // namespace

fs::path TemplatePrefix() {
    static const fs::path made = MakeTemplate();
    return made;
}

void RemoveStalePrefixes() {
    std::error_code ec;
    const auto limit = fs::file_time_type::clock::now() - std::chrono::hours(1);
    for (const auto& entry : fs::directory_iterator(kFolder / "prefixes", ec))
        if (entry.last_write_time(ec) < limit) fs::remove_all(entry.path(), ec);
}

WinePrefix::WinePrefix(const std::string& windowsVersion) {
    const fs::path source = TemplatePrefix();
    fs::create_directories(kFolder / "prefixes");
    std::string pattern = (kFolder / "prefixes" / "p-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    try {
        fs::remove(path_);
        CopyPrefix(source, path_);
        Restart();
        if (!windowsVersion.empty())
            Require(Wine({"winecfg", "/v", windowsVersion}), "winecfg /v " + windowsVersion);
    } catch (...) {
        End();
        throw;
    }
}

void WinePrefix::Restart() const {
    RunWith(ZEB_WINESERVER, {"--kill"}, Environment(), std::chrono::minutes(1));
    // A wineserver that outlasts the pauses between a test's programs, so Wine's services
    // start once, not with every program; it ends 30 s after the last program should the
    // destructor never run.
    Require(RunWith(ZEB_WINESERVER, {"--persistent=30"}, Environment(), std::chrono::minutes(1)),
            "wineserver");
}

WinePrefix::~WinePrefix() { End(); }

void WinePrefix::End() const {
    RunWith(ZEB_WINESERVER, {"--kill"}, Environment(), std::chrono::minutes(1));
    std::error_code ec;
    fs::remove_all(path_, ec);
}

fs::path WinePrefix::HostPath(const std::string& windowsPath) const {
    if (windowsPath.size() < 3 || (windowsPath.compare(0, 3, "C:\\") != 0))
        throw std::invalid_argument("not a path on drive C: " + windowsPath);
    std::string relative = windowsPath.substr(3);
    for (char& c : relative)
        if (c == '\\') c = '/';
    return DriveC() / relative;
}

std::string WinePrefix::WindowsPath(const fs::path& hostPath) const {
    const fs::path absolute = fs::absolute(hostPath).lexically_normal();
    const fs::path inside = absolute.lexically_relative(DriveC());
    std::string text = !inside.empty() && *inside.begin() != ".."
                           ? "C:\\" + inside.string()
                           : "Z:" + absolute.string();
    for (char& c : text)
        if (c == '/') c = '\\';
    return text;
}

EnvChanges WinePrefix::Environment(const EnvChanges& extra) const {
    EnvChanges env = BaseEnvironment(path_, unixTemp_.path());
    for (const auto& [name, value] : extra) env[name] = value;
    return env;
}

WineResult WinePrefix::Wine(const std::vector<std::string>& args, const EnvChanges& extra,
                            std::chrono::milliseconds timeout) const {
    return RunWith(ZEB_WINE, args, Environment(extra), timeout);
}

bool WinePrefix::Start(BackgroundProcess& process, const std::vector<std::string>& args,
                       const EnvChanges& extra) const {
    return process.Start(ZEB_WINE, args, Environment(extra));
}

void WinePrefix::SetDword(const std::string& key, const std::string& name, uint32_t value,
                          bool view32) const {
    std::vector<std::string> args = {"reg", "add", "HKLM\\" + key, "/v", name, "/t", "REG_DWORD",
                                     "/d", std::to_string(value), "/f"};
    if (view32) args.push_back("/reg:32");
    Require(Wine(args), "reg add " + key);
}

std::optional<std::string> WinePrefix::QueryValue(const std::string& key, const std::string& name,
                                                  bool view32) const {
    std::vector<std::string> args = {"reg", "query", "HKLM\\" + key, "/v", name};
    if (view32) args.push_back("/reg:32");
    const WineResult result = Wine(args);
    if (result.exitCode != 0) return std::nullopt;
    // "    NAME    REG_TYPE    DATA"
    std::istringstream lines(result.output);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string first, type, data;
        if (words >> first >> type >> data && first == name && type.rfind("REG_", 0) == 0)
            return data;
    }
    return std::nullopt;
}
