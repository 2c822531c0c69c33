#pragma once

#include "foundation/http/HTTPRequest.h"
#include "platform/os/RunLoop.h"
#include "tests/support/TestHttpServer.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace http_test {

// Records what a request reports, in order, and whether each report arrived
// on the main thread.
class RecordingDelegate : public foundation::HTTPRequestDelegate {
public:
    RecordingDelegate();
    std::vector<std::string> events;
    bool offMainThread = false;
    platform::Bytes receivedData;
    std::vector<std::string> redirects;

private:
    void note(const std::string& event);
};

// Starts the request on the shared queue and pumps the main loop until it
// reports finish or failure (or the time runs out). True when it reported.
bool runRequest(const std::shared_ptr<foundation::HTTPRequest>& request, double timeoutSeconds = 10);

// Pumps the main loop for a while (to let stray callbacks show up).
void pumpMainLoop(double seconds);

std::string bodyText(const std::shared_ptr<foundation::HTTPRequest>& request);

} // namespace http_test
