// The words the toolkit writes itself, in the application's language.
#include "UIKitTestSupport.h"

#include "platform/os/Bundle.h"
#include "platform/uikit/UINavigationBar.h"
#include "platform/uikit/UINavigationItem.h"
#include "platform/uikit/UITableView.h"

using platform::Rect;

// The toolkit's own words are the application's: Chinese, through the
// localisation table, whose keys stay the English words.
TEST_F(UIKitTest, TheToolkitsOwnWordsComeChineseFromTheLocalisationTable)
{
    auto bundle = platform::Bundle::main();
    EXPECT_EQ(bundle->localizedString("Pull up to load more"), "上拉加载更多");
    EXPECT_EQ(bundle->localizedString("Release to refresh"), "松开即可刷新");
    EXPECT_EQ(bundle->localizedString("Done"), "完成");
    EXPECT_EQ(platform::localizedString("Cancel"), "取消");
    EXPECT_EQ(platform::localizedString("没有的词"), "没有的词") << "a key without an entry shows as it is";

    // A back button for a screen without a title.
    UINavigationBar bar(Rect(0, 0, 320, 44));
    bar.pushNavigationItem(std::make_shared<UINavigationItem>());
    bar.pushNavigationItem(std::make_shared<UINavigationItem>("详情"));
    EXPECT_EQ(bar.backButtonTitle(), "返回");
    // The delete button a swiped row shows when the screen names none.
    UITableViewDelegate rows;
    EXPECT_EQ(rows.titleForDeleteConfirmationButtonForRowAtIndexPath(nullptr, NSIndexPath { 0, 0 }), "删除");
}
