#include "tests/support/FtpServerFixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "tests/support/LocalSockets.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kVsftpd = "/usr/sbin/vsftpd";

// A folder vsftpd may chroot into: owned by root and writable by nobody else.
void MakeServedFolder(const fs::path& folder) {
    fs::create_directories(folder);
    fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
}

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

}  // namespace

bool LoopbackGreets(int port, const std::string& code) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in address = Loopback(port);
    bool greeted = false;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
        pollfd entry{fd, POLLIN, 0};
        char reply[256] = {};
        if (::poll(&entry, 1, 2000) == 1 && ::recv(fd, reply, sizeof(reply) - 1, 0) >= 3)
            greeted = std::string(reply, 3) == code;
    }
    ::close(fd);
    return greeted;
}

FtpServerFixture::FtpServerFixture(bool withSize) : withSize_(withSize) {
    MakeServedFolder(dir_.path());
    root_ = dir_.path() / "root";
    MakeServedFolder(root_);
    MakeServedFolder(dir_.path() / "empty");
    // The port is free when chosen but may be taken before the server binds it.
    for (int attempt = 0; attempt < 5; ++attempt)
        if (StartOnce()) return;
    throw std::runtime_error("vsftpd did not start: " + server_.Output());
}

FtpServerFixture::~FtpServerFixture() { server_.Stop(); }

bool FtpServerFixture::StartOnce() {
    port_ = UnusedLocalPort();
    if (port_ == 0) return false;
    const fs::path config = dir_.path() / "vsftpd.conf";
    {
        std::ofstream out(config, std::ios::trunc);
        out << "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\n"
            << "listen_port=" << port_ << "\n"
            << "background=NO\n"
            << "anonymous_enable=YES\nanon_root=" << root_.string() << "\n"
            << "local_enable=NO\nwrite_enable=NO\n"
            // Passive data ports come from the kernel's ephemeral range.
            << "pasv_enable=YES\npasv_address=127.0.0.1\n"
            << "port_enable=NO\nconnect_from_port_20=NO\n"
            << "secure_chroot_dir=" << (dir_.path() / "empty").string() << "\n"
            << "seccomp_sandbox=NO\nisolate=NO\nisolate_network=NO\n"
            << "xferlog_enable=NO\nsyslog_enable=NO\nuse_localtime=NO\n"
            << "delay_failed_login=0\ndelay_successful_login=0\n";
        if (!withSize_)
            out << "cmds_allowed=ABOR,CWD,EPSV,FEAT,LIST,MDTM,MODE,NLST,NOOP,OPTS,PASS,PASV,PWD,"
                   "QUIT,REST,RETR,STRU,SYST,TYPE,USER\n";
    }
    fs::permissions(config, fs::perms::owner_read | fs::perms::owner_write);
    server_.Stop();
    if (!server_.Start(kVsftpd, {config.string()}, {},
                       (dir_.path() / "vsftpd.out").string()))
        return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (!server_.Running()) return false;
        if (LoopbackGreets(port_, "220")) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

fs::path FtpServerFixture::AddFile(const std::string& relative, const std::string& bytes) {
    const fs::path path = root_ / relative;
    fs::create_directories(path.parent_path());
    for (fs::path folder = path.parent_path(); folder != root_ && folder.has_relative_path();
         folder = folder.parent_path())
        MakeServedFolder(folder);
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write |
                              fs::perms::group_read | fs::perms::others_read);
    return path;
}

fs::path FtpServerFixture::AddSparseFile(const std::string& relative, uint64_t size) {
    const fs::path path = AddFile(relative, std::string());
    fs::resize_file(path, size);
    return path;
}
