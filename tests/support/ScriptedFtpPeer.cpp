#include "tests/support/ScriptedFtpPeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace {

int ListenOnLoopback(int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

// Accepts within ms, or -1.
int AcceptWithin(int listener, int ms) {
    pollfd entry{listener, POLLIN, 0};
    if (::poll(&entry, 1, ms) != 1) return -1;
    return ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
}

void SendAll(int fd, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
}

void Reply(int fd, const std::string& line) { SendAll(fd, line + "\r\n"); }

// Holds a connection open, sending nothing, until the other side closes it (at most 60 s).
void WaitForClose(int fd) {
    for (int i = 0; i < 600; ++i) {
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, 100) != 1) continue;
        char chunk[256];
        if (::recv(fd, chunk, sizeof(chunk), 0) <= 0) return;
    }
}

}  // namespace

ScriptedFtpPeer::ScriptedFtpPeer() {
    listener_ = ListenOnLoopback(port_);
    if (listener_ < 0) throw std::runtime_error("scripted FTP peer cannot listen");
    thread_ = std::thread([this] { Run(); });
}

ScriptedFtpPeer::~ScriptedFtpPeer() {
    stop_ = true;
    thread_.join();
    ::close(listener_);
}

void ScriptedFtpPeer::Serve(const std::string& path, uint64_t listedSize,
                            const std::string& body, Behaviour behaviour) {
    std::lock_guard<std::mutex> lock(mutex_);
    files_[path] = File{listedSize, body, behaviour};
}

std::vector<std::string> ScriptedFtpPeer::Commands() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return commands_;
}

bool ScriptedFtpPeer::FindFile(const std::string& path, File& file) const {
    const std::string key = !path.empty() && path[0] == '/' ? path.substr(1) : path;
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = files_.find(key);
    if (found == files_.end()) return false;
    file = found->second;
    return true;
}

void ScriptedFtpPeer::Run() {
    while (!stop_) {
        const int control = AcceptWithin(listener_, 100);
        if (control < 0) continue;
        ++connections_;
        Session(control);
        ::close(control);
    }
}

void ScriptedFtpPeer::Session(int control) {
    Reply(control, "220 scripted peer");
    std::string received;
    int data = -1;  // passive listener of the next transfer
    auto closeData = [&data] {
        if (data >= 0) ::close(data);
        data = -1;
    };
    while (!stop_) {
        const size_t end = received.find("\r\n");
        if (end == std::string::npos) {
            pollfd entry{control, POLLIN, 0};
            if (::poll(&entry, 1, 100) != 1) continue;
            char chunk[512];
            const ssize_t n = ::recv(control, chunk, sizeof(chunk), 0);
            if (n <= 0) break;
            received.append(chunk, static_cast<size_t>(n));
            continue;
        }
        const std::string line = received.substr(0, end);
        received.erase(0, end + 2);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            commands_.push_back(line);
        }
        const size_t space = line.find(' ');
        const std::string verb = line.substr(0, space);
        const std::string argument = space == std::string::npos ? "" : line.substr(space + 1);
        File file;
        if (verb == "USER") {
            Reply(control, "331 password please");
        } else if (verb == "PASS") {
            Reply(control, "230 logged in");
        } else if (verb == "PWD") {
            Reply(control, "257 \"/\" is the current directory");
        } else if (verb == "TYPE") {
            Reply(control, "200 type set");
        } else if (verb == "EPSV" || verb == "PASV") {
            closeData();
            int dataPort = 0;
            data = ListenOnLoopback(dataPort);
            if (verb == "EPSV")
                Reply(control, "229 Entering Extended Passive Mode (|||" +
                                   std::to_string(dataPort) + "|)");
            else
                Reply(control, "227 Entering Passive Mode (127,0,0,1," +
                                   std::to_string(dataPort / 256) + "," +
                                   std::to_string(dataPort % 256) + ")");
        } else if (verb == "SIZE" && !sizeSupported_) {
            Reply(control, "502 SIZE not implemented");
        } else if (verb == "SIZE") {
            const bool found = FindFile(argument, file);
            if (found && file.behaviour == Behaviour::kDropOnSize) break;
            if (found)
                Reply(control, "213 " + std::to_string(file.listedSize));
            else
                Reply(control, "550 no such file");
        } else if (verb == "REST") {
            Reply(control, "350 restarting at 0");
        } else if (verb == "RETR") {
            if (!FindFile(argument, file) || data < 0 ||
                file.behaviour == Behaviour::kRefuseRetrieval) {
                Reply(control, "550 no such file");
                closeData();
                continue;
            }
            Reply(control, "150 opening data connection");
            const int transfer = AcceptWithin(data, 5000);
            closeData();
            if (transfer >= 0) {
                SendAll(transfer, file.body);
                if (file.behaviour == Behaviour::kStallAfterBody) WaitForClose(transfer);
                ::close(transfer);
            }
            Reply(control, "226 transfer complete");
        } else if (verb == "QUIT") {
            Reply(control, "221 bye");
            break;
        } else {
            Reply(control, "502 not implemented");
        }
    }
    closeData();
}
