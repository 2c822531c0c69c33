#pragma once

#include "core/network/builders/ORBBuilderFrame.h"
#include "tests/core/network/DispatcherFixture.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dispatchertest {

// What a builder's request told its delegate.
struct BuilderOutcome {
    int finished = 0;
    int failed = 0;
    std::optional<platform::Error> error;
    std::shared_ptr<foundation::HTTPRequest> request;
};

// The delegate a screen would be: it answers the builder's success and
// failure selectors with methods of its own.
class BuilderDelegate final : public foundation::HTTPRequestDelegate,
                              public std::enable_shared_from_this<BuilderDelegate> {
public:
    std::weak_ptr<foundation::HTTPRequestDelegate> self() { return shared_from_this(); }
    foundation::RequestSelector success() const
    {
        return foundation::RequestSelector::method(&BuilderDelegate::didFinish);
    }
    foundation::RequestSelector fail() const { return foundation::RequestSelector::method(&BuilderDelegate::didFail); }

    void didFinish(const foundation::HTTPRequestPtr& request);
    void didFail(const foundation::HTTPRequestPtr& request);

    BuilderOutcome outcome;
};

class BuilderTest : public DispatcherTest {
protected:
    // Builds the request with a fresh delegate, starts it and runs the main
    // loop until the delegate has heard of it (at most waitSeconds).
    BuilderOutcome run(const std::function<core::ORBBuilderRequest(BuilderDelegate&)>& build, double waitSeconds = 10);
};

// A JSON object's keys in the order they were written.
std::vector<std::string> keysInOrder(const platform::Value& object);

} // namespace dispatchertest
