#include "tests/support/TestCa.h"

#include <cstdlib>

const TestCa& GetTestCa() {
    // Made by the build (tests/make_test_ca.sh), shared by every test process.
    static const TestCa ca = [] {
        const std::filesystem::path folder = ZEB_TEST_CA_DIR;
        TestCa made;
        made.folder = folder;
        made.caCert = folder / "ca.pem";
        made.serverCert = folder / "server.pem";
        made.serverKey = folder / "server.key";
        made.untrustedCert = folder / "untrusted.pem";
        made.untrustedKey = folder / "untrusted.key";
        return made;
    }();
    return ca;
}

void TrustTestCa() { setenv("SSL_CERT_FILE", GetTestCa().caCert.c_str(), 1); }
