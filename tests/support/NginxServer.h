#pragma once

#include <memory>
#include <string>
#include <sys/types.h>

namespace testsupport {

// Test certificates made with the openssl command in a temporary folder:
// a certificate authority and, signed by it, a valid, an expired and a
// wrong-host server certificate for 127.0.0.1 / localhost, plus a
// self-signed one that no authority vouches for. Keys are unencrypted PEM.
class TestCertificates final {
public:
    // nullptr (with the reason in *error) when openssl fails.
    static std::unique_ptr<TestCertificates> generate(std::string* error = nullptr);
    ~TestCertificates(); // removes the folder

    const std::string& directory() const { return dir_; }
    std::string caCertificate() const { return dir_ + "/ca.pem"; }
    std::string validCertificate() const { return dir_ + "/valid.pem"; }
    std::string validKey() const { return dir_ + "/valid.key"; }
    std::string expiredCertificate() const { return dir_ + "/expired.pem"; }
    std::string expiredKey() const { return dir_ + "/expired.key"; }
    std::string wrongHostCertificate() const { return dir_ + "/wronghost.pem"; }
    std::string wrongHostKey() const { return dir_ + "/wronghost.key"; }
    std::string selfSignedCertificate() const { return dir_ + "/selfsigned.pem"; }
    std::string selfSignedKey() const { return dir_ + "/selfsigned.key"; }
    // A client identity signed by the authority: PEM (certificate + key) and PKCS#12 (password "secret").
    std::string clientIdentityPem() const { return dir_ + "/client-identity.pem"; }
    std::string clientIdentityP12() const { return dir_ + "/client.p12"; }

private:
    std::string dir_;
};

// nginx (the Debian server) on 127.0.0.1 and a free port, with a generated
// configuration, running as the current user with its pid file, logs and
// temporary folders in a temporary folder. Stopped (and the folder removed)
// on destruction.
class NginxServer final {
public:
    struct Options {
        // TLS with this certificate and key (PEM files); plain HTTP when empty.
        std::string certificateFile;
        std::string keyFile;
        // When set, the server asks for a client certificate and checks it against this authority.
        std::string clientCaFile;
        bool gzip = false; // gzip on for text/plain and application/json, any size
        int keepaliveTimeoutSeconds = 60;
        int keepaliveRequests = 100;
        // Extra directives inside the server block.
        std::string extraServerConfig;
    };

    static bool available(); // the nginx binary is installed
    // nullptr (with the reason in *error) when nginx cannot be started.
    static std::unique_ptr<NginxServer> start(const Options& options, std::string* error = nullptr);
    ~NginxServer();

    int port() const { return port_; }
    // "http://127.0.0.1:<port>" or "https://..."
    std::string baseUrl() const;
    // The document root; tests write files there.
    std::string rootDirectory() const { return dir_ + "/html"; }
    std::string errorLog() const { return dir_ + "/error.log"; }
    // Writes a file under the document root (folders made as needed).
    bool writeFile(const std::string& relativePath, const std::string& contents) const;

private:
    NginxServer() = default;
    std::string dir_;
    int port_ = 0;
    bool tls_ = false;
    pid_t pid_ = -1;
};

} // namespace testsupport
