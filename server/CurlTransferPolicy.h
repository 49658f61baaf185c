#pragma once
// Settings every libcurl transfer of the launcher shares: verified TLS against the trust
// store, a connect time-out, stall detection, and libcurl's own trace sent to the debug log;
// and the bounds of what a transfer may take in.
//
// Tests lower the limits through the environment (whole numbers, > 0; no larger than the
// default):
//   ZEB_TEST_CONNECT_TIMEOUT  connect phase, TLS handshake included, seconds (default 15)
//   ZEB_TEST_STALL_TIME       abort when under 1 byte/s arrives for this long, seconds
//                             (default 60)
//   ZEB_TEST_REQUEST_TIME     the update request as a whole, seconds (default 60)
//   ZEB_TEST_DOWNLOAD_CEILING the most one downloaded file may hold, bytes (default
//                             4,294,967,295)
#include <curl/curl.h>

#include <cstddef>
#include <cstdint>

inline constexpr long kCurlConnectTimeoutSeconds = 15;
inline constexpr long kCurlStallSeconds = 60;
inline constexpr long kCurlStallBytesPerSecond = 1;
// The update request from connecting to its last byte: a server that drips its reply just
// fast enough to pass the stall rule cannot hold the start for longer.
inline constexpr long kCurlRequestTimeLimitSeconds = 60;
// The largest reply the update request takes in; a longer one fails the send.
inline constexpr size_t kCurlReplyLimitBytes = 16 * 1024 * 1024;
// The most a download writes into one file, whatever the server sends or says: the largest
// size the 32-bit sizes of the update data and the FTP transport can describe.
inline constexpr uint64_t kDownloadCeilingBytes = 0xFFFFFFFFu;

long CurlRequestTimeLimitSeconds();
uint64_t DownloadCeilingBytes();

// logFunction names the operation in the trace lines; it must outlive the transfer.
void ApplyCurlTransferPolicy(CURL* curl, const char* logFunction);
