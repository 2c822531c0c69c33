#include "tests/platform/controllers/ControllerTestSupport.h"

#include "platform/graphics/Context.h"
#include "platform/graphics/Image.h"
#include "platform/os/ClassRegistry.h"
#include "platform/os/Log.h"
#include "platform/os/NotificationCenter.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UINavigationItem.h"
#include "platform/uikit/ViewRenderer.h"

namespace {

using Journal = std::vector<std::string>;

// Writes every life-cycle call into a shared journal as "<name>.<call>".
class RecordingController : public UIViewController {
public:
    RecordingController(std::string name, std::shared_ptr<Journal> journal)
        : name_(std::move(name))
        , journal_(std::move(journal))
    {
    }
    std::string className() const override { return "RecordingController"; }
    void viewDidLoad() override { note("viewDidLoad"); }
    void viewWillAppear(bool) override { note("viewWillAppear"); }
    void viewDidAppear(bool) override { note("viewDidAppear"); }
    void viewWillDisappear(bool) override { note("viewWillDisappear"); }
    void viewDidDisappear(bool) override { note("viewDidDisappear"); }

private:
    void note(const char* call) { journal_->push_back(name_ + "." + call); }
    std::string name_;
    std::shared_ptr<Journal> journal_;
};

class ControllerTest : public UIKitFixture {
protected:
    std::shared_ptr<RecordingController> make(const std::string& name)
    {
        return std::make_shared<RecordingController>(name, journal);
    }
    std::shared_ptr<Journal> journal = std::make_shared<Journal>();
};

TEST_F(ControllerTest, PushAndPopCallTheLifeCycleInThePlatformsOrder)
{
    auto a = make("A");
    auto nav = std::make_shared<UINavigationController>(a);
    UIViewController::setRootViewControllerOf(window, nav);
    EXPECT_EQ(*journal, (Journal { "A.viewDidLoad", "A.viewWillAppear", "A.viewDidAppear" }));
    EXPECT_EQ(a->navigationController(), nav);
    EXPECT_EQ(a->view()->window(), window);

    journal->clear();
    auto b = make("B");
    nav->pushViewController(b, true);
    EXPECT_EQ(*journal, (Journal { "B.viewDidLoad", "A.viewWillDisappear", "B.viewWillAppear" }));
    advance(UINavigationController::kTransitionDuration - 0.01);
    EXPECT_EQ(journal->size(), 3u) << "the did-calls wait for the transition";
    advance(0.02);
    EXPECT_EQ(*journal,
        (Journal { "B.viewDidLoad", "A.viewWillDisappear", "B.viewWillAppear", "A.viewDidDisappear", "B.viewDidAppear" }));
    EXPECT_EQ(a->view()->superview(), nullptr) << "the covered screen leaves the window";
    EXPECT_EQ(nav->topViewController(), b);
    EXPECT_EQ(nav->navigationBar()->backButtonTitle(), "返回");

    journal->clear();
    auto popped = nav->popViewControllerAnimated(false);
    EXPECT_EQ(popped, b);
    EXPECT_EQ(*journal,
        (Journal { "B.viewWillDisappear", "A.viewWillAppear", "B.viewDidDisappear", "A.viewDidAppear" }));
    EXPECT_EQ(b->navigationController(), nullptr);
    EXPECT_EQ(b->view()->superview(), nullptr);
    EXPECT_EQ(a->view()->superview(), nav->view());
}

TEST_F(ControllerTest, APushDuringAnAnimatedPushCompletesTheFirstOne)
{
    auto a = make("A");
    auto nav = std::make_shared<UINavigationController>(a);
    UIViewController::setRootViewControllerOf(window, nav);
    auto b = make("B");
    auto c = make("C");
    journal->clear();
    nav->pushViewController(b, true);
    nav->pushViewController(c, true);
    advance(1);
    EXPECT_EQ(*journal,
        (Journal { "B.viewDidLoad", "A.viewWillDisappear", "B.viewWillAppear", "A.viewDidDisappear",
            "B.viewDidAppear", "C.viewDidLoad", "B.viewWillDisappear", "C.viewWillAppear", "B.viewDidDisappear",
            "C.viewDidAppear" }));
    EXPECT_EQ(nav->viewControllers().size(), 3u);
}

TEST_F(ControllerTest, TheRootCannotBePoppedAndPopToRootReturnsThePopped)
{
    auto a = make("A");
    auto nav = std::make_shared<UINavigationController>(a);
    UIViewController::setRootViewControllerOf(window, nav);
    EXPECT_EQ(nav->popViewControllerAnimated(true), nullptr);
    EXPECT_TRUE(nav->popToRootViewControllerAnimated(false).empty());
    EXPECT_EQ(nav->viewControllers().size(), 1u);

    auto b = make("B");
    auto c = make("C");
    nav->pushViewController(b, false);
    nav->pushViewController(c, false);
    nav->pushViewController(b, false); // already in the stack: refused
    EXPECT_EQ(nav->viewControllers().size(), 3u);
    journal->clear();
    auto popped = nav->popToRootViewControllerAnimated(false);
    ASSERT_EQ(popped.size(), 2u);
    EXPECT_EQ(popped[0], b);
    EXPECT_EQ(popped[1], c);
    // Only the top that was visible and the root hear about it.
    EXPECT_EQ(*journal,
        (Journal { "C.viewWillDisappear", "A.viewWillAppear", "C.viewDidDisappear", "A.viewDidAppear" }));
    EXPECT_TRUE(nav->popToViewController(c, false).empty()) << "a controller not in the stack";
}

TEST_F(ControllerTest, BarHidesAndShowsWithTheContentFollowing)
{
    auto a = make("A");
    a->setEdgesForExtendedLayout(UIRectEdgeNone);
    auto nav = std::make_shared<UINavigationController>(a);
    UIViewController::setRootViewControllerOf(window, nav);
    EXPECT_EQ(a->view()->frame().origin.y, 64);

    nav->setNavigationBarHidden(true, true);
    EXPECT_TRUE(nav->isNavigationBarHidden());
    EXPECT_TRUE(nav->navigationBar()->isHidden());
    EXPECT_EQ(a->view()->frame().origin.y, 0);
    EXPECT_EQ(a->view()->frame().size.height, window->bounds().size.height);
    ASSERT_NE(platform::AnimationLog::last(), nullptr);
    EXPECT_DOUBLE_EQ(platform::AnimationLog::last()->duration, UINavigationController::kHideShowBarDuration);

    nav->setNavigationBarHidden(false, false);
    EXPECT_FALSE(nav->navigationBar()->isHidden());
    EXPECT_EQ(a->view()->frame().origin.y, 64);
}

TEST_F(ControllerTest, BarShowsTitleItemsAndBackButtonThatPops)
{
    UINavigationBar::appearance().tintColor = platform::Color::redColor();
    UINavigationBar::appearance().titleTextAttributes.textColor = platform::Color::whiteColor();
    auto a = make("A");
    a->setTitle("Home");
    auto nav = std::make_shared<UINavigationController>(a);
    UIViewController::setRootViewControllerOf(window, nav);
    auto bar = nav->navigationBar();
    EXPECT_EQ(bar->tintColor(), platform::Color::redColor());
    bar->layoutIfNeeded();
    EXPECT_EQ(bar->titleLabel()->text(), "Home");
    EXPECT_EQ(bar->titleLabel()->textColor(), platform::Color::whiteColor());
    EXPECT_EQ(bar->backButton()->superview(), nullptr) << "no back button on the root";

    auto b = make("B");
    b->setTitle("Detail");
    nav->pushViewController(b, false);
    EXPECT_EQ(bar->titleLabel()->text(), "Detail");
    ASSERT_TRUE(bar->backButton()->superview()) << "no back button";
    ASSERT_EQ(bar->backButton()->superview()->className(), bar->className());
    ASSERT_EQ(bar->backButton()->superview(), bar);
    EXPECT_EQ(bar->backButtonTitle(), "Home");
    a->navigationItem()->setBackBarButtonItem(UIBarButtonItem::itemWithTitle("Return"));
    EXPECT_EQ(bar->backButton()->currentTitle(), "Return");
    {
        // A chevron in the title's colour stands before the title, which keeps clear of it.
        bar->layoutIfNeeded();
        auto back = bar->backButton();
        back->layoutIfNeeded();
        EXPECT_GE(back->titleLabel()->frame().minX(), 14);
        // The bar is drawn where it stands in its superview.
        auto context = platform::Context::createBitmap(platform::Size(320, bar->frame().maxY()), 1);
        ASSERT_TRUE(context);
        platform::renderView(*bar, *context);
        auto image = context->makeImage();
        auto tip = back->convertPointToView(platform::Point(2.5, back->bounds().midY()), bar->superview().get());
        auto pixel = image.pixelAt(int(tip.x), int(tip.y));
        auto title = back->currentTitleColor();
        EXPECT_NEAR(pixel[0], title.red * 255, 40);
        EXPECT_NEAR(pixel[1], title.green * 255, 40);
        EXPECT_NEAR(pixel[2], title.blue * 255, 40);
    }

    tapView(bar->backButton());
    advance(1);
    EXPECT_EQ(nav->topViewController(), a);

    nav->pushViewController(b, false);
    b->navigationItem()->setHidesBackButton(true);
    EXPECT_EQ(bar->backButton()->superview(), nullptr);
}

TEST_F(ControllerTest, PresentAndDismissCallTheLifeCycleAndCompletionsOnTheClock)
{
    auto a = make("A");
    UIViewController::setRootViewControllerOf(window, a);
    auto m = make("M");
    m->setModalTransitionStyle(UIModalTransitionStyleCrossDissolve);
    journal->clear();
    bool presented = false;
    a->presentViewController(m, true, [&] { presented = true; });
    EXPECT_EQ(*journal, (Journal { "M.viewDidLoad", "A.viewWillDisappear", "M.viewWillAppear" }));
    EXPECT_EQ(a->presentedViewController(), m);
    EXPECT_EQ(m->presentingViewController(), a);
    EXPECT_EQ(m->view()->superview(), window);
    ASSERT_NE(platform::AnimationLog::last(), nullptr);
    EXPECT_EQ(platform::AnimationLog::last()->transitionType, "crossDissolve");
    EXPECT_FALSE(presented);
    advance(UIViewController::kModalTransitionDuration);
    EXPECT_TRUE(presented);
    EXPECT_EQ(journal->back(), "M.viewDidAppear");

    // A second presentation while presenting is refused and said so.
    platform::LogCapture capture;
    auto other = make("O");
    a->presentViewController(other, false);
    EXPECT_TRUE(capture.contains("already presenting"));
    EXPECT_EQ(a->presentedViewController(), m);
    EXPECT_EQ(other->presentingViewController(), nullptr);

    journal->clear();
    bool dismissed = false;
    m->dismissViewControllerAnimated(false, [&] { dismissed = true; });
    EXPECT_EQ(*journal,
        (Journal { "M.viewWillDisappear", "A.viewWillAppear", "M.viewDidDisappear", "A.viewDidAppear" }));
    EXPECT_EQ(m->view()->superview(), nullptr);
    EXPECT_EQ(a->presentedViewController(), nullptr);
    EXPECT_FALSE(dismissed) << "a completion waits for the main loop";
    advance(0);
    EXPECT_TRUE(dismissed);
}

TEST_F(ControllerTest, APushedScreenPresentsFromItsNavigationController)
{
    auto a = make("A");
    auto nav = std::make_shared<UINavigationController>(a);
    UIViewController::setRootViewControllerOf(window, nav);
    auto m = make("M");
    journal->clear();
    a->presentViewController(m, false);
    EXPECT_EQ(m->presentingViewController(), nav);
    EXPECT_EQ(nav->visibleViewController(), m);
    // The navigation controller forwards its disappearance to its top screen.
    EXPECT_EQ(*journal,
        (Journal { "M.viewDidLoad", "A.viewWillDisappear", "M.viewWillAppear", "A.viewDidDisappear", "M.viewDidAppear" }));
    a->dismissViewControllerAnimated(true);
    advance(1);
    EXPECT_EQ(nav->presentedViewController(), nullptr);
    EXPECT_EQ(journal->back(), "A.viewDidAppear");
}

TEST_F(ControllerTest, ControllerMadeByClassNameIsPushed)
{
    auto& registry = platform::ClassRegistry::shared();
    registry.registerClass("RegisteredScreen", [journal = journal] {
        auto screen = std::make_shared<RecordingController>("R", journal);
        screen->setTitle("Registered");
        return std::static_pointer_cast<platform::Object>(screen);
    });
    auto nav = std::make_shared<UINavigationController>(make("A"));
    UIViewController::setRootViewControllerOf(window, nav);
    EXPECT_EQ(registry.createAs<UIViewController>("NoSuchScreen"), nullptr);
    auto screen = registry.createAs<UIViewController>("RegisteredScreen");
    ASSERT_NE(screen, nullptr);
    nav->pushViewController(screen, false);
    EXPECT_EQ(nav->topViewController()->title(), "Registered");
    EXPECT_EQ(journal->back(), "R.viewDidAppear");
    registry.unregisterClass("RegisteredScreen");
}

namespace {

// A screen meant for landscape; it notes the orientation each appearance call sees.
class LandscapeController final : public RecordingController {
public:
    LandscapeController(std::string name, std::shared_ptr<Journal> journal, UIInterfaceOrientation preferred)
        : RecordingController(std::move(name), std::move(journal))
        , preferred_(preferred)
    {
    }
    UIInterfaceOrientation preferredInterfaceOrientationForPresentation() const override { return preferred_; }
    unsigned supportedInterfaceOrientations() const override { return UIInterfaceOrientationMaskLandscape; }
    void viewWillAppear(bool animated) override
    {
        seenOnAppearing = UIApplication::sharedApplication().statusBarOrientation();
        RecordingController::viewWillAppear(animated);
    }
    long seenOnAppearing = 0;

private:
    UIInterfaceOrientation preferred_;
};

// The presenter: notes the orientation when it reappears.
class BaseController final : public RecordingController {
public:
    using RecordingController::RecordingController;
    void viewWillAppear(bool animated) override
    {
        seenOnAppearing = UIApplication::sharedApplication().statusBarOrientation();
        RecordingController::viewWillAppear(animated);
    }
    long seenOnAppearing = 0;
};

} // namespace

TEST_F(ControllerTest, PresentingALandscapeScreenTurnsTheInterfaceAndDismissingTurnsItBack)
{
    auto& application = UIApplication::sharedApplication();
    std::vector<long> changes; // the orientation before each change, as the notice tells it
    auto token = platform::NotificationCenter::defaultCenter().addObserver(
        UIApplicationDidChangeStatusBarOrientationNotification, {}, [&](const platform::Notification& n) {
            changes.push_back(n.userInfo.get(UIApplicationStatusBarOrientationUserInfoKey).intValue());
        });
    auto base = std::make_shared<BaseController>("A", journal);
    UIViewController::setRootViewControllerOf(window, base);
    EXPECT_EQ(application.statusBarOrientation(), UIInterfaceOrientationPortrait);

    // A screen with no preference of its own keeps the orientation in effect.
    auto plain = make("P");
    EXPECT_EQ(plain->preferredInterfaceOrientationForPresentation(), UIInterfaceOrientationPortrait);
    base->presentViewController(plain, false);
    base->dismissViewControllerAnimated(false);
    EXPECT_TRUE(changes.empty());

    // Landscape for as long as the landscape screen is up, and already when it starts to appear.
    auto wide = std::make_shared<LandscapeController>("L", journal, UIInterfaceOrientationLandscapeLeft);
    base->presentViewController(wide, true);
    EXPECT_EQ(application.statusBarOrientation(), UIInterfaceOrientationLandscapeLeft);
    EXPECT_EQ(wide->seenOnAppearing, UIInterfaceOrientationLandscapeLeft);
    EXPECT_EQ(changes, (std::vector<long> { UIInterfaceOrientationPortrait }));
    advance(UIViewController::kModalTransitionDuration);
    // What it presents in turn, with no preference, leaves it so.
    auto over = make("O");
    EXPECT_EQ(over->preferredInterfaceOrientationForPresentation(), UIInterfaceOrientationLandscapeLeft);
    wide->presentViewController(over, false);
    EXPECT_EQ(application.statusBarOrientation(), UIInterfaceOrientationLandscapeLeft);

    // Dismissing the whole chain from below: portrait again before the screen below reappears.
    base->dismissViewControllerAnimated(true);
    EXPECT_EQ(application.statusBarOrientation(), UIInterfaceOrientationPortrait);
    EXPECT_EQ(base->seenOnAppearing, UIInterfaceOrientationPortrait);
    EXPECT_EQ(changes, (std::vector<long> { UIInterfaceOrientationPortrait, UIInterfaceOrientationLandscapeLeft }));
    advance(1);

    // The other landscape, dismissed by itself; and a root change takes a
    // landscape screen down with the orientation it brought.
    auto right = std::make_shared<LandscapeController>("R", journal, UIInterfaceOrientationLandscapeRight);
    base->presentViewController(right, false);
    EXPECT_EQ(application.statusBarOrientation(), UIInterfaceOrientationLandscapeRight);
    right->dismissViewControllerAnimated(false);
    EXPECT_EQ(application.statusBarOrientation(), UIInterfaceOrientationPortrait);
    auto again = std::make_shared<LandscapeController>("L2", journal, UIInterfaceOrientationLandscapeLeft);
    base->presentViewController(again, false);
    EXPECT_EQ(application.statusBarOrientation(), UIInterfaceOrientationLandscapeLeft);
    UIViewController::setRootViewControllerOf(window, make("B"));
    EXPECT_EQ(application.statusBarOrientation(), UIInterfaceOrientationPortrait);

    // A value that is no orientation is refused.
    changes.clear();
    application.setStatusBarOrientation(7);
    application.setStatusBarOrientation(0);
    EXPECT_EQ(application.statusBarOrientation(), UIInterfaceOrientationPortrait);
    EXPECT_TRUE(changes.empty());
}

TEST_F(ControllerTest, ReplacingTheWindowRootTakesDownWhatTheOldOnePresented)
{
    auto a = make("A");
    UIViewController::setRootViewControllerOf(window, a);
    auto m = make("M");
    a->presentViewController(m, false);
    auto b = make("B");
    journal->clear();
    UIViewController::setRootViewControllerOf(window, b);
    EXPECT_EQ(UIViewController::rootViewControllerOf(window.get()), b);
    EXPECT_EQ(m->view()->superview(), nullptr);
    EXPECT_EQ(a->view()->superview(), nullptr);
    EXPECT_EQ(journal->back(), "B.viewDidAppear");
    EXPECT_TRUE(std::find(journal->begin(), journal->end(), "M.viewDidDisappear") != journal->end());
}

} // namespace
