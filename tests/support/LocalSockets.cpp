#include "tests/support/LocalSockets.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace {

// A TCP socket bound to 127.0.0.1 on a port the kernel picks; fd -1 on failure.
int BindLoopback(int& port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

}  // namespace

int UnusedLocalPort() {
    int port = 0;
    const int fd = BindLoopback(port);
    if (fd < 0) throw std::runtime_error("cannot bind 127.0.0.1");
    close(fd);
    return port;
}

SilentTcpListener::SilentTcpListener() {
    fd_ = BindLoopback(port_);
    if (fd_ < 0 || listen(fd_, 16) != 0) throw std::runtime_error("cannot listen on 127.0.0.1");
}

SilentTcpListener::~SilentTcpListener() {
    if (fd_ >= 0) close(fd_);
}
