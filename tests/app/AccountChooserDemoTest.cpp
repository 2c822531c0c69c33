// The account chooser as the demo parent of two meets it: each row names
// its child in full and shows that child's own picture.
#include "app/login/AccountCell.h"
#include "app/login/AccountsViewController.h"
#include "core/session/MyAccountInfo.h"
#include "platform/graphics/Text.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UITableView.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/uikit/UIKitDriver.h"

#include <gtest/gtest.h>

using namespace testsupport;

TEST(AccountChooserDemo, TheParentOfTwoTellsTheRowsApart)
{
    AppHarness harness;
    ASSERT_TRUE(startClient(harness));
    ASSERT_TRUE(passIntroduction(harness));
    ASSERT_TRUE(harness.signIn(kDemoParentOfTwo, kDemoParentPassword));
    settle(harness);
    auto chooser = std::dynamic_pointer_cast<AccountsViewController>(harness.topScreen());
    ASSERT_TRUE(chooser);
    auto table = std::dynamic_pointer_cast<UITableView>(findViewByOutlet(chooser->view(), "tableView"));
    ASSERT_EQ(table->numberOfRowsInSection(0), 2);
    table->layoutIfNeeded();

    std::shared_ptr<AccountCell> cells[2];
    for (long row = 0; row < 2; ++row) {
        cells[row] = std::dynamic_pointer_cast<AccountCell>(table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(row, 0)));
        ASSERT_TRUE(cells[row]) << row;
    }
    const char* children[2] = { "王子涵", "王子轩" };
    for (int row = 0; row < 2; ++row) {
        auto name = cells[row]->lblName();
        EXPECT_NE(name->text().find(children[row]), std::string::npos) << name->text();
        // The whole name shows: its label is as wide as the text needs.
        EXPECT_GE(name->frame().width(), platform::measureText(name->text(), name->font()).width) << name->text();
    }
    EXPECT_NE(cells[0]->lblName()->text(), cells[1]->lblName()->text());

    // Each row's own picture arrives, and the two differ.
    auto defaultAvatar = UIImage::imageNamed("account_default_avatar");
    auto loaded = [&](int row) {
        auto image = cells[row]->imgAvatar()->image();
        return image && image != defaultAvatar;
    };
    ASSERT_TRUE(harness.runUntil([&] { return loaded(0) && loaded(1); }, 5));
    auto first = cells[0]->imgAvatar()->image()->CGImage();
    auto second = cells[1]->imgAvatar()->image()->CGImage();
    EXPECT_NE(first.pixels(), second.pixels());
    // Sharp at scale 2: at least two pixels per point of the 50-point box.
    EXPECT_GE(first.pixelWidth(), 100);
    settle(harness, 0.5);
    EXPECT_FALSE(harness.render("app-account-chooser-two-children.png").empty());
}

