#pragma once
// A certificate authority and a server certificate for 127.0.0.1 and localhost, made by the
// build with the openssl tool, so tests can run real HTTPS peers.
#include <filesystem>

struct TestCa {
    std::filesystem::path folder;
    std::filesystem::path caCert;      // PEM, the authority to trust
    std::filesystem::path serverCert;  // PEM, signed by the authority
    std::filesystem::path serverKey;   // PEM
    std::filesystem::path untrustedCert;  // self-signed, for refusal tests
    std::filesystem::path untrustedKey;
};

const TestCa& GetTestCa();
// Sets SSL_CERT_FILE to the authority for this process and the children it starts.
void TrustTestCa();
