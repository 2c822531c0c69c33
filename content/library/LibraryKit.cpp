#include "content/library/LibraryKit.h"

#include "app/base/BaseViewController.h"
#include "content/portal/PortalStyle.h"
#include "platform/uikit/UIView.h"
#include "ui/ORBHelper.h"

namespace content::library {

void showLoading() { ORBHelper::showProgressHud(kLoadingText, true, false); }

void showFailed() { ORBHelper::showProgressHud(kFailedText, false, true); }

void hideOverlay() { ORBHelper::hideProgressHud(); }

void frameBox(UIView& view, double radius) { roundCorners(view, radius, 1, kBoxBorder); }

void fitShortScreen(UIView& view) { BaseViewController::fitToVisibleBottom(view); }

void fitShortScreen(UIView& view, UIView& list)
{
    // The screen's view is its container's to size; the list is what ends at its foot.
    (void)view;
    BaseViewController::fitToVisibleBottom(list);
}

std::shared_ptr<UIView> emptyFooter()
{
    auto footer = std::make_shared<UIView>(platform::Rect(0, 0, 320, kSectionFooterHeight));
    footer->setBackgroundColor(UIColor::clearColor());
    return footer;
}

void pageFailed(int page, RefreshTableView& table)
{
    showFailed();
    if (page > 1 && table.curPage() == page)
        table.setCurPage(page - 1);
    table.doneLoadingTableViewData();
}

} // namespace content::library
