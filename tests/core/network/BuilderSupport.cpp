#include "tests/core/network/BuilderSupport.h"

#include "platform/os/RunLoop.h"

using foundation::HTTPRequestPtr;

namespace dispatchertest {

void BuilderDelegate::didFinish(const HTTPRequestPtr& request)
{
    ++outcome.finished;
    outcome.request = request;
}

void BuilderDelegate::didFail(const HTTPRequestPtr& request)
{
    ++outcome.failed;
    outcome.request = request;
    outcome.error = request->error();
}

BuilderOutcome BuilderTest::run(
    const std::function<core::ORBBuilderRequest(BuilderDelegate&)>& build, double waitSeconds)
{
    auto delegate = std::make_shared<BuilderDelegate>();
    auto request = build(*delegate);
    EXPECT_TRUE(request);
    if (!request)
        return {};
    request->startAsynchronous();
    auto& loop = platform::RunLoop::main();
    loop.runUntil([&] { return delegate->outcome.finished + delegate->outcome.failed > 0; }, waitSeconds);
    // A second report, if there were one, would come right behind the first.
    loop.runUntil([] { return false; }, 0.05);
    return delegate->outcome;
}

std::vector<std::string> keysInOrder(const platform::Value& object)
{
    std::vector<std::string> keys;
    if (const auto* dictionary = object.asDictionary()) {
        for (const auto& entry : *dictionary)
            keys.push_back(entry.first);
    }
    return keys;
}

} // namespace dispatchertest
