#pragma once
// One file-server session and its connection, on libcurl: the session is a multi handle
// (it owns the connection cache, so every transfer of a set reuses one control
// connection), the connection is an easy handle set up for the server.
#include <curl/curl.h>

#include <string>

// The pieces of a URL, as crackURL splits it.
struct UrlParts {
    std::wstring scheme;
    int schemeNumber = 0;  // 1 FTP, 3 HTTP, 4 HTTPS (the other well-known numbers too)
    std::wstring userName;
    std::wstring password;
    std::wstring hostName;
    int port = 0;  // the scheme's default port when the URL names none
    std::wstring urlPath;
    std::wstring extraInfo;  // query and fragment, with their '?' and '#'
};

inline constexpr int kSchemeUnknown = -1;
inline constexpr int kSchemeFtp = 1;
inline constexpr int kSchemeHttp = 3;
inline constexpr int kSchemeHttps = 4;

// The port a scheme's service listens on when a URL names none (0 when it has none).
int DefaultPortForScheme(int schemeNumber);

// Longest part crackURL accepts, in characters.
inline constexpr size_t kUrlNameCapacity = 519;  // scheme, user, password, host
inline constexpr size_t kUrlPathCapacity = 2079;
inline constexpr size_t kUrlExtraCapacity = 5199;

class CInetConn {
public:
    explicit CInetConn(const std::wstring& url);
    virtual ~CInetConn();
    CInetConn(const CInetConn&) = delete;
    CInetConn& operator=(const CInetConn&) = delete;

    // Splits url without decoding anything. False (logged) leaves parts as they were.
    static bool crackURL(const std::wstring& url, UrlParts& parts);

    // Connects to the host of the object's URL: 0, 10 without a session, 20 when the
    // connection fails. port < 1 means the service's default port.
    int connectSecurity(int port, const std::wstring& userName, const std::wstring& password);

    const std::wstring& url() const { return url_; }
    const UrlParts& parts() const { return parts_; }
    bool hasSession() const { return session_ != nullptr; }
    bool isConnected() const { return connection_ != nullptr; }
    // What connectSecurity used: the lower-cased host, and the port (0 = default).
    const std::wstring& serverName() const { return serverName_; }
    int serverPort() const { return serverPort_; }

    // URL of a path on the connected server: "scheme://host[:port]/" + path, each byte
    // outside the URL's plain characters percent-encoded ('/' kept).
    std::string fileUrl(const std::string& path) const;

    // ---- transfers on the connection, one at a time ----------------------------------
    // The connection's handle, for a transfer's own options (null until connected).
    CURL* connection() const { return connection_; }
    // Drives the current transfer (starting it when needed) for at most one wait of
    // waitMs. False once it has ended; transferResult() then holds its outcome.
    bool pumpTransfer(int waitMs);
    // Runs a transfer to its end.
    CURLcode runTransfer();
    // Ends the current transfer, finished or not.
    void endTransfer();
    CURLcode transferResult() const { return result_; }
    // The system error number of the last failure (0 when the failure was not the system's).
    int transferOsError() const;

private:
    CURLM* session_ = nullptr;
    CURL* connection_ = nullptr;
    std::wstring url_;
    UrlParts parts_;
    std::wstring serverName_;
    int serverPort_ = 0;
    bool globalInit_ = false;
    bool active_ = false;
    bool finished_ = false;
    CURLcode result_ = CURLE_OK;
};
