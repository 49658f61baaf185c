#pragma once
// A scripted FTP peer on 127.0.0.1 for answers a sound server never gives: a listed size
// that the transfer does not keep, a file that grows between look-up and retrieval, a huge
// listed size. Passive mode only; one control connection at a time, on its own thread.
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ScriptedFtpPeer {
public:
    ScriptedFtpPeer();  // listening when it returns
    ~ScriptedFtpPeer();
    ScriptedFtpPeer(const ScriptedFtpPeer&) = delete;
    ScriptedFtpPeer& operator=(const ScriptedFtpPeer&) = delete;

    enum class Behaviour {
        kSend,             // RETR sends the body and closes the data connection
        kRefuseRetrieval,  // SIZE answers, RETR is refused
        kDropOnSize,       // SIZE closes the control connection without a reply
        kStallAfterBody,   // RETR sends the body, then keeps the data connection silent
    };

    int port() const { return port_; }
    // SIZE of path answers listedSize; RETR behaves as asked.
    void Serve(const std::string& path, uint64_t listedSize, const std::string& body,
               Behaviour behaviour = Behaviour::kSend);
    // A server without the optional SIZE command answers it with 502.
    void DropSizeCommand() { sizeSupported_ = false; }
    int Connections() const { return connections_; }
    // Every command received so far, as sent.
    std::vector<std::string> Commands() const;

private:
    struct File {
        uint64_t listedSize;
        std::string body;
        Behaviour behaviour;
    };
    void Run();
    void Session(int control);
    bool FindFile(const std::string& path, File& file) const;

    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::atomic<bool> sizeSupported_{true};
    mutable std::mutex mutex_;
    std::map<std::string, File> files_;
    std::vector<std::string> commands_;
    std::thread thread_;
};
