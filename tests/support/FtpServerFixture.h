#pragma once
// A real FTP server for tests: Debian's vsftpd as a child process on 127.0.0.1, on a free
// port, serving an anonymous read-only folder. Started by the constructor, stopped by the
// destructor.
#include <cstdint>
#include <filesystem>
#include <string>

#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

class FtpServerFixture {
public:
    // Throws std::runtime_error when the server does not come up. withSize false: the
    // server refuses the optional SIZE command (550, as vsftpd answers a command it is told
    // not to allow).
    explicit FtpServerFixture(bool withSize = true);
    ~FtpServerFixture();
    FtpServerFixture(const FtpServerFixture&) = delete;
    FtpServerFixture& operator=(const FtpServerFixture&) = delete;

    int port() const { return port_; }
    // Scheme and host, without the port: how the launcher's callers name the server.
    std::wstring url() const { return L"ftp://127.0.0.1"; }
    // The folder anonymous users see as "/".
    const std::filesystem::path& root() const { return root_; }

    // A world-readable file below the root (folders created on the way).
    std::filesystem::path AddFile(const std::string& relative, const std::string& bytes);
    // A file of size bytes that takes no disk space (it reads as zero bytes).
    std::filesystem::path AddSparseFile(const std::string& relative, uint64_t size);

private:
    bool StartOnce();

    bool withSize_;
    TempDir dir_;
    std::filesystem::path root_;
    int port_ = 0;
    BackgroundProcess server_;
};

// True when a server on 127.0.0.1:port greets a new connection with the reply code.
bool LoopbackGreets(int port, const std::string& code);
