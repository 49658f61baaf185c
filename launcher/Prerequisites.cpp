// The .NET Framework and Visual C++ redistributable installers: fetched over HTTPS into the
// prerequisites folder and run silently, each waited for up to 30 minutes.
#include <cstdint>

#include "common/GL_Debug.h"
#include "common/GL_File.h"
#include "common/GL_Process.h"
#include "common/GL_Registry.h"
#include "common/os/os.h"
#include "launcher/FileDigest.h"
#include "launcher/LauncherContext.h"
#include "launcher/MinSpec.h"
#include "server/GL_Internet.h"
#include "server/InetConn.h"

namespace {

struct ReleaseRow {
    int32_t minimum;
    const wchar_t* version;
};

// Microsoft's lowest release number of each version.
constexpr ReleaseRow kReleases[] = {
    {528040, L"4.8"},   {461808, L"4.7.2"}, {461308, L"4.7.1"}, {460798, L"4.7"},
    {394802, L"4.6.2"}, {394254, L"4.6.1"}, {393295, L"4.6"},   {379893, L"4.5.2"},
    {378675, L"4.5.1"}, {378389, L"4.5"},
};

constexpr const wchar_t* kInstallerArguments = L"/norestart /quiet";

// An installer still running after this long is left to itself and the launcher goes on: a
// hung installer must not hold the program's start for ever.
constexpr uint32_t kInstallerWaitMs = 30 * 60 * 1000;
constexpr int kStatusInstallerNotEnded = 40;

uint32_t& InstallerWaitMs() {
    static uint32_t waitMs = kInstallerWaitMs;
    return waitMs;
}

// What differs between the two installers: where the file goes and what the log says.
struct Installer {
    const wchar_t* function;
    const wchar_t* folder;
    const wchar_t* filePrefix;
    const wchar_t* badVersion;
    const wchar_t* badUrl;
    const wchar_t* noHash;
    const wchar_t* downloadFailed;
    const wchar_t* hashDiffers;
    const wchar_t* installing;
    const wchar_t* startFailed;
    const wchar_t* installed;
};

constexpr Installer kDotNet = {
    L"InstallDotNetFramework",
    L"dotnet_fx",
    L"dotnet_fx_",
    L"닷넷 프레임워크 버전 형식 오류(%s)",
    L"닷넷 프레임워크 다운로드 URL파싱 실패(%s)",
    L"닷넷 프레임워크 설치파일 해시 정보 없음(%s)",
    L"닷넷 프레임워크 다운로드 실패(%s)",
    L"닷넷 프레임워크 설치파일 해시 불일치(%s)",
    L"닷넷 프레임워크 설치중...(최대 몇 분이상 걸림)\r\n%s)",
    L"닷넷 프레임워크 설치파일 실행실패\r\n%s)",
    L"닷넷 프레임워크 설치완료)",
};

constexpr Installer kVcRedist = {
    L"InstallVcRedist",
    L"vc_redist",
    L"vc_redist.x86.",
    L"VC_REDIST 버전 형식 오류(%s)",
    L"VC_REDIST 다운로드 URL파싱 실패(%s)",
    L"VC_REDIST 설치파일 해시 정보 없음(%s)",
    L"VC_REDIST 다운로드 실패(%s)",
    L"VC_REDIST 설치파일 해시 불일치(%s)",
    L"VC_REDIST 설치중...(최대 몇 분이상 걸림)\r\n%s)",
    L"VC_REDIST 설치파일 실행실패\r\n%s)",
    L"VC_REDIST 설치완료)",
};

// The version names the installer file: it must stay one file name inside its folder.
bool UsableInFileName(const std::wstring& version) {
    return version.find_first_of(L"/\\") == std::wstring::npos && version != L"." &&
           version != L"..";
}

// Fetches the installer into the prerequisites folder and runs it until it ends; one that
// is not the file sha256 names is deleted instead. 0, or the status of the step that failed
// (logged); kStatusInstallerNotEnded when it was still running at the end of the wait.
int FetchAndRun(const Installer& kind, const std::wstring& version, const std::wstring& url,
                const std::wstring& sha256, std::wstring& localInstaller) {
    if (!UsableInFileName(version))
        return GL_LOG_FN(kind.function, 'E', 0, 5, kind.badVersion, version);
    localInstaller = Context().prerequisitesFolder + kind.folder + os::kSepStr +
                     kind.filePrefix + version + L".exe";

    UrlParts parts;
    if (!CInetConn::crackURL(url, parts))
        return GL_LOG_FN(kind.function, 'E', 0, 10, kind.badUrl, url);
    // The server named the port for a reason: keep it unless it is the scheme's own.
    std::wstring baseUrl = parts.scheme + L"://" + parts.hostName;
    if (parts.port != DefaultPortForScheme(parts.schemeNumber))
        baseUrl += L":" + std::to_wstring(parts.port);
    baseUrl += L"/";
    if (sha256.empty() && ReleaseHashesRequired())
        return GL_LOG_FN(kind.function, 'E', 0, 15, kind.noHash, version);
    const DownloadSet files = {{localInstaller, parts.urlPath + parts.extraInfo}};
    if (!GL_INTERNET_HTTPDownloadToFileByCurl(baseUrl, files, true))
        return GL_LOG_FN(kind.function, 'E', 0, 20, kind.downloadFailed, version);
    if (!sha256.empty() && CheckFileSha256(localInstaller, sha256) != DigestCheck::kMatch) {
        GL_FILE_Delete(localInstaller);
        return GL_LOG_FN(kind.function, 'E', 0, 25, kind.hashDiffers, version);
    }

    GL_LOG_FN(kind.function, 'E', 0, 0, kind.installing, localInstaller);
    const GL_PROCESS_INFO process =
        GL_PROCESS_Run(true, 0, localInstaller, kInstallerArguments, true, InstallerWaitMs());
    if (process.dwProcessId == 0)
        return GL_LOG_FN(kind.function, 'E', 0, 30, kind.startFailed, localInstaller);
    const bool ended = os::WaitProcess(process.hProcess, 0);
    os::CloseProcess(process.hProcess);
    os::CloseThread(process.hThread);
    if (!ended)
        return GL_LOG_FN(kind.function, 'E', 0, kStatusInstallerNotEnded, kind.startFailed,
                         localInstaller);
    return 0;
}

}  // namespace

std::wstring DotNetVersionOfRelease(int release) {
    if (release == 0) return std::wstring();
    for (const ReleaseRow& row : kReleases)
        if (release >= row.minimum) return row.version;
    return L"0";
}

std::wstring GetDotNetVersion() {
    int32_t release = 0;
    // What the 32-bit launcher sees, also from a 64-bit build.
    GLCRegistry registry(GLRegistryRoot::LocalMachine, GLRegistryView::Wow64_32);
    if (!registry.ReadInt(kDotNetSetupKey, L"Release", release)) return std::wstring();
    return DotNetVersionOfRelease(release);
}

int InstallDotNetFramework(const std::wstring& version, const std::wstring& url,
                           const std::wstring& sha256) {
    std::wstring installed = GetDotNetVersion();
    if (CompareVersion(installed.empty() ? L"0" : installed, version) >= 0) return 0;

    std::wstring localInstaller;
    // An installer that has not ended may still have done its work: the release tells.
    if (const int status = FetchAndRun(kDotNet, version, url, sha256, localInstaller);
        status != 0 && status != kStatusInstallerNotEnded)
        return status;

    // The installer's exit code says nothing reliable; the release it leaves behind does.
    installed = GetDotNetVersion();
    if (CompareVersion(installed, version) == -1)
        return GL_LOG('E', 0, 50, L"닷넷 프레임워크 설치 실패\r\n%s)", localInstaller);
    GL_LOG('E', 0, 0, kDotNet.installed);
    return 0;
}

int InstallVcRedist(const std::wstring& version, const std::wstring& url,
                    const std::wstring& sha256) {
    std::wstring localInstaller;
    if (const int status = FetchAndRun(kVcRedist, version, url, sha256, localInstaller);
        status != 0)
        return status;
    GL_LOG('E', 0, 0, kVcRedist.installed);
    return 0;
}

void SetPrerequisiteWaitForTesting(uint32_t waitMs) { InstallerWaitMs() = waitMs; }
