#include "platform/os/ClassRegistry.h"
#include "platform/os/RunLoop.h"
#include "platform/uikit/LayoutLoader.h"
#include "platform/uikit/UIKitRegistration.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/uikit/UIKitDriver.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using Journal = std::vector<std::string>;

class Screen : public UIViewController {
public:
    Screen(std::string name, std::shared_ptr<Journal> journal)
        : name_(std::move(name))
        , journal_(std::move(journal))
    {
    }
    void viewWillAppear(bool) override { journal_->push_back(name_ + ".willAppear"); }
    void viewDidAppear(bool) override { journal_->push_back(name_ + ".didAppear"); }
    void viewWillDisappear(bool) override { journal_->push_back(name_ + ".willDisappear"); }
    void viewDidDisappear(bool) override { journal_->push_back(name_ + ".didDisappear"); }

private:
    std::string name_;
    std::shared_ptr<Journal> journal_;
};

class WindowRootTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::RunLoop::setMainThread();
        platform::RunLoop::main().discardPendingWork();
        UIViewController::resetWindowRoots();
        testsupport::resetUIKitState();
        window = std::make_shared<UIWindow>();
        window->makeKeyAndVisible();
    }
    void TearDown() override
    {
        UIViewController::resetWindowRoots();
        testsupport::resetUIKitState();
        platform::RunLoop::main().discardPendingWork();
    }
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<Journal> journal = std::make_shared<Journal>();
};

TEST_F(WindowRootTest, TheWindowsOwnSlotShowsTheControllerAndTheOldWrappersAgree)
{
    auto a = std::make_shared<Screen>("A", journal);
    window->setRootViewController(a);
    EXPECT_EQ(*journal, (Journal { "A.willAppear", "A.didAppear" }));
    EXPECT_EQ(a->view()->superview(), window);
    EXPECT_EQ(a->view()->frame(), window->bounds());
    EXPECT_EQ(UIViewController::rootViewControllerOf(window.get()), a);

    // The static helper and the slot are one and the same.
    journal->clear();
    auto b = std::make_shared<Screen>("B", journal);
    UIViewController::setRootViewControllerOf(window, b);
    EXPECT_EQ(window->rootViewController(), b);
    EXPECT_EQ(*journal, (Journal { "A.willDisappear", "A.didDisappear", "B.willAppear", "B.didAppear" }));
    EXPECT_FALSE(a->view()->superview());
    EXPECT_TRUE(a->appearanceState() == UIViewController::AppearanceState::Disappeared);

    // Setting the same root again is nothing; clearing it takes the view away.
    journal->clear();
    window->setRootViewController(b);
    EXPECT_TRUE(journal->empty());
    window->setRootViewController(nullptr);
    EXPECT_EQ(*journal, (Journal { "B.willDisappear", "B.didDisappear" }));
    EXPECT_FALSE(UIViewController::rootViewControllerOf(window.get()));
    EXPECT_TRUE(window->subviews().empty());
}

TEST_F(WindowRootTest, ResettingTheRootsEmptiesEverySlotSilently)
{
    auto other = std::make_shared<UIWindow>();
    auto a = std::make_shared<Screen>("A", journal);
    auto b = std::make_shared<Screen>("B", journal);
    window->setRootViewController(a);
    UIViewController::setRootViewControllerOf(other, b);
    journal->clear();
    std::weak_ptr<Screen> weakA = a;
    a.reset();
    UIViewController::resetWindowRoots();
    EXPECT_FALSE(window->rootViewController());
    EXPECT_FALSE(other->rootViewController());
    EXPECT_TRUE(journal->empty());
    EXPECT_TRUE(weakA.expired()) << "the slot was the last owner";
}

// A plain view class (not bindable) that wants to hear its layout is complete.
class AwakeningView : public UIView {
public:
    void awakeFromNib() override
    {
        ++awakened;
        subviewsWhenAwakened = subviews().size();
    }
    int awakened = 0;
    std::size_t subviewsWhenAwakened = 0;
};

class AwakeningBindableView : public UIView, public platform::LayoutBindable {
public:
    void awakeFromNib() override { ++awakened; }
    int awakened = 0;
};

TEST_F(WindowRootTest, LayoutFilesAwakeViewsThroughTheirOwnAwakeFromNibOnce)
{
    platform::registerUIKitClasses();
    auto& registry = platform::ClassRegistry::shared();
    registry.registerClass<AwakeningView>("AwakeningView");
    registry.registerClass<AwakeningBindableView>("AwakeningBindableView");
    auto objects = platform::LayoutLoader::loadFromText(R"([
        { "class": "AwakeningView", "frame": [0, 0, 100, 100],
          "subviews": [ { "class": "UILabel", "frame": [0, 0, 50, 20], "text": "x" } ] },
        { "class": "AwakeningBindableView", "frame": [0, 0, 10, 10] }
    ])",
        nullptr);
    ASSERT_EQ(objects.size(), 2u);
    auto plain = std::dynamic_pointer_cast<AwakeningView>(objects[0]);
    auto bindable = std::dynamic_pointer_cast<AwakeningBindableView>(objects[1]);
    ASSERT_TRUE(plain && bindable);
    EXPECT_EQ(plain->awakened, 1);
    EXPECT_EQ(plain->subviewsWhenAwakened, 1u);
    EXPECT_EQ(bindable->awakened, 1);
    registry.unregisterClass("AwakeningView");
    registry.unregisterClass("AwakeningBindableView");
}

} // namespace
