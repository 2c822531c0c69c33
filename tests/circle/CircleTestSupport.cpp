#include "tests/circle/CircleTestSupport.h"

#include "app/main/ORBViewController.h"
#include "foundation/sqlite/SQLDatabase.h"
#include "platform/uikit/UINavigationController.h"
#include "server/StandinServer.h"
#include "tests/support/app/ClientApp.h"

using foundation::SQLDatabase;

namespace circletest {


long long CircleScreenTest::addPost(const NewPost& post)
{
    auto db = SQLDatabase::databaseWithPath(harness().server()->dataFilePath());
    if (!db->open())
        return 0;
    if (!db->executeUpdate("INSERT INTO weibo (school_id, sender_id, pub_type, content, date_time, praise) "
                           "VALUES (1001, ?, ?, ?, datetime('now', 'localtime'), ?)",
            platform::Array { post.sender, post.pubType, post.content, post.praise }))
        return 0;
    long long id = db->lastInsertRowId();
    for (int i = 1; i <= post.images; ++i) {
        std::string name = "post-" + std::to_string(id) + "-" + std::to_string(i);
        db->executeUpdate("INSERT INTO weibo_image VALUES (?, ?, ?, ?)",
            platform::Array { id, i, "{base}static/img/" + name + ".png", "{base}static/img/" + name + "-thumb.png" });
    }
    db->close();
    return id;
}

std::shared_ptr<circle::HomeSchoolCircleViewController> CircleScreenTest::openFeed()
{
    auto main = testsupport::mainScreen();
    if (!main)
        return nullptr;
    main->switchToView(ORBViewController::kCircleTab);
    testsupport::settle(harness());
    auto navigation = main->viewControllers().at(ORBViewController::kCircleTab);
    auto feed = std::dynamic_pointer_cast<circle::HomeSchoolCircleViewController>(navigation->viewControllers().front());
    // The tab's screen may have asked for its first page before it was shown.
    if (!feed || !waitForRoute(kFeedRoute, 1))
        return nullptr;
    // The first page handled: the progress overlay goes with it.
    if (!until([&] { return feed->tableView()->numberOfRowsInSection(0) > 0; }))
        return nullptr;
    return feed;
}

std::size_t CircleScreenTest::routeCount(const std::string& route) const
{
    return harness().server()->requests().withRoute(route).size();
}

bool CircleScreenTest::waitForRoute(const std::string& route, std::size_t count)
{
    return harness().runUntil([&] {
        auto list = harness().server()->requests().withRoute(route);
        std::size_t done = 0;
        for (const auto& r : list)
            done += r.answered ? 1 : 0;
        return done >= count;
    });
}

std::shared_ptr<server::ReplyGate> CircleScreenTest::holdRoute(const std::string& route)
{
    auto gate = std::make_shared<server::ReplyGate>();
    harness().server()->script().forRoute(route, server::ScriptedReply::normal().heldBy(gate));
    return gate;
}

std::string CircleScreenTest::routeQuery(const std::string& route, std::size_t n, const std::string& name) const
{
    auto list = harness().server()->requests().withRoute(route);
    if (n >= list.size())
        return {};
    return list[n].queryValue(name).value_or("");
}

bool CircleScreenTest::until(const std::function<bool()>& predicate) { return harness().runUntil(predicate); }

} // namespace circletest
