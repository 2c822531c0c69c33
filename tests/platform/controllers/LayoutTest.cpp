#include "tests/platform/controllers/ControllerTestSupport.h"

#include "platform/os/ClassRegistry.h"
#include "platform/os/Log.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIKitRegistration.h"
#include "platform/uikit/UILabel.h"

namespace {

std::vector<std::string> awakeOrder;

// A view class of the program's own that wants to hear its layout is complete.
class BadgeView : public UIView, public platform::LayoutBindable {
public:
    std::string className() const override { return "BadgeView"; }
    void awakeFromNib() override
    {
        awakeOrder.push_back("BadgeView:" + outletName());
        // Outlets are connected before anyone awakes: the label is already here.
        labelWasThere = !subviews().empty();
    }
    bool labelWasThere = false;
};

class LoginScreen : public UIViewController {
public:
    std::string className() const override { return "LoginScreen"; }
    void declareLayoutBindings(platform::LayoutBindings& bindings) override
    {
        UIViewController::declareLayoutBindings(bindings);
        bindings.outlet("contentView", contentView);
        bindings.outlet("lblTitle", lblTitle);
        bindings.outlet("btnLogin", btnLogin);
        bindings.outlet("badge", badge);
        bindings.action("btnLoginTouchUpInside:", &LoginScreen::btnLoginTouchUpInside);
    }
    void awakeFromNib() override { awakeOrder.push_back("LoginScreen"); }
    void viewDidLoad() override { labelAtLoad = lblTitle ? lblTitle->text() : "none"; }
    void btnLoginTouchUpInside(UIButton* sender) { taps.push_back(sender ? sender->currentTitle() : "?"); }

    std::shared_ptr<UIView> contentView;
    std::shared_ptr<UILabel> lblTitle;
    std::weak_ptr<UIButton> btnLogin;
    std::shared_ptr<BadgeView> badge;
    std::string labelAtLoad;
    std::vector<std::string> taps;
};

const char* kLoginLayout = R"([
  { "class": "UIView", "outlet": "view", "frame": [0, 0, 320, 568], "backgroundColor": "#FFFFFF",
    "subviews": [
      { "class": "UIView", "outlet": "contentView", "frame": [0, 64, 320, 300], "tag": 7,
        "subviews": [
          { "class": "UILabel", "outlet": "lblTitle", "frame": [10, 10, 300, 20], "text": "Sign in",
            "font": { "size": 15, "bold": true }, "textColor": "#336699", "textAlignment": "center" },
          { "class": "UIButton", "outlet": "btnLogin", "frame": [10, 100, 300, 44],
            "title": { "normal": "Log in", "highlighted": "Logging" }, "titleColor": "white",
            "backgroundColor": [0.2, 0.6, 0.2],
            "actions": { "touchUpInside": "btnLoginTouchUpInside:" } },
          { "class": "BadgeView", "outlet": "badge", "frame": [280, 0, 30, 30],
            "subviews": [ { "class": "UILabel", "text": "3" } ] }
        ] }
    ] }
])";

class LayoutTest : public UIKitFixture {
protected:
    void SetUp() override
    {
        UIKitFixture::SetUp();
        platform::registerUIKitClasses();
        platform::registerLayoutProperties();
        platform::ClassRegistry::shared().registerClass<BadgeView>("BadgeView");
        platform::ClassRegistry::shared().registerClass<LoginScreen>("LoginScreen");
        awakeOrder.clear();
        platform::LayoutLoader::addOverrideDirectory(tempDir());
    }
    void TearDown() override
    {
        platform::ClassRegistry::shared().unregisterClass("BadgeView");
        platform::ClassRegistry::shared().unregisterClass("LoginScreen");
        UIKitFixture::TearDown();
    }
};

TEST_F(LayoutTest, NestedViewsOutletsAndActionsBindAndAwakeInOrder)
{
    writeFile(tempDir() + "/LoginScreen.json", kLoginLayout);
    auto screen = platform::ClassRegistry::shared().createAs<LoginScreen>("LoginScreen");
    ASSERT_TRUE(screen);
    UIViewController::setRootViewControllerOf(window, screen);

    ASSERT_TRUE(screen->contentView && screen->lblTitle && screen->btnLogin.lock() && screen->badge);
    EXPECT_EQ(screen->view()->subviews().front(), screen->contentView);
    EXPECT_EQ(screen->contentView->tag(), 7);
    EXPECT_EQ(screen->contentView->frame(), platform::Rect(0, 64, 320, 300));
    EXPECT_EQ(screen->lblTitle->superview(), screen->contentView);
    EXPECT_EQ(screen->lblTitle->font().pointSize, 15);
    EXPECT_TRUE(screen->lblTitle->font().bold);
    EXPECT_EQ(screen->lblTitle->textColor(), platform::Color(0x33 / 255.0, 0x66 / 255.0, 0x99 / 255.0));
    EXPECT_EQ(screen->lblTitle->textAlignment(), NSTextAlignmentCenter);
    EXPECT_EQ(screen->labelAtLoad, "Sign in") << "outlets are set before viewDidLoad";
    EXPECT_EQ(awakeOrder, (std::vector<std::string> { "BadgeView:badge" }));
    EXPECT_TRUE(screen->badge->labelWasThere);

    auto button = screen->btnLogin.lock();
    EXPECT_EQ(button->titleForState(UIControlStateHighlighted), "Logging");
    tapView(button);
    EXPECT_EQ(screen->taps, (std::vector<std::string> { "Log in" }));
    // The action holds the screen weakly: the button does not keep it alive.
    std::weak_ptr<LoginScreen> weakScreen = screen;
    UIViewController::setRootViewControllerOf(window, nullptr);
    screen.reset();
    EXPECT_TRUE(weakScreen.expired());
    button->sendActionsForControlEvents(UIControlEventTouchUpInside);
}

TEST_F(LayoutTest, OwnerlessLoadReturnsFirstAndLastTopLevelObjectsAndAwakesOwnersInOrder)
{
    writeFile(tempDir() + "/Pair.json", R"([
        { "class": "BadgeView", "outlet": "first" }, { "class": "UILabel", "text": "middle" },
        { "class": "BadgeView", "outlet": "last" }])");
    auto objects = platform::LayoutLoader::loadNamed("Pair", nullptr);
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_EQ(awakeOrder, (std::vector<std::string> { "BadgeView:first", "BadgeView:last" }));
    auto last = std::dynamic_pointer_cast<UIView>(platform::LayoutLoader::lastTopLevelObject("Pair", nullptr));
    ASSERT_TRUE(last);
    EXPECT_EQ(last->outletName(), "last");
    auto first = std::dynamic_pointer_cast<UIView>(platform::LayoutLoader::firstTopLevelObject("Pair", nullptr));
    EXPECT_EQ(first->outletName(), "first");
}

TEST_F(LayoutTest, ATestsOwnLayoutReplacesTheResourceOne)
{
    std::string resources = tempDir() + "/resources";
    platform::FileUtil::createDirectory(resources);
    platform::FileUtil::createDirectory(resources + "/layouts");
    platform::AppPaths::setResourcesDirectory(resources);
    writeFile(resources + "/layouts/Card.json", R"([{ "class": "UILabel", "text": "shipped" }])");
    std::string mine = tempDir() + "/mine";
    platform::FileUtil::createDirectory(mine);
    writeFile(mine + "/Card.json", R"([{ "class": "UILabel", "text": "from the test" }])");

    auto shipped = std::dynamic_pointer_cast<UILabel>(platform::LayoutLoader::firstTopLevelObject("Card", nullptr));
    ASSERT_TRUE(shipped);
    EXPECT_EQ(shipped->text(), "shipped");
    platform::LayoutLoader::addOverrideDirectory(mine);
    auto replaced = std::dynamic_pointer_cast<UILabel>(platform::LayoutLoader::firstTopLevelObject("Card", nullptr));
    ASSERT_TRUE(replaced);
    EXPECT_EQ(replaced->text(), "from the test");
    platform::AppPaths::resetResourcesDirectory();
}

TEST_F(LayoutTest, MissingLayoutGivesAnEmptyViewAndALogLine)
{
    platform::LogCapture capture;
    auto named = std::make_shared<UIViewController>("NoSuchLayout");
    UIViewController::setRootViewControllerOf(window, named);
    EXPECT_TRUE(named->view()->subviews().empty());
    EXPECT_EQ(named->view()->frame(), window->bounds());
    EXPECT_TRUE(capture.contains("NoSuchLayout not found"));

    // Plain init with no file of the class's name: an empty view, quietly.
    capture.clear();
    auto plain = std::make_shared<UIViewController>();
    EXPECT_TRUE(plain->view()->subviews().empty());
    EXPECT_FALSE(capture.contains("not found"));
    EXPECT_TRUE(platform::LayoutLoader::loadNamed("../etc/passwd", nullptr).empty());
}

TEST_F(LayoutTest, BadInputLoadsWhatItCanAndSaysWhatItSkipped)
{
    platform::LogCapture capture;
    EXPECT_TRUE(platform::LayoutLoader::loadFromText("{ not json", nullptr).empty());
    EXPECT_TRUE(capture.contains("not valid JSON"));
    EXPECT_TRUE(platform::LayoutLoader::loadFromText(R"({"x": 1})", nullptr).empty());

    auto objects = platform::LayoutLoader::loadFromText(R"([
        { "class": "NoSuchView", "subviews": [ { "class": "UILabel" } ] },
        "a string",
        { "frame": [0, 0, 1, 1] },
        { "class": "UILabel", "text": 42, "frame": [1, 2], "colour": "red", "textColor": "#12345",
          "outlet": "nobodyHasThis", "actions": { "touchUpInside": "x:" } }
    ])", nullptr);
    ASSERT_EQ(objects.size(), 1u);
    auto label = std::dynamic_pointer_cast<UILabel>(objects[0]);
    ASSERT_TRUE(label);
    EXPECT_EQ(label->text(), "");
    EXPECT_EQ(label->frame(), platform::Rect());
    EXPECT_TRUE(capture.contains("unknown class \"NoSuchView\""));
    EXPECT_TRUE(capture.contains("bad value for UILabel.text"));
    EXPECT_TRUE(capture.contains("bad value for UILabel.textColor"));
    EXPECT_TRUE(capture.contains("has no property \"colour\""));
    EXPECT_TRUE(capture.contains("outlet \"nobodyHasThis\""));
    EXPECT_TRUE(capture.contains("action touchUpInside on UILabel was skipped"));
}

TEST_F(LayoutTest, AnIntegerPropertyOutOfItsRangeIsABadValueNotACast)
{
    // Casting -1 or 1e10 to the property's integer type is undefined
    // behaviour (the sanitizer build checks float-cast-overflow): such a
    // value is refused and named, and the property keeps what it had.
    platform::LogCapture capture;
    auto objects = platform::LayoutLoader::loadFromText(R"([
        { "class": "UILabel", "autoresizingMask": -1, "numberOfLines": 1e10 },
        { "class": "UILabel", "autoresizingMask": 4294967296, "numberOfLines": -3000000000 },
        { "class": "UILabel", "autoresizingMask": 1.5, "numberOfLines": 2.5 },
        { "class": "UILabel", "autoresizingMask": 18, "numberOfLines": 3 }
    ])", nullptr);
    ASSERT_EQ(objects.size(), 4u);
    for (std::size_t i = 0; i < 3; ++i) {
        auto label = std::dynamic_pointer_cast<UILabel>(objects[i]);
        ASSERT_TRUE(label);
        EXPECT_EQ(label->autoresizingMask(), 0u) << i;
        EXPECT_EQ(label->numberOfLines(), 1) << i;
    }
    auto good = std::dynamic_pointer_cast<UILabel>(objects[3]);
    ASSERT_TRUE(good);
    EXPECT_EQ(good->autoresizingMask(), 18u);
    EXPECT_EQ(good->numberOfLines(), 3);
    EXPECT_TRUE(capture.contains("bad value for UILabel.autoresizingMask"));
    EXPECT_TRUE(capture.contains("bad value for UILabel.numberOfLines"));
}

TEST_F(LayoutTest, AnOutletOfTheWrongClassIsNotBound)
{
    writeFile(tempDir() + "/LoginScreen.json", R"([{ "class": "UIView", "outlet": "view",
        "subviews": [ { "class": "UIView", "outlet": "lblTitle" } ] }])");
    platform::LogCapture capture;
    auto screen = std::make_shared<LoginScreen>();
    screen->view();
    EXPECT_EQ(screen->lblTitle, nullptr);
    EXPECT_TRUE(capture.contains("outlet \"lblTitle\" is not connected"));
}

} // namespace
