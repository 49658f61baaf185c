#include "tests/support/TestCa.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>

#include "tests/support/TempDir.h"

namespace {

void Run(const std::string& command) {
    if (std::system((command + " >/dev/null 2>&1").c_str()) != 0)
        throw std::runtime_error("command failed: " + command);
}

TestCa Make() {
    static TempDir dir;  // lives until the test process ends
    TestCa ca;
    ca.folder = dir.path();
    const std::string d = dir.path().string();
    ca.caCert = dir.path() / "ca.pem";
    ca.serverCert = dir.path() / "server.pem";
    ca.serverKey = dir.path() / "server.key";
    ca.untrustedCert = dir.path() / "untrusted.pem";
    ca.untrustedKey = dir.path() / "untrusted.key";
    std::ofstream(dir.path() / "ext.cnf")
        << "basicConstraints=CA:FALSE\nsubjectAltName=IP:127.0.0.1,DNS:localhost\n";
    Run("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=zeb-test-ca"
        " -keyout " + d + "/ca.key -out " + d + "/ca.pem");
    Run("openssl req -newkey rsa:2048 -nodes -subj /CN=127.0.0.1 -keyout " + d +
        "/server.key -out " + d + "/server.csr");
    Run("openssl x509 -req -in " + d + "/server.csr -CA " + d + "/ca.pem -CAkey " + d +
        "/ca.key -CAcreateserial -days 2 -extfile " + d + "/ext.cnf -out " + d + "/server.pem");
    Run("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1"
        " -addext subjectAltName=IP:127.0.0.1 -keyout " + d + "/untrusted.key -out " + d +
        "/untrusted.pem");
    return ca;
}

}  // namespace

const TestCa& GetTestCa() {
    static const TestCa ca = Make();
    return ca;
}

void TrustTestCa() { setenv("SSL_CERT_FILE", GetTestCa().caCert.c_str(), 1); }
