#pragma once

#include "circle/feed/HomeSchoolCircleViewController.h"
#include "server/ReplyGate.h"
#include "tests/support/app/SignedInScreen.h"

#include <memory>
#include <string>

namespace circletest {

// A post written straight into the stand-in server's data file.
struct NewPost {
    long long sender = 2001;
    int pubType = 101;
    std::string content = "新的动态";
    int images = 0;
    int praise = 0;
};

// The circle's screen tests: the client signed in through the screens.
class CircleScreenTest : public testsupport::SignedInScreenTest {
protected:
    // Adds the post to the server's data; answers its id (0 on failure).
    long long addPost(const NewPost& post);
    // The feed on the second tab, shown and with its first page handled.
    std::shared_ptr<circle::HomeSchoolCircleViewController> openFeed();
    // Requests the server has seen on that route, oldest first.
    std::size_t routeCount(const std::string& route) const;
    // Waits until the server has answered that many requests on the route.
    bool waitForRoute(const std::string& route, std::size_t count);
    // The next request on the route is held until the gate returned opens.
    std::shared_ptr<server::ReplyGate> holdRoute(const std::string& route);
    // The query value of the n-th (from 0) request on the route.
    std::string routeQuery(const std::string& route, std::size_t n, const std::string& name) const;
    // Lets the loop run until the predicate holds.
    bool until(const std::function<bool()>& predicate);
};

inline constexpr const char* kFeedRoute = "webapp/jxq/weibo";
inline constexpr const char* kPraiseRoute = "webapp/jxq/praise";

} // namespace circletest
