#pragma once

#include "platform/os/Value.h"
#include "platform/uikit/UIColor.h"
#include "ui/tables/RefreshTableView.h"

#include <memory>
#include <vector>

class UIView;

namespace content::library {

// The overlay while a library request runs, and its one failure text.
inline constexpr const char* kLoadingText = "请求数据中";
inline constexpr const char* kFailedText = "请求数据失败，请重试";
void showLoading();
void showFailed();
void hideOverlay();
// A request's overlay belongs to the window, not to the screen that started
// it: screens end it in the window-side step of weakCallbackAfter.

// The boxes of the library's screens: rounded, with a light grey line.
inline constexpr double kBoxRadius = 4;
inline const UIColor kBoxBorder = UIColor::fromWhite(220.0 / 255.0);
void frameBox(UIView& view, double radius = kBoxRadius);

// The library's green (the grade menu's border, a chosen grade's title).
inline const UIColor kLibraryGreen = UIColor::fromRGB255(81, 156, 14);

// The layouts are drawn for the 4-inch screen: on either screen the view ends
// at the visible foot of its superview and stretches with it from then on
// (BaseViewController::fitToVisibleBottom), however often this is applied.
void fitShortScreen(UIView& view);
// The list of the screen's view ends at the view's foot, the view itself
// being sized by its container.
void fitShortScreen(UIView& view, UIView& list);

// An empty view for a section's foot.
inline constexpr double kSectionFooterHeight = 8;
std::shared_ptr<UIView> emptyFooter();

// A page of a paged list has arrived: page 1 replaces the list, later
// pages add to it; another page may follow any page that brought entries,
// whatever the server's page size, so only an empty page ends the list.
// `make` reads one entry of the reply's array under `key` (null to skip it).
template <class T, class Make>
void takePage(std::vector<std::shared_ptr<T>>& list, const platform::Value& reply, const char* key, Make make,
    int page, RefreshTableView& table)
{
    std::vector<std::shared_ptr<T>> entries;
    if (const auto* items = reply[key].asArray()) {
        for (const auto& item : *items) {
            if (auto entry = make(item))
                entries.push_back(std::move(entry));
        }
    }
    bool more = !entries.empty();
    if (page == 1)
        list = std::move(entries);
    else
        list.insert(list.end(), entries.begin(), entries.end());
    table.setPageCount(more ? page + 1 : 0);
    table.doneLoadingTableViewData();
}
// A page failed: the next load-more asks for it again instead of skipping it.
void pageFailed(int page, RefreshTableView& table);

} // namespace content::library
