#pragma once

#include "foundation/http/FileDescriptor.h"
#include "platform/os/RunLoop.h"
#include "platform/os/Timer.h"
#include "platform/os/Url.h"
#include "platform/os/Value.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace foundation {

class HTTPRequest;
class HTTPRequestDelegate;

// Fetches the proxy auto-configuration script a request waits for: a local
// file read in pieces without blocking the request's loop (given up after the
// request's time-out), or an http(s) address fetched through the engine, with
// the shared queue widened by one so that the fetch never waits behind the
// requests it holds up. The answer comes once, on the request's loop, unless
// the fetch is stopped first.
class PacScriptFetch : public std::enable_shared_from_this<PacScriptFetch> {
public:
    // The script's text; nullopt when there is none to be had.
    using Done = std::function<void(const std::optional<std::string>& script)>;

    // Null when the address is neither a file that opens nor http(s): there
    // is no script. A small file may be answered before this returns.
    static std::shared_ptr<PacScriptFetch> start(
        const platform::Url& url, double timeOutSeconds, platform::RunLoop& loop, std::string mode, Done done);
    // The synchronous fetch of an http(s) script, for a synchronous request.
    static std::optional<std::string> fetchSynchronously(const platform::Url& url, double timeOutSeconds);
    // Nothing is answered afterwards; the queue gets its width back.
    void stop();
    ~PacScriptFetch();

private:
    PacScriptFetch(platform::RunLoop& loop, std::string mode, Done done);
    static std::shared_ptr<HTTPRequest> scriptRequest(const platform::Url& url, double timeOutSeconds);
    bool startReading(const std::string& path, double timeOutSeconds);
    void readChunk();
    void startFetching(const platform::Url& url, double timeOutSeconds);
    void finishFetch(const std::shared_ptr<HTTPRequest>& fetch);
    void finish(const std::optional<std::string>& script);
    void stopReading();

    platform::RunLoop& loop_;
    std::string mode_;
    Done done_;
    // A file being read.
    FileDescriptor fd_;
    platform::Bytes data_;
    std::shared_ptr<platform::Timer> readTimer_;
    std::shared_ptr<platform::Timer> timeoutTimer_;
    // An address being fetched.
    std::shared_ptr<HTTPRequest> request_;
    std::shared_ptr<HTTPRequestDelegate> delegate_;
    bool widenedQueue_ = false;
};

} // namespace foundation
