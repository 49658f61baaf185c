#pragma once
// The minimum specification of a program version: Windows version, .NET Framework 4.x
// release and the Visual C++ redistributable; missing prerequisites are fetched and
// installed silently.
#include <cstdint>
#include <functional>
#include <string>

// True when the machine meets the MIN_SPEC text (prerequisites installed where needed).
// Every failure is logged and shown to the user.
bool CheckMinSpec(const std::wstring& minSpec);

// What a MIN_SPEC text asks for. Absent texts are empty.
struct MinSpec {
    int windowsVersion = -1;  // index of the version table WIN_VER names; -1 without WIN_VER
    bool dotNetEnabled = true;  // DOTNET_FX/ENABLED absent or "true"
    std::wstring dotNetVersion;
    std::wstring dotNetUrl;
    std::wstring dotNetSha256;  // the installer's hash
    bool vcRedistEnabled = false;  // VC_REDIST/ENABLED "true"
    std::wstring vcRedistVersion;
    std::wstring vcRedistUrl;
    std::wstring vcRedistSha256;
};
// False (nothing logged) when the text is not JSON, a member is not a string, an
// installer's SHA256 is not 64 lower-case hex digits, or WIN_VER names no index of the
// version table (leading blanks and a sign allowed, then digits up to the first other
// character).
bool ParseMinSpec(const std::wstring& text, MinSpec& spec);

// 0 when the installed .NET release reaches version, before or after installing it from
// url; otherwise 5 (unusable version text), 10, 15, 20, 25, 30 or 50. An installer whose
// SHA-256 differs from sha256 (when given) is deleted and not run (25); a build with
// release keys fetches none without sha256 (15). An installer still running after the wait
// (30 minutes) is logged with status 40 and left running; the release it may have raised is
// checked as after any installer.
int InstallDotNetFramework(const std::wstring& version, const std::wstring& url,
                           const std::wstring& sha256);
// 0 when the redistributable's installer was fetched from url, matched sha256 as above,
// started and ended within the wait (30 minutes); otherwise 5 (unusable version text), 10,
// 15, 20, 25, 30 or 40 (still running, left so).
int InstallVcRedist(const std::wstring& version, const std::wstring& url,
                    const std::wstring& sha256);
// Replaces the installers' wait of 30 minutes.
void SetPrerequisiteWaitForTesting(uint32_t waitMs);

// ---- Windows version ----------------------------------------------------------------------
// Index of the version table (0 "WIN_XP" .. 11 "WIN_10"), -1 for "WIN_UNKNOWN". name, when
// given, receives the index's name.
int GetWindowsVersion(std::wstring* name = nullptr);
// Name of a table index; "WIN_UNKNOWN" outside 0..11.
std::wstring WindowsVersionName(int index);
inline constexpr int kWindowsVersionCount = 12;

// Answers whether the running system's major version, minor version and service-pack
// major number are each at least the given ones.
using WindowsVersionProbe = std::function<bool(int major, int minor, int servicePack)>;
// Replaces the probe GetWindowsVersion asks; an empty function restores the platform's own
// (VerifyVersionInfoW on Windows; Linux has no Windows version, so there
// GetWindowsVersion reports -1).
void SetWindowsVersionProbe(WindowsVersionProbe probe);

// ---- .NET Framework -----------------------------------------------------------------------
// The installed version text by the release table ("4.8" … "4.5", "0" for another non-zero
// release), empty when the release is 0 or cannot be read.
std::wstring GetDotNetVersion();
// The version text of a release number, by the same table.
std::wstring DotNetVersionOfRelease(int release);
inline constexpr const wchar_t* kDotNetSetupKey =
    L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full";

// 1 when first is the higher dotted version, -1 when lower, 0 when equal; missing
// components count as 0 (4.7 equals 4.7.0, 4.10 is above 4.9).
int CompareVersion(const std::wstring& first, const std::wstring& second);
