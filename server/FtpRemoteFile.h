#pragma once
// Files on a connected FTP server: the size look-up, and a retrieval read piece by piece
// through a bounded buffer, so that a file of any size streams without being held whole.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "server/InetConn.h"

// A remote file opened for reading: its bytes in order, until the end of the transfer.
class FtpRemoteFile {
public:
    virtual ~FtpRemoteFile() = default;
    // Blocks until size bytes arrived or the transfer ended; fewer bytes (0 at the end or on
    // a failure) only when it ended.
    virtual size_t Read(void* buffer, size_t size) = 0;
    // The system error number of a failed transfer, 0 when there is none.
    virtual int LastError() const { return 0; }
    // The transfer ended with a failure (not at the end of the file).
    virtual bool Failed() const { return false; }
};

struct FtpFileInfo {
    enum class Result { kFound, kSizeUnknown, kFailed } result = Result::kFailed;
    uint64_t size = 0;  // with kFound
    int osError = 0;    // with kFailed
};

// Asks the server for the size of path (SIZE): kFound with the size. SIZE is optional, and a
// server without it may answer as it does for a missing file or a folder: every such answer
// is kSizeUnknown, and the retrieval decides. A connection that fails is kFailed.
FtpFileInfo FtpLookUpFile(CInetConn& connection, const std::string& path);

// A retrieval (RETR) on the connection. Bytes wait in a buffer of at most kBufferLimit
// plus one network read; the transfer is paused while the buffer is full.
class CurlFtpFile final : public FtpRemoteFile {
public:
    static constexpr size_t kBufferLimit = 256 * 1024;

    explicit CurlFtpFile(CInetConn& connection) : connection_(connection) {}
    ~CurlFtpFile() override { Close(); }
    CurlFtpFile(const CurlFtpFile&) = delete;
    CurlFtpFile& operator=(const CurlFtpFile&) = delete;

    // Starts the retrieval of path. False when the server refused it; Missing() then tells
    // whether it refused because no such file is there.
    bool Open(const std::string& path);
    bool Missing() const { return missing_; }
    size_t Read(void* buffer, size_t size) override;
    int LastError() const override { return osError_; }
    bool Failed() const override { return failed_; }
    // Ends the retrieval, cutting it short when it is still running.
    void Close();

private:
    static size_t OnData(char* data, size_t size, size_t count, void* self);
    static size_t OnReply(char* data, size_t size, size_t count, void* self);
    size_t Buffered() const { return pending_.size() - readPos_; }
    void NoteEnd();

    CInetConn& connection_;
    // While Read waits, arriving bytes go straight to its buffer; the rest waits here.
    char* target_ = nullptr;
    size_t targetRoom_ = 0;
    std::vector<char> pending_;
    size_t readPos_ = 0;
    bool open_ = false;
    bool accepted_ = false;  // the server began sending (a 1xx reply or data)
    bool paused_ = false;
    bool ended_ = false;
    bool failed_ = false;
    bool missing_ = false;
    int osError_ = 0;
};
