#pragma once
// Settings every libcurl transfer of the launcher shares: verified TLS against the trust
// store, a connect time-out, stall detection, and libcurl's own trace sent to the debug log.
//
// Tests shorten the two time limits through the environment (whole seconds, > 0):
//   ZEB_TEST_CONNECT_TIMEOUT  connect phase, TLS handshake included (default 15)
//   ZEB_TEST_STALL_TIME       abort when under 1 byte/s arrives for this long (default 60)
#include <curl/curl.h>

inline constexpr long kCurlConnectTimeoutSeconds = 15;
inline constexpr long kCurlStallSeconds = 60;
inline constexpr long kCurlStallBytesPerSecond = 1;

// logFunction names the operation in the trace lines; it must outlive the transfer.
void ApplyCurlTransferPolicy(CURL* curl, const char* logFunction);
