#pragma once
// Loopback peers that misbehave below HTTP.

// A port on 127.0.0.1 that nothing listens on (it was free a moment ago).
int UnusedLocalPort();

// Listens on 127.0.0.1 and never accepts: the kernel completes every TCP handshake, then
// nothing is ever sent or read, so a TLS client waits in its handshake.
class SilentTcpListener {
public:
    SilentTcpListener();  // throws std::runtime_error when it cannot listen
    ~SilentTcpListener();
    SilentTcpListener(const SilentTcpListener&) = delete;
    SilentTcpListener& operator=(const SilentTcpListener&) = delete;
    int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};
