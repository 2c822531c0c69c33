#include "tests/support/NginxServer.h"

#include "tests/support/ProcessUtil.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <spawn.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace testsupport {

std::unique_ptr<TestCertificates> TestCertificates::generate(std::string* error)
{
    std::unique_ptr<TestCertificates> certs(new TestCertificates());
    certs->dir_ = makeTempDir("orb-certs");
    if (certs->dir_.empty()) {
        if (error)
            *error = "cannot make a temporary folder";
        return nullptr;
    }
    const std::string& d = certs->dir_;
    const std::string log = d + "/openssl.log";
    const std::vector<std::string> ecKey = { "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes" };
    auto withKey = [&](std::vector<std::string> args) {
        args.insert(args.begin() + 2, ecKey.begin(), ecKey.end());
        return args;
    };
    if (!runProcess(withKey({ "openssl", "req", "-x509", "-keyout", d + "/ca.key", "-out", d + "/ca.pem", "-days",
                        "3650", "-subj", "/CN=Orb Test CA", "-addext", "basicConstraints=critical,CA:TRUE", "-addext",
                        "keyUsage=critical,keyCertSign,cRLSign" }),
            log, error))
        return nullptr;

    struct Leaf {
        const char* name;
        const char* subject;
        const char* extensions;
        const char* days; // "-1": valid from now until yesterday, i.e. expired
    };
    const Leaf leaves[] = {
        { "valid", "/CN=127.0.0.1", "subjectAltName=IP:127.0.0.1,DNS:localhost\n", "30" },
        { "expired", "/CN=127.0.0.1", "subjectAltName=IP:127.0.0.1,DNS:localhost\n", "-1" },
        { "wronghost", "/CN=wrong.example", "subjectAltName=DNS:wrong.example\n", "30" },
        { "client", "/CN=Orb Test Client", "extendedKeyUsage=clientAuth\n", "30" },
    };
    for (const auto& leaf : leaves) {
        std::string base = d + "/" + leaf.name;
        if (!writeTextFile(base + ".ext", leaf.extensions)
            || !runProcess(
                withKey({ "openssl", "req", "-keyout", base + ".key", "-out", base + ".csr", "-subj", leaf.subject }),
                log, error)
            || !runProcess(
                { "openssl", "x509", "-req", "-in", base + ".csr", "-CA", d + "/ca.pem", "-CAkey", d + "/ca.key",
                    "-CAcreateserial", "-out", base + ".pem", "-days", leaf.days, "-extfile", base + ".ext" },
                log, error))
            return nullptr;
    }
    if (!runProcess(
            withKey({ "openssl", "req", "-x509", "-keyout", d + "/selfsigned.key", "-out", d + "/selfsigned.pem",
                "-days", "30", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost" }),
            log, error))
        return nullptr;
    if (!writeTextFile(d + "/client-identity.pem", readTextFile(d + "/client.pem") + readTextFile(d + "/client.key"))
        || !runProcess({ "openssl", "pkcs12", "-export", "-in", d + "/client.pem", "-inkey", d + "/client.key", "-out",
                           d + "/client.p12", "-passout", "pass:secret" },
            log, error))
        return nullptr;
    return certs;
}

TestCertificates::~TestCertificates()
{
    std::error_code ignored;
    if (!dir_.empty())
        std::filesystem::remove_all(dir_, ignored);
}

bool NginxServer::available() { return ::access("/usr/sbin/nginx", X_OK) == 0; }

std::unique_ptr<NginxServer> NginxServer::start(const Options& options, std::string* error)
{
    std::unique_ptr<NginxServer> server(new NginxServer());
    server->dir_ = makeTempDir("orb-nginx");
    if (server->dir_.empty()) {
        if (error)
            *error = "cannot make a temporary folder";
        return nullptr;
    }
    const std::string& d = server->dir_;
    std::filesystem::create_directories(d + "/html");
    std::filesystem::create_directories(d + "/tmp");
    server->tls_ = !options.certificateFile.empty();

    std::string userLine;
    if (::geteuid() == 0) {
        // As root nginx would hand its workers to "nobody", who cannot read our folder.
        passwd* user = ::getpwuid(::geteuid());
        group* grp = ::getgrgid(::getegid());
        if (user && grp)
            userLine = std::string("user ") + user->pw_name + " " + grp->gr_name + ";\n";
    }

    // A port taken between our probe and nginx's bind is retried with another.
    for (int attempt = 0; attempt < 3; ++attempt) {
        server->port_ = freeLoopbackPort();
        std::ostringstream conf;
        conf << userLine << "worker_processes 1;\n"
             << "daemon off;\n"
             << "pid " << d << "/nginx.pid;\n"
             << "error_log " << d << "/error.log info;\n"
             << "events { worker_connections 128; }\n"
             << "http {\n"
             << "  access_log " << d << "/access.log;\n"
             << "  client_body_temp_path " << d << "/tmp/body;\n"
             << "  proxy_temp_path " << d << "/tmp/proxy;\n"
             << "  fastcgi_temp_path " << d << "/tmp/fastcgi;\n"
             << "  uwsgi_temp_path " << d << "/tmp/uwsgi;\n"
             << "  scgi_temp_path " << d << "/tmp/scgi;\n"
             << "  types { text/plain txt; application/json json; text/html html; }\n"
             << "  default_type application/octet-stream;\n"
             << "  keepalive_timeout " << options.keepaliveTimeoutSeconds << ";\n"
             << "  keepalive_requests " << options.keepaliveRequests << ";\n";
        if (options.gzip)
            conf << "  gzip on;\n  gzip_min_length 1;\n  gzip_types text/plain application/json;\n";
        conf << "  server {\n"
             << "    listen 127.0.0.1:" << server->port_ << (server->tls_ ? " ssl" : "") << ";\n"
             << "    server_name localhost;\n"
             << "    root " << d << "/html;\n";
        if (server->tls_) {
            conf << "    ssl_certificate " << options.certificateFile << ";\n"
                 << "    ssl_certificate_key " << options.keyFile << ";\n";
            if (!options.clientCaFile.empty())
                conf << "    ssl_client_certificate " << options.clientCaFile << ";\n    ssl_verify_client on;\n";
        }
        conf << "    location / { }\n" << options.extraServerConfig << "\n  }\n}\n";
        if (!writeTextFile(d + "/nginx.conf", conf.str())) {
            if (error)
                *error = "cannot write the nginx configuration";
            return nullptr;
        }
        server->pid_ = spawnProcess(
            { "/usr/sbin/nginx", "-p", d, "-c", d + "/nginx.conf", "-e", d + "/error.log" }, d + "/stderr.log");
        if (server->pid_ < 0) {
            if (error)
                *error = "cannot start nginx";
            return nullptr;
        }
        if (waitUntilListening(server->port_, server->pid_, 5))
            return server;
        stopProcess(server->pid_);
        server->pid_ = -1;
        if (error)
            *error = "nginx did not start: " + readTextFile(d + "/stderr.log") + readTextFile(d + "/error.log");
    }
    return nullptr;
}

NginxServer::~NginxServer()
{
    stopProcess(pid_); // SIGTERM: nginx's fast shutdown
    std::error_code ignored;
    if (!dir_.empty())
        std::filesystem::remove_all(dir_, ignored);
}

std::string NginxServer::baseUrl() const
{
    return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_);
}

bool NginxServer::writeFile(const std::string& relativePath, const std::string& contents) const
{
    std::filesystem::path path = std::filesystem::path(rootDirectory()) / relativePath;
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    return writeTextFile(path.string(), contents);
}

} // namespace testsupport
