#pragma once

#include "platform/os/Error.h"
#include "server/ReplyScript.h"
#include "server/RequestLog.h"

#include <memory>
#include <string>

namespace server {

struct ServerOptions {
    // Holds the data file "standin.db" and the uploaded files under "uploads/".
    // Created when missing; seeded with the demo school on first use.
    std::string dataDirectory;
    std::string host = "127.0.0.1";
    int port = 0; // 0: an ephemeral port, reported by port() once started
    // Each answered request is also appended here as one JSON line (passwords masked).
    std::string logFile;
    Compression addressBookCompression = Compression::Gzip;
    // How long an idle kept-alive connection is held; it also bounds stop().
    int keepAliveSeconds = 1;
    int workerThreads = 16;
    // Above zero: while the server runs, the demo parent sends the demo
    // teacher a short message this often (seconds), for the teacher's polls.
    double deliverEverySeconds = 0;
};

// The stand-in platform server: answers the client's commands
// ("mobile2/pull/combine/..."), queries ("mobile2/pull/webapp/..."), uploads
// and file fetches from the demo school, records every request, and bends
// its next replies as a test scripts them.
class StandinServer final {
public:
    explicit StandinServer(ServerOptions options);
    // Stops the server when it still runs.
    ~StandinServer();
    StandinServer(const StandinServer&) = delete;
    StandinServer& operator=(const StandinServer&) = delete;

    // Opens the data, binds and starts serving on a thread of its own. Once
    // per object. Ignores SIGPIPE for the process: a client that hangs up
    // must not end it.
    bool start(platform::Error* error = nullptr);
    // Stops accepting, wakes scripted delays and waits for the workers:
    // bounded by keepAliveSeconds plus the longest running answer.
    void stop();
    bool isRunning() const;

    int port() const;
    // "http://127.0.0.1:PORT/": the client's server base address.
    std::string baseUrl() const;
    std::string dataFilePath() const;
    std::string uploadDirectory() const;

    RequestLog& requests();
    ReplyScript& script();
    void setAddressBookCompression(Compression compression);

    // Puts a message from fromUserId into what toUserId's next poll returns
    // (and no one else's). Answers the new message id, or nothing when the
    // server has not opened its data, the recipient has no account or the
    // sender is nobody of the school.
    std::string deliverMessage(long long toUserId, long long fromUserId, const std::string& text,
        platform::Error* error = nullptr);
    // How many messages the deliverEverySeconds timer has put in so far.
    int timedDeliveries() const;

    static constexpr long long kDemoTeacherId = 2001; // 13800000001
    static constexpr long long kDemoParentId = 3001; // 13800000002

    // Creates and seeds the data file in the folder without serving. True
    // when the folder holds a usable data file afterwards.
    static bool seed(const std::string& dataDirectory, platform::Error* error = nullptr);

    static constexpr const char* kDataFileName = "standin.db";
    static constexpr const char* kUploadFolderName = "uploads";

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace server
