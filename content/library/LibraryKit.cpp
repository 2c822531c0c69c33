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

void fitShortScreen(UIView& view)
{
    if (BaseViewController::isFourInchScreen())
        return;
    auto frame = view.frame();
    frame.size.height -= BaseViewController::kShortScreenCut;
    view.setFrame(frame);
}

void fitShortScreen(UIView& view, UIView& list)
{
    if (BaseViewController::isFourInchScreen())
        return;
    double before = list.frame().height();
    fitShortScreen(view);
    if (list.frame().height() > before - BaseViewController::kShortScreenCut + 0.5)
        fitShortScreen(list);
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
