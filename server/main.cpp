// orb-standin: the stand-in platform server for the demo run.
#include "platform/os/Error.h"
#include "server/StandinServer.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <string>

namespace {

const char* const kUsage = "usage: orb-standin [--port N] [--data DIR] [--log FILE] [--seed-only]\n"
                           "                   [--deliver-every SECONDS]\n"
                           "\n"
                           "Serves the demo school on http://127.0.0.1:N/ (default 8090; 0 picks a free port)\n"
                           "until SIGINT, SIGTERM or SIGHUP. DIR (default ./standin-data) holds standin.db, created\n"
                           "and seeded on first start, and the uploaded files. --log appends each request as a\n"
                           "JSON line (passwords masked). --seed-only creates the data and exits. --deliver-every\n"
                           "makes the demo parent 张伟 send the demo teacher 李建国 a short message every SECONDS\n"
                           "(a decimal number above zero), which the teacher's client receives on its next poll.\n"
                           "\n"
                           "Demo sign-ins (account / password):\n"
                           "  13800000001 / teacher123   李建国, teacher of 三年级(1)班 and (2)班, click-to-dial on\n"
                           "  13800000004 / teacher123   陈静, maths teacher\n"
                           "  13800000002 / parent123    张伟, parent of 张小明 (one account)\n"
                           "  13800000003 / parent123    王芳, parent of 王子涵 and 王子轩 (two accounts)\n"
                           "  13800000006 / student123   张小明, student\n";

bool parsePort(const char* text, int& port)
{
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (!text[0] || *end || value < 0 || value > 65535)
        return false;
    port = static_cast<int>(value);
    return true;
}

bool parseSeconds(const char* text, double& seconds)
{
    char* end = nullptr;
    double value = std::strtod(text, &end);
    if (!text[0] || *end || !(value > 0) || value > 86400.0)
        return false;
    seconds = value;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    server::ServerOptions options;
    options.port = 8090;
    options.dataDirectory = "standin-data";
    bool seedOnly = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--port" && hasValue) {
            if (!parsePort(argv[++i], options.port)) {
                std::fprintf(stderr, "orb-standin: bad port %s\n", argv[i]);
                return 2;
            }
        } else if (arg == "--data" && hasValue) {
            options.dataDirectory = argv[++i];
        } else if (arg == "--log" && hasValue) {
            options.logFile = argv[++i];
        } else if (arg == "--deliver-every" && hasValue) {
            if (!parseSeconds(argv[++i], options.deliverEverySeconds)) {
                std::fprintf(stderr, "orb-standin: bad interval %s\n", argv[i]);
                return 2;
            }
        } else if (arg == "--seed-only") {
            seedOnly = true;
        } else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }

    platform::Error error;
    if (seedOnly) {
        if (!server::StandinServer::seed(options.dataDirectory, &error)) {
            std::fprintf(stderr, "orb-standin: %s\n", error.localizedDescription().c_str());
            return 1;
        }
        std::printf("seeded %s/%s\n", options.dataDirectory.c_str(), server::StandinServer::kDataFileName);
        return 0;
    }

    // The signals are taken by sigwait below; block them before any thread
    // starts so that every server thread inherits the mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    // A closed terminal ends the server as a termination request does.
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    server::StandinServer standin(options);
    if (!standin.start(&error)) {
        std::fprintf(stderr, "orb-standin: %s\n", error.localizedDescription().c_str());
        return 1;
    }
    std::printf("listening on %s\n", standin.baseUrl().c_str());
    std::fflush(stdout);

    int received = 0;
    sigwait(&signals, &received);
    standin.stop();
    const char* name = received == SIGINT ? "SIGINT" : received == SIGHUP ? "SIGHUP" : "SIGTERM";
    std::fprintf(stderr, "orb-standin: stopped (%s)\n", name);
    return 0;
}
