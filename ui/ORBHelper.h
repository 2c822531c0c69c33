#pragma once

#include "core/util/ORBHelper.h"
#include "platform/graphics/Geometry.h"
#include "platform/uikit/UIColor.h"

#include <memory>
#include <string>
#include <string_view>

class ProgressOverlay;
class UILabel;
class UITableView;
class UITableViewCell;
class UIView;

// One window overlay that must not outlive its owner: a screen or a part of
// one keeps it as a member while work runs whose end it cannot be told of
// once it is gone (an upload cancelled with it). Destroyed, it takes that
// overlay down if it is still on the window; an overlay replaced meanwhile
// (by the next step's, by a later screen's) is left alone.
class ProgressHudHold final {
public:
    ProgressHudHold() = default;
    explicit ProgressHudHold(std::shared_ptr<ProgressOverlay> overlay) : overlay_(overlay) { }
    ~ProgressHudHold() { release(); }
    ProgressHudHold(const ProgressHudHold&) = delete;
    ProgressHudHold& operator=(const ProgressHudHold&) = delete;
    ProgressHudHold& operator=(ProgressHudHold&& other) noexcept
    {
        if (this != &other) {
            release();
            overlay_ = std::move(other.overlay_);
            other.overlay_.reset();
        }
        return *this;
    }
    // Takes the overlay down now if it is still shown.
    void release();

private:
    std::weak_ptr<ProgressOverlay> overlay_;
};

// The app-wide utility as the screens call it. Its settings, dates, text and
// colour rules live in the core (which the reply parser uses below the view
// layer); this class adds the views: the window's one progress overlay, the
// loading and error views, the label factory and the post text laid out with
// emoji pictures. Deriving keeps one name for both halves: a screen writes
// ORBHelper::showProgressHud(...) and ORBHelper::userDefaultForKey(...) alike.
class ORBHelper final : public core::ORBHelper {
public:
    ORBHelper() = delete;

    // How long a short confirmation stays on the window.
    static constexpr double kProgressHudHideDelay = 1.5;

    // An empty list's "loading" view: a small grey spinner with the text below
    // it (textShowInBottom) or beside it.
    static std::shared_ptr<UIView> loadingView(
        const platform::Rect& frame, const std::string& withText, bool textShowInBottom);
    // An empty list's error view: the grey logo standing on the middle line, the text under it.
    static std::shared_ptr<UIView> errorView(const platform::Rect& frame, const std::string& withErrorText);

    // Replaces the window's overlay with a new one showing the text (with a
    // spinner when showLoading), zooming in; canHide hides it after 1.5 s.
    // Returns it (nullptr without a window), for a ProgressHudHold.
    static std::shared_ptr<ProgressOverlay> showProgressHud(const std::string& text, bool showLoading, bool canHide);
    // Hides the window's overlay at once (or where lowerProgressHudBelow put it).
    static void hideProgressHud();
    // A prompt that waits for the person has just been put up over a screen:
    // the window's overlay, when one shows, goes under it for the rest of its
    // time (with its touches off, so that it holds nothing back once the
    // prompt is closed), as a notice given while the prompt is up lies.
    static void lowerProgressHudBelow(const std::shared_ptr<UIView>& prompt);

    // A label of the frame; a multi-line one wraps by character and takes the
    // size its text measures at the frame's width.
    static std::shared_ptr<UILabel> labelWithFrame(const platform::Rect& frame, const std::string& text,
        double fontSize, const UIColor& textColor, bool isMultiLine);

    // The cell of the table that holds the sender, or nullptr.
    static std::shared_ptr<UITableViewCell> getCellFromTableView(
        const std::shared_ptr<UITableView>& tableView, const std::shared_ptr<UIView>& sender);

    // A post text laid out in rows 25 points high within the width: one label
    // per character, "[name]" shown as the picture "name.png" when there is
    // one, "◆" starting a new row; at most line + 1 rows.
    static constexpr double kEmojiSide = 25;
    static constexpr double kEmojiFontSize = 15;
    static std::shared_ptr<UIView> assembleMessage(
        std::string_view message, const UIColor& messageColor, double width, int line);
};
