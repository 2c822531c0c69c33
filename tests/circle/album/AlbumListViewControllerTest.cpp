// The class-album page on the browser engine, under an X server of the
// test's own: the album list drawn from the stand-in's albums, one album's
// photos as the second level, entered by the page and left with the back
// button; a photo opened large with its address's query kept, and with
// exactly the server's address whatever it holds (a space, Chinese, escaped
// "#", "?", "%" or "/", a ".." that must not change the host); the newest
// photos; the teacher's buttons and a parent's none; an album made and
// photos added, after which the page is loaded again, once, at its first
// level, showing them; and the error page, whose text is never markup.
#include "app/main/ORBViewController.h"
#include "circle/album/AlbumListViewController.h"
#include "circle/album/BrowseBigPhoto.h"
#include "circle/album/CreateAlbumViewController.h"
#include "circle/album/UploadAlbumViewController.h"
#include "core/session/ORBEndpoints.h"
#include "foundation/sqlite/SQLDatabase.h"
#include "platform/os/ClassRegistry.h"
#include "platform/os/FileUtil.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIPickerView.h"
#include "platform/uikit/UISegmentedControl.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/WebEngine.h"
#include "server/StandinServer.h"
#include "server/StaticMedia.h"
#include "tests/circle/album/AlbumScreenTest.h"
#include "tests/support/EngineDisplay.h"
#include "tests/support/TestHttpServer.h"
#include "tests/support/XvfbDisplay.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/uikit/UIKitDriver.h"
#include "ui/controls/ScaleButton.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace circletest;
using circle::AlbumListViewController;
using circle::BrowseBigPhoto;
using server::ScriptedReply;

namespace {

[[maybe_unused]] auto* const kDisplay = testsupport::addEngineDisplay();

constexpr const char* kAlbumsRoute = "webapp/photoAlbum/albums";
constexpr const char* kParent = "13800000002";

class AlbumPageTest : public AlbumScreenTest {
protected:
    std::shared_ptr<AlbumListViewController> openAlbums()
    {
        auto screen = std::dynamic_pointer_cast<AlbumListViewController>(
            platform::ClassRegistry::shared().createAs<UIViewController>("AlbumListViewController"));
        if (!screen)
            return nullptr;
        open(screen, ORBViewController::kGridTab);
        if (!showsText(screen, "春游活动"))
            return nullptr;
        return screen;
    }
    bool showsText(const std::shared_ptr<AlbumListViewController>& screen, const std::string& text)
    {
        return until([&] { return screen->webView()->documentText().find(text) != std::string::npos; });
    }
    std::string evaluate(const std::shared_ptr<AlbumListViewController>& screen, const std::string& script)
    {
        return screen->webView()->stringByEvaluatingJavaScriptFromString(script);
    }
    // A click on the page's element, as a finger on it would.
    void click(const std::shared_ptr<AlbumListViewController>& screen, const std::string& selector)
    {
        EXPECT_EQ(evaluate(screen, "(function(){var e=document.querySelector('" + selector
                                       + "'); if(!e) return 'none'; e.click(); return 'ok';})()"),
            "ok")
            << selector;
    }
    void drawn(const std::shared_ptr<AlbumListViewController>& screen, const std::string& name)
    {
        // Pictures arrive after the text: let them come before the picture is taken.
        until([&] {
            return evaluate(screen, "Array.prototype.every.call(document.images, function(i){return i.complete;})")
                == "true";
        });
        EXPECT_TRUE(screen->webView()->updateDrawing());
        EXPECT_FALSE(harness().render(name).empty());
    }
    std::shared_ptr<BrowseBigPhoto> bigPhoto()
    {
        until([&] { return std::dynamic_pointer_cast<BrowseBigPhoto>(harness().topScreen()) != nullptr; });
        testsupport::settle(harness());
        return std::dynamic_pointer_cast<BrowseBigPhoto>(harness().topScreen());
    }
    // The bar's title and right item as the person sees them, found by their outlets.
    static bool titleIs(const std::shared_ptr<AlbumListViewController>& screen, const std::string& outlet)
    {
        return screen->titleView() && screen->titleView()->outletName() == outlet;
    }
    static bool rightItemIs(const std::shared_ptr<AlbumListViewController>& screen, const std::string& outlet)
    {
        return screen->rightItem() && screen->rightItem()->outletName() == outlet;
    }
    static std::shared_ptr<UISegmentedControl> segments(const std::shared_ptr<AlbumListViewController>& screen)
    {
        return testsupport::findOutlet<UISegmentedControl>(screen->titleView(), "segmentedControl");
    }
    static std::shared_ptr<UILabel> titleLabel(const std::shared_ptr<AlbumListViewController>& screen)
    {
        return testsupport::findOutlet<UILabel>(screen->titleView(), "titleLbl");
    }
    static std::shared_ptr<ScaleButton> rightButton(const std::shared_ptr<AlbumListViewController>& screen)
    {
        return testsupport::findOutlet<ScaleButton>(screen->rightItem(), "rightItemBtn");
    }
    // A picture the stand-in keeps as an upload under that name, served at
    // "mobile2/pull/files/weibopic/<name>" (escaped).
    void keepUpload(const std::string& name, const std::string& bytes)
    {
        std::string folder = platform::FileUtil::joinPath(harness().server()->uploadDirectory(), "weibopic");
        ASSERT_TRUE(platform::FileUtil::createDirectory(folder));
        ASSERT_TRUE(platform::FileUtil::write(platform::FileUtil::joinPath(folder, name), bytes));
        auto db = foundation::SQLDatabase::databaseWithPath(harness().server()->dataFilePath());
        ASSERT_TRUE(db->open());
        EXPECT_TRUE(db->executeUpdate("INSERT INTO upload (kind, user_id, account_type, original_name, stored_name, "
                                      "content_type, size, created) VALUES ('weibopic', 2001, 1, ?, ?, 'image/jpeg', ?, "
                                      "datetime('now', 'localtime'))",
            platform::Array { name, name, static_cast<long long>(bytes.size()) }));
        db->close();
    }
    // A new album of the teacher's first class holding photos at those
    // addresses, the first the oldest.
    void addAlbum(const std::string& name, const std::vector<std::string>& addresses)
    {
        auto db = foundation::SQLDatabase::databaseWithPath(harness().server()->dataFilePath());
        ASSERT_TRUE(db->open());
        ASSERT_TRUE(db->executeUpdate("INSERT INTO album (class_id, name, creator_id, created) "
                                      "VALUES (101, ?, 2001, datetime('now', 'localtime'))",
            platform::Array { name }));
        long long id = db->lastInsertRowId();
        for (const auto& address : addresses)
            EXPECT_TRUE(db->executeUpdate("INSERT INTO album_photo (album_id, url, created) "
                                          "VALUES (?, ?, datetime('now', 'localtime'))",
                platform::Array { id, address }));
        db->close();
    }
    // The stand-in's requests for that raw target.
    std::size_t standinAsked(const std::string& target)
    {
        std::size_t count = 0;
        for (const auto& request : harness().server()->requests().all())
            count += request.target == target;
        return count;
    }
    void chooseSegment(const std::shared_ptr<AlbumListViewController>& screen, long index)
    {
        auto control = segments(screen);
        ASSERT_TRUE(control);
        auto bounds = control->bounds();
        auto point = control->convertPointToView(
            platform::Point(bounds.width() * (index + 0.5) / 2, bounds.height() / 2), nullptr);
        EXPECT_EQ(testsupport::tapAtPoint(point), control);
    }
};

TEST_F(AlbumPageTest, TheAlbumListIsDrawnAndAnAlbumOpensAsTheSecondLevel)
{
    signIn();
    auto screen = openAlbums();
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->title(), "班级相册");
    EXPECT_TRUE(titleIs(screen, "segmentedControl"));
    EXPECT_EQ(segments(screen)->selectedSegmentIndex(), 0);
    EXPECT_TRUE(rightItemIs(screen, "createAlbum"));
    EXPECT_EQ(rightButton(screen)->currentTitle(), "新 建");
    // The page read the account from its script and asked for the account's albums.
    auto asked = harness().server()->requests().withRoute(kAlbumsRoute);
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked.back().queryValue("userId"), "2001");
    EXPECT_EQ(asked.back().queryValue("schoolId"), "1001");
    EXPECT_EQ(evaluate(screen, "document.querySelectorAll('.album').length"), "3");
    EXPECT_EQ(evaluate(screen, "document.querySelector('.album .count').textContent"), "3张");
    drawn(screen, "circle-albums-list.png");

    // The newest album first: its name, percent-escaped by the page, arrives as written.
    click(screen, ".album");
    ASSERT_TRUE(until([&] { return screen->isSubView(); }));
    EXPECT_EQ(titleLabel(screen)->text(), "六一儿童节");
    EXPECT_TRUE(titleIs(screen, "titleLbl"));
    EXPECT_TRUE(rightItemIs(screen, "uploadAlbum"));
    ASSERT_TRUE(showsText(screen, "共3张"));
    EXPECT_EQ(evaluate(screen, "document.querySelectorAll('#album .photo').length"), "3");
    EXPECT_EQ(harness().topScreen(), screen);
    drawn(screen, "circle-albums-album.png");

    // Back: the page's first level again, and the bar's; a second press closes.
    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnBack")));
    EXPECT_FALSE(screen->isSubView());
    EXPECT_EQ(evaluate(screen, "String(document.getElementById('album').hidden)"), "true");
    EXPECT_EQ(evaluate(screen, "String(document.getElementById('albums').hidden)"), "false");
    EXPECT_TRUE(titleIs(screen, "segmentedControl"));
    EXPECT_TRUE(rightItemIs(screen, "createAlbum"));
    EXPECT_EQ(harness().topScreen(), screen);
    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnBack")));
    testsupport::settle(harness());
    EXPECT_NE(harness().topScreen(), screen);
}

TEST_F(AlbumPageTest, APhotoOpensLargeWithItsAddressQueryKept)
{
    signIn();
    auto screen = openAlbums();
    ASSERT_TRUE(screen);
    click(screen, ".album");
    ASSERT_TRUE(showsText(screen, "共3张"));
    const std::string first = evaluate(screen, "document.querySelector('#album .photo img').src");
    ASSERT_FALSE(first.empty());
    click(screen, "#album .photo");
    auto photo = bigPhoto();
    ASSERT_TRUE(photo);
    EXPECT_EQ(photo->url(), first);
    EXPECT_EQ(photo->title(), "查看大图");
    ASSERT_TRUE(until([&] { return photo->imgPhoto()->image() != nullptr; }));
    harness().render("circle-albums-big-photo.png");
    ASSERT_TRUE(harness().tap(harness().viewByOutlet("leftItem")->subviews().front()));
    testsupport::settle(harness());
    ASSERT_EQ(harness().topScreen(), screen);

    // An address with a query: the query is the photo's, not the page's.
    const std::string withQuery = harness().serverBase() + "mobile2/pull/static/photos/photo-640x480.jpg?size=large&v=2";
    evaluate(screen, "window.location.href = '/browseBigPhoto/url:" + withQuery + "'; 'sent'");
    photo = bigPhoto();
    ASSERT_TRUE(photo);
    EXPECT_EQ(photo->url(), withQuery);
    ASSERT_TRUE(until([&] { return photo->imgPhoto()->image() != nullptr; }));
    EXPECT_EQ(photo->imgPhoto()->image()->size(), platform::Size(640, 480));
}

TEST_F(AlbumPageTest, APhotoOpensLargeWithExactlyTheServersAddress)
{
    signIn();
    auto jpeg = server::photoMedia("photo-640x480.jpg");
    ASSERT_TRUE(jpeg);
    // Pictures a teacher named, kept by the stand-in.
    for (const char* name : { "春游 1.jpg", "a#b.jpg", "a?b.jpg", "100%.jpg" })
        keepUpload(name, jpeg->body);
    // A server of its own for an address whose ".." must not take it elsewhere.
    testsupport::TestHttpServer own;
    ASSERT_TRUE(own.start());
    own.onPrefix("/",
        testsupport::TestHttpServer::reply(
            testsupport::TestResponse::make(200, jpeg->body, { { "Content-Type", "image/jpeg" } })));

    const std::string pull = harness().serverBase() + "mobile2/pull/";
    const std::string standin = "127.0.0.1:" + std::to_string(harness().server()->port());
    struct Case {
        std::string address; // as the server wrote it
        std::string target; // the request it must make, on its own host
        bool toOwnServer = false;
    };
    const std::vector<Case> cases = {
        { pull + "files/weibopic/春游 1.jpg", "/mobile2/pull/files/weibopic/%E6%98%A5%E6%B8%B8%201.jpg" },
        { pull + "files/weibopic/a%23b.jpg", "/mobile2/pull/files/weibopic/a%23b.jpg" },
        { pull + "files/weibopic/a%3Fb.jpg", "/mobile2/pull/files/weibopic/a%3Fb.jpg" },
        { pull + "files/weibopic/100%25.jpg", "/mobile2/pull/files/weibopic/100%25.jpg" },
        { pull + "files%2Fweibopic%2Fa%23b.jpg", "/mobile2/pull/files%2Fweibopic%2Fa%23b.jpg" },
        { own.baseUrl() + "/../" + standin + "/mobile2/pull/static/photos/photo-640x480.jpg",
            "/../" + standin + "/mobile2/pull/static/photos/photo-640x480.jpg", true },
    };
    std::vector<std::string> addresses;
    for (const auto& c : cases)
        addresses.push_back(c.address);
    addAlbum("名字古怪的照片", addresses);

    auto screen = openAlbums();
    ASSERT_TRUE(screen);
    EXPECT_EQ(evaluate(screen, "(function(){var a=Array.prototype.find.call(document.querySelectorAll('.album'),"
                               "function(e){return e.querySelector('.name').textContent==='名字古怪的照片';});"
                               "if(!a) return 'none'; a.click(); return 'ok';})()"),
        "ok");
    ASSERT_TRUE(showsText(screen, "共6张"));
    // What the page itself loaded is left behind: from here on, only the photo screen asks.
    ASSERT_TRUE(until([&] {
        return evaluate(screen, "Array.prototype.every.call(document.images, function(i){return i.complete;})") == "true";
    }));
    harness().server()->requests().clear();
    own.clearLog();
    // The newest photo first.
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[cases.size() - 1 - i];
        SCOPED_TRACE(c.address);
        EXPECT_EQ(evaluate(screen, "document.querySelectorAll('#album .photo')[" + std::to_string(i) + "].click(); 'ok'"),
            "ok");
        auto photo = bigPhoto();
        ASSERT_TRUE(photo);
        EXPECT_EQ(photo->url(), c.address);
        // The photo came from the place the address names.
        EXPECT_TRUE(until([&] { return photo->imgPhoto()->image() != nullptr; }));
        if (photo->imgPhoto()->image()) {
            EXPECT_EQ(photo->imgPhoto()->image()->size(), platform::Size(640, 480));
        }
        if (c.toOwnServer) {
            auto asked = own.requests();
            EXPECT_TRUE(std::any_of(asked.begin(), asked.end(), [&](auto& r) { return r.target == c.target; }));
        } else {
            EXPECT_GE(standinAsked(c.target), 1u);
        }
        ASSERT_TRUE(harness().tap(harness().viewByOutlet("leftItem")->subviews().front()));
        testsupport::settle(harness());
        ASSERT_EQ(harness().topScreen(), screen);
    }
}

TEST_F(AlbumPageTest, TheNewestPhotosPageAndTheButtonsOfEachRole)
{
    signIn();
    auto screen = openAlbums();
    ASSERT_TRUE(screen);
    chooseSegment(screen, 1);
    EXPECT_EQ(segments(screen)->selectedSegmentIndex(), 1);
    EXPECT_EQ(rightButton(screen)->currentTitle(), "传照片");
    EXPECT_EQ(screen->pageName(), "recentPhotos");
    ASSERT_TRUE(showsText(screen, "查看相册"));
    EXPECT_EQ(evaluate(screen, "document.querySelectorAll('.group').length"), "3");
    drawn(screen, "circle-albums-recent.png");
    // An album opened from the newest photos: its title, but no add-photos item.
    click(screen, ".group .more");
    ASSERT_TRUE(until([&] { return screen->isSubView(); }));
    EXPECT_TRUE(titleIs(screen, "titleLbl"));
    EXPECT_TRUE(rightItemIs(screen, "createAlbum"));
    // "传照片" opens the add-photos screen.
    ASSERT_TRUE(harness().tap(rightButton(screen)));
    testsupport::settle(harness());
    EXPECT_NE(std::dynamic_pointer_cast<circle::UploadAlbumViewController>(harness().topScreen()), nullptr);
}

TEST_F(AlbumPageTest, AParentHasNoButtonAtEitherLevel)
{
    signIn(kParent, testsupport::kDemoParentPassword);
    auto screen = std::dynamic_pointer_cast<AlbumListViewController>(
        platform::ClassRegistry::shared().createAs<UIViewController>("AlbumListViewController"));
    ASSERT_TRUE(screen);
    open(screen, ORBViewController::kGridTab);
    // The parent's child is in class 101: its two albums.
    ASSERT_TRUE(showsText(screen, "运动会"));
    EXPECT_EQ(evaluate(screen, "document.querySelectorAll('.album').length"), "2");
    EXPECT_EQ(screen->rightItem(), nullptr);
    click(screen, ".album");
    ASSERT_TRUE(until([&] { return screen->isSubView(); }));
    EXPECT_EQ(screen->rightItem(), nullptr);
    // Reached anyway, the actions do nothing for a parent.
    screen->createAlbum(nullptr);
    screen->uploadAlbum(nullptr);
    testsupport::settle(harness());
    EXPECT_EQ(harness().topScreen(), screen);
}

TEST_F(AlbumPageTest, AnAlbumMadeAndPhotosAddedShowOnThePageLoadedOnceAtItsFirstLevel)
{
    signIn();
    auto screen = openAlbums();
    ASSERT_TRUE(screen);

    // An album with two photos, made from the bar's "新 建".
    ASSERT_TRUE(harness().tap(rightButton(screen)));
    testsupport::settle(harness());
    auto create = std::dynamic_pointer_cast<circle::CreateAlbumViewController>(harness().topScreen());
    ASSERT_TRUE(create);
    ASSERT_TRUE(until([&] { return create->classId() == 101; }));
    testsupport::findOutlet<UITextField>(create->view(), "txtEdAlbumName")->setText("科技节");
    attachPhoto(platform::Color::orangeColor());
    attachPhoto(platform::Color::blueColor());
    std::size_t loads = routeCount(kAlbumsRoute);
    ASSERT_TRUE(harness().tap(outlet("btnSubmit")));
    ASSERT_TRUE(until([&] { return harness().notifications().count(circle::kCreateAlbumSuccessed) == 1; }));
    harness().advance(circle::CreateAlbumViewController::kCloseDelay);
    testsupport::settle(harness());
    ASSERT_EQ(harness().topScreen(), screen);
    ASSERT_TRUE(showsText(screen, "科技节"));
    EXPECT_EQ(evaluate(screen, "document.querySelector('.album .count').textContent"), "2张");

    // Photos added from an open album: the add screen is opened twice, the
    // page loaded again once, back at its first level with the bar to match.
    click(screen, ".album");
    ASSERT_TRUE(until([&] { return screen->isSubView(); }));
    ASSERT_TRUE(rightItemIs(screen, "uploadAlbum"));
    auto add = std::dynamic_pointer_cast<UIButton>(harness().viewByOutlet("uploadAlbumBtn"));
    ASSERT_TRUE(harness().tap(add));
    testsupport::settle(harness());
    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnBack")));
    testsupport::settle(harness());
    ASSERT_TRUE(harness().tap(add));
    testsupport::settle(harness());
    auto upload = std::dynamic_pointer_cast<circle::UploadAlbumViewController>(harness().topScreen());
    ASSERT_TRUE(upload);
    ASSERT_TRUE(until([&] { return !upload->allAlbumInfo().empty(); }));
    auto chooser = upload->pickerView();
    ASSERT_TRUE(harness().tap(chooser));
    ASSERT_TRUE(testsupport::spinPicker(chooser->currentPickerView(), 0)); // the newest: 科技节
    ASSERT_TRUE(harness().tapButton("完成"));
    attachPhoto(platform::Color::greenColor());
    loads = routeCount(kAlbumsRoute);
    ASSERT_TRUE(harness().tap(outlet("btnSubmit")));
    ASSERT_TRUE(waitForAnswer(core::ORBEndpoints::Cmd::kAddPhotos));
    ASSERT_TRUE(until([&] { return harness().notifications().count(circle::kUploadAlbumSuccessed) == 1; }));
    EXPECT_FALSE(screen->isSubView());
    EXPECT_TRUE(titleIs(screen, "segmentedControl"));
    EXPECT_TRUE(rightItemIs(screen, "createAlbum"));
    harness().advance(circle::UploadAlbumViewController::kCloseDelay);
    testsupport::settle(harness());
    ASSERT_EQ(harness().topScreen(), screen);
    ASSERT_TRUE(until([&] {
        return evaluate(screen, "(document.querySelector('.album .count')||{}).textContent") == "3张";
    }));
    ASSERT_TRUE(harness().waitForServerQuiet());
    EXPECT_EQ(routeCount(kAlbumsRoute), loads + 1);
    // The page is at its first level: back closes the screen.
    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnBack")));
    testsupport::settle(harness());
    EXPECT_NE(harness().topScreen(), screen);
}

// Each level's load that fails says so in the words of the app's other
// screens, never the browser's own ("Load failed", a JSON syntax error),
// and its button loads again.
TEST_F(AlbumPageTest, EachPagesFailuresAreToldInChinese)
{
    signIn();
    auto screen = openAlbums();
    ASSERT_TRUE(screen);
    auto shows = [&](const std::string& text) {
        const bool shown = showsText(screen, text);
        EXPECT_EQ(screen->webView()->documentText().find("Load failed"), std::string::npos);
        return shown;
    };
    // The server gone: the engine may try a reset connection again, so the
    // reset waits for every try and is cleared once told.
    auto gone = [&](const char* route) {
        harness().server()->script().forRoute(route, ScriptedReply::connectionReset(), 10);
    };

    // The newest photos.
    gone("webapp/photoAlbum/recent");
    chooseSegment(screen, 1);
    ASSERT_EQ(screen->pageName(), "recentPhotos");
    ASSERT_TRUE(shows("照片加载失败：服务连接出错，请重试")) << screen->webView()->documentText();
    harness().server()->script().clear();

    // The album list; its button asks again, answered with a list that is none.
    gone(kAlbumsRoute);
    chooseSegment(screen, 0);
    ASSERT_TRUE(shows("相册加载失败：服务连接出错，请重试")) << screen->webView()->documentText();
    drawn(screen, "circle-albums-failed.png");
    harness().server()->script().clear();
    harness().server()->script().forRoute(kAlbumsRoute,
        ScriptedReply::custom(200, R"({"resultState":1,"items":7})", "application/json; charset=UTF-8",
            { { "Access-Control-Allow-Origin", "*" } }));
    click(screen, "#albums .status button");
    ASSERT_TRUE(shows("相册加载失败：数据错误")) << screen->webView()->documentText();
    click(screen, "#albums .status button");
    ASSERT_TRUE(showsText(screen, "春游活动"));

    // One album's photos; its button asks again, answered with no JSON.
    gone("webapp/photoAlbum/photos");
    click(screen, ".album");
    ASSERT_TRUE(until([&] { return screen->isSubView(); }));
    ASSERT_TRUE(shows("照片加载失败：服务连接出错，请重试")) << screen->webView()->documentText();
    drawn(screen, "circle-albums-album-failed.png");
    harness().server()->script().clear();
    harness().server()->script().forRoute("webapp/photoAlbum/photos", ScriptedReply::invalidJson());
    click(screen, "#album .status button");
    ASSERT_TRUE(shows("照片加载失败：数据解析错误")) << screen->webView()->documentText();
}

TEST_F(AlbumPageTest, AFailedLoadShowsTheErrorPageWithItsTextAsText)
{
    EXPECT_EQ(AlbumListViewController::errorPage("<b>x</b> & 'y'"),
        "<html><center><font size=+5 color='red'>An error occurred:<br>&lt;b&gt;x&lt;/b&gt; &amp; &#39;y&#39;"
        "</font></center></html>");
    signIn();
    auto screen = openAlbums();
    ASSERT_TRUE(screen);
    std::string gone;
    {
        testsupport::TestHttpServer server;
        ASSERT_TRUE(server.start());
        gone = server.url("/%3Cimg%20src=x%20onerror=alert(1)%3E");
        server.stop();
    }
    auto request = NSURLRequest::requestWithURL(gone);
    ASSERT_TRUE(request);
    screen->webView()->loadRequest(*request);
    ASSERT_TRUE(showsText(screen, "An error occurred:"));
    // Loaded without a base: nothing of the resources can be reached from it.
    EXPECT_EQ(evaluate(screen, "String(document.baseURI)"), "about:blank");
    // Whatever the description says, it is shown as text: no element came of it.
    EXPECT_EQ(evaluate(screen, "String(document.querySelectorAll('img, script, b').length)"), "0");
    EXPECT_EQ(evaluate(screen, "String(document.querySelectorAll('font').length)"), "1");
    drawn(screen, "circle-albums-error.png");
}

} // namespace
