// The tab container and its button, inside the running client.
#include "app/main/ORBViewController.h"
#include "core/util/GlobalColor.h"
#include "libModule/TabViewController/MainBtn.h"
#include "libModule/TabViewController/MainBtnInfo.h"
#include "libModule/TabViewController/TabViewController.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "tests/support/app/ClientApp.h"

#include <gtest/gtest.h>

using namespace testsupport;

TEST(MainBtnInfo, TakesOnlyValuesOfTheExpectedKind)
{
    struct Row {
        std::string json;
        int uid;
        std::string name;
        std::string vc;
        bool current;
    };
    auto parse = [](const std::string& text) {
        platform::Dictionary d;
        if (text == "good") {
            d.set("uid", 4);
            d.set("name", "功能导航");
            d.set("vc", "NavigationViewController");
            d.set("current", true);
        } else if (text == "wrong kinds") {
            d.set("uid", "4");
            d.set("name", 5);
            d.set("vc", platform::Array {});
            d.set("current", "YES");
        }
        return platform::Value(d);
    };
    const Row rows[] = {
        { "good", 4, "功能导航", "NavigationViewController", true },
        { "wrong kinds", 0, "", "", false },
        { "empty", 0, "", "", false },
    };
    for (const auto& row : rows) {
        auto info = MainBtnInfo::btnWithObj(parse(row.json));
        EXPECT_EQ(info->uid, row.uid) << row.json;
        EXPECT_EQ(info->name, row.name) << row.json;
        EXPECT_EQ(info->vc, row.vc) << row.json;
        EXPECT_EQ(info->current, row.current) << row.json;
    }
    EXPECT_EQ(MainBtnInfo::btnWithObj(platform::Value("text"))->uid, 0);
}

TEST(MainBtn, SelectionDrawsTheThemeAndThePictures)
{
    AppHarness harness;
    ASSERT_TRUE(startClient(harness));
    auto button = MainBtn::make();
    ASSERT_TRUE(button->imgIcon() && button->lblName() && button->badgeView());
    EXPECT_FALSE(button->select());
    EXPECT_TRUE(button->badgeView()->isHidden());
    auto info = std::make_shared<MainBtnInfo>();
    info->uid = 4;
    info->name = "功能导航";
    button->setInfo(info);
    EXPECT_EQ(button->lblName()->text(), "功能导航");
    EXPECT_EQ(button->imgIcon()->image(), UIImage::imageNamed("main_btn_04.png"));

    button->setSelect(true);
    EXPECT_EQ(button->imgIcon()->image(), UIImage::imageNamed("main_btn_04_s.png"));
    EXPECT_EQ(button->imgBg()->image(), UIImage::imageNamed("main_bottom_btn_bg_s.png"));
    EXPECT_EQ(button->lblName()->textColor(), core::GlobalColor::getColor("main").value());
    // The value already held changes nothing, even a picture put there since.
    button->imgIcon()->setImage(nullptr);
    button->setSelect(true);
    EXPECT_FALSE(button->imgIcon()->image());
    button->setSelect(false);
    EXPECT_EQ(button->imgIcon()->image(), UIImage::imageNamed("main_btn_04.png"));
    EXPECT_EQ(button->lblName()->textColor(), platform::Color::whiteColor());
}

TEST(TabViewController, MissingScreenClassesKeepTabsAndButtonsInStep)
{
    AppHarness harness;
    ASSERT_TRUE(startClient(harness));
    settle(harness);
    auto main = mainScreen();
    ASSERT_EQ(TabViewController::shareInstance(), std::static_pointer_cast<TabViewController>(main));
    std::vector<std::shared_ptr<UIControl>> buttons;
    for (int i = 0; i < 3; ++i) {
        auto button = MainBtn::make();
        button->setTag(i);
        buttons.push_back(button);
    }
    main->setTabBtns(buttons);
    main->setCurrentBtn(buttons[1]);
    main->setViewControllers({ "NavigationViewController", "NoSuchScreenViewController", "UILabel" }, nullptr);
    ASSERT_EQ(main->viewControllers().size(), 3u) << "no tab is dropped, nothing stops";
    EXPECT_EQ(main->curIndex(), 1);
    EXPECT_EQ(main->viewControllers()[1]->viewControllers().front()->className(), "UIViewController");
    EXPECT_EQ(main->viewControllers()[1]->view()->superview(), main->contentView());
    EXPECT_EQ(main->viewControllers()[1]->view()->autoresizingMask(), 63u);

    // Switching: the old tab's view leaves the content view.
    main->switchToView(0);
    EXPECT_EQ(main->curIndex(), 0);
    EXPECT_FALSE(main->viewControllers()[1]->view()->superview());
    EXPECT_EQ(main->currentBtn(), buttons[0]);
}

TEST(TabViewController, TabsGivenBeforeTheViewLoadsShowWhenItLoads)
{
    AppHarness harness;
    ASSERT_TRUE(startClient(harness));
    auto tabs = std::make_shared<TabViewController>(std::string("ORBViewController"));
    EXPECT_EQ(TabViewController::shareInstance(), tabs) << "the newest is the shared one";
    std::vector<std::shared_ptr<UIControl>> buttons;
    for (int i = 0; i < 2; ++i) {
        auto button = MainBtn::make();
        button->setTag(i);
        buttons.push_back(button);
    }
    tabs->setTabBtns(buttons);
    tabs->setCurrentBtn(buttons[1]);
    tabs->setViewControllers({ "NavigationViewController", "AboutViewController" }, nullptr);
    EXPECT_FALSE(tabs->isInitVCs());
    EXPECT_EQ(tabs->curIndex(), -1);
    tabs->view();
    EXPECT_TRUE(tabs->isInitVCs());
    EXPECT_EQ(tabs->curIndex(), 1);
    // A plain tab controller shows its splash: touches wait for it to fade
    // (1 s, then 1 s delay and 1.6 s of fading).
    EXPECT_TRUE(tabs->splashView());
    EXPECT_FALSE(tabs->view()->isUserInteractionEnabled());
    harness.advance(1.0);
    EXPECT_FALSE(tabs->view()->isUserInteractionEnabled());
    harness.advance(2.7);
    EXPECT_TRUE(tabs->view()->isUserInteractionEnabled());
    EXPECT_FALSE(tabs->splashView());
    tabs.reset();
    EXPECT_EQ(TabViewController::shareInstance(), nullptr) << "a controller that is gone is never handed out";
}
