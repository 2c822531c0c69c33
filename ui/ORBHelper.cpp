#include "ui/ORBHelper.h"

#include "platform/graphics/Context.h"
#include "platform/graphics/LinePunctuation.h"
#include "platform/os/Log.h"
#include "platform/os/StringUtil.h"
#include "platform/uikit/UIActivityIndicatorView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITableViewCell.h"
#include "platform/uikit/UIWindow.h"
#include "ui/overlay/ProgressOverlay.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

using platform::Rect;
using platform::Size;

namespace {

constexpr double kSpinnerSide = 24;
constexpr double kLoadingTextHeight = 24;
constexpr double kLoadingTextBesideX = 40;
constexpr double kLoadingSpinnerBesideX = 10;
constexpr double kErrorTextGap = 3;
constexpr char kErrorLogo[] = "orb_gray_logo.png";
// The post text's layout.
constexpr double kTextTop = 4;
constexpr double kCharacterMeasureHeight = 40;
constexpr double kContainerX = 15;
constexpr double kContainerY = 1;
constexpr char kRowBreak[] = "\u25c6"; // "◆"

std::shared_ptr<UILabel> greyLabel(const Rect& frame, const std::string& text, double fontSize)
{
    auto label = std::make_shared<UILabel>(frame);
    label->setText(text);
    label->setTextAlignment(NSTextAlignmentCenter);
    label->setTextColor(UIColor::grayColor());
    label->setFont(UIFont::systemFont(fontSize));
    label->setBackgroundColor(UIColor::clearColor());
    return label;
}

std::shared_ptr<UIWindow> applicationWindow()
{
    auto delegate = UIApplication::sharedApplication().delegate();
    return delegate ? delegate->window() : nullptr;
}

// One character of a post text, in a box of the metric model's width. Most
// drawn glyphs are narrower than their boxes, and by different amounts (at
// 15 points "r" is 6 points wide in a 9-point box, "o" 9): each glyph drawn
// at its own box's left would leave the spare room after it, wide after the
// narrow letters ("cir cle", "phot o"). So the characters side by side in a
// row, up to a picture, are drawn as one line spread evenly over their boxes
// by letter spacing: the boxes stay as measured, the spacing reads as in a
// sentence. The run's first label draws the whole line, once a frame, over
// its run's boxes; the others draw nothing of their own.
class PostCharacterLabel : public UILabel {
public:
    PostCharacterLabel(const Rect& frame, std::string character)
        : UILabel(frame)
        , ownText_(std::move(character))
    {
        setText(ownText_);
    }

    // The run of characters this label begins: its text and width. The
    // other labels of a run draw nothing (an empty run).
    void setRun(std::string text, double width)
    {
        run_ = std::move(text);
        runWidth_ = width;
        setNeedsDisplay();
    }

protected:
    void drawTextInRect(platform::Context& context, const Rect& rect) override
    {
        if (text() != ownText_) {
            UILabel::drawTextInRect(context, rect);
            return;
        }
        if (run_.empty() || runWidth_ <= 0)
            return; // drawn by its run's first label
        platform::TextLayout layout;
        layout.font = font();
        layout.lineHeight = font().lineHeight();
        layout.size = Size(runWidth_, layout.lineHeight);
        layout.boxWidth = runWidth_;
        // A run of one character has nothing to spread: its glyph is centred.
        layout.alignment = platform::TextAlignment::Center;
        layout.spreadToWidth = true;
        platform::TextLine line;
        line.text = run_;
        line.sourceEnd = run_.size();
        line.width = runWidth_;
        layout.lines.push_back(std::move(line));
        context.save();
        context.clipToRect(Rect(0, bounds().minY(), runWidth_, bounds().height()));
        platform::drawTextLayout(context, layout, platform::Point(0, rect.origin.y), textColor());
        context.restore();
    }

private:
    std::string ownText_;
    std::string run_;
    double runWidth_ = 0;
};

// The running state of one post text's layout.
class MessageAssembler {
public:
    MessageAssembler(const UIColor& color, double width, int lineLimit)
        : color_(color)
        , width_(width)
        , lineLimit_(lineLimit)
        , container_(std::make_shared<UIView>())
    {
    }

    void addParts(const std::vector<std::string>& parts)
    {
        for (const auto& part : parts) {
            if (ended_)
                break;
            if (part.size() >= 2 && part.front() == '[' && part.back() == ']') {
                std::string name = part.substr(1, part.size() - 2) + ".png";
                if (auto image = UIImage::imageNamed(name)) {
                    addImage(image);
                    continue;
                }
                // No such picture: the name stays text, brackets and all.
                addText(part, false);
                continue;
            }
            addText(part, true);
        }
    }

    std::shared_ptr<UIView> finish()
    {
        joinRuns();
        container_->setFrame(Rect(kContainerX, kContainerY, contentWidth_, rowTop_ + ORBHelper::kEmojiSide));
        return container_;
    }

private:
    // Moves to the next row; false when the row limit ends the layout.
    bool wrap(bool forcedByBreak)
    {
        row_.clear();
        y_ += ORBHelper::kEmojiSide;
        if (rows_ >= lineLimit_) {
            contentWidth_ = width_;
            if (forcedByBreak)
                rowTop_ = y_;
            ended_ = true;
            return false;
        }
        ++rows_;
        x_ = 0;
        rowTop_ = y_;
        contentWidth_ = width_;
        return true;
    }

    // A row that is full before `next`: the break goes where the text's line
    // breaker would put it, so that no row starts with closing punctuation
    // (a "，" alone at the start) or ends with opening punctuation: what
    // must keep to `next` goes down with it. False when the row limit ends
    // the layout (nothing moves then).
    bool wrapBefore(char32_t next)
    {
        std::size_t moved = 0;
        if (rows_ < lineLimit_) {
            for (std::size_t k = row_.size(); k > 0; --k) {
                const char32_t starts = k == row_.size() ? next : row_[k].character;
                if (!platform::mayNotStartLine(starts) && !platform::mayNotEndLine(row_[k - 1].character)) {
                    moved = row_.size() - k;
                    break;
                }
            }
        }
        std::vector<Placed> carried(row_.end() - std::ptrdiff_t(moved), row_.end());
        const double rowTop = y_;
        if (!wrap(false))
            return false;
        for (auto& item : carried) {
            Rect frame = item.view->frame();
            frame.origin = platform::Point(x_, frame.origin.y + (y_ - rowTop));
            item.view->setFrame(frame);
            advance(frame.size.width);
            row_.push_back(item);
        }
        return true;
    }

    void advance(double by)
    {
        x_ += by;
        if (contentWidth_ < width_)
            contentWidth_ = x_;
    }

    static bool isBlank(char32_t c) { return c == U' ' || c == U'\u00a0' || c == U'\u3000' || c == U'\t'; }

    // A blank measured alone has no width (the layout drops a line's trailing
    // blanks): measured between two letters, it keeps the room it takes in a
    // sentence, so "Good job" does not read "Goodjob".
    double blankWidth(const std::string& blank, const UIFont& font) const
    {
        auto widthOf = [&](const std::string& text) {
            return platform::measureText(
                text, font, { width_ * 4, kCharacterMeasureHeight }, platform::LineBreakMode::CharWrap)
                .width;
        };
        return std::max(0.0, widthOf("a" + blank + "a") - widthOf("aa"));
    }

    void addText(const std::string& text, bool breaksRows)
    {
        // Character by character (by code point: half of a surrogate pair
        // cannot be drawn on its own).
        for (char32_t c : platform::codePoints(text)) {
            std::string character = platform::utf8FromCodePoint(c);
            if (breaksRows && character == kRowBreak) {
                if (!wrap(true))
                    return;
                continue;
            }
            if (x_ + ORBHelper::kEmojiSide >= width_ && !wrapBefore(c))
                return;
            UIFont font = UIFont::systemFont(ORBHelper::kEmojiFontSize);
            Size size = platform::measureText(
                character, font, { width_, kCharacterMeasureHeight }, platform::LineBreakMode::CharWrap);
            if (size.width <= 0 && isBlank(c))
                size.width = blankWidth(character, font);
            auto label
                = std::make_shared<PostCharacterLabel>(Rect(x_, y_ + kTextTop, size.width, size.height), character);
            label->setFont(font);
            label->setNumberOfLines(0);
            label->setLineBreakMode(NSLineBreakByCharWrapping);
            label->setBackgroundColor(UIColor::clearColor());
            label->setTextColor(color_);
            container_->addSubview(label);
            row_.push_back({ label, c });
            advance(size.width);
        }
    }

    // Tells the first label of each run the run it draws: the labels that
    // follow each other without a gap in one row, blanks included, up to a
    // picture (the layout is done: rows no longer move).
    void joinRuns()
    {
        std::vector<std::shared_ptr<PostCharacterLabel>> run;
        auto endRun = [&run] {
            if (run.empty())
                return;
            std::string text;
            for (const auto& label : run)
                text += label->text();
            run.front()->setRun(text, run.back()->frame().maxX() - run.front()->frame().minX());
            run.clear();
        };
        for (const auto& view : container_->subviews()) {
            auto label = std::dynamic_pointer_cast<PostCharacterLabel>(view);
            if (!label) {
                endRun();
                continue;
            }
            if (!run.empty()) {
                const Rect last = run.back()->frame();
                const Rect next = label->frame();
                if (last.minY() != next.minY() || std::abs(last.maxX() - next.minX()) > 0.01)
                    endRun();
            }
            run.push_back(label);
        }
        endRun();
    }

    void addImage(const std::shared_ptr<UIImage>& image)
    {
        double w = std::min(image->size().width, ORBHelper::kEmojiSide);
        double h = std::min(image->size().height, ORBHelper::kEmojiSide);
        if (x_ + ORBHelper::kEmojiSide >= width_ && !wrapBefore(kPicture))
            return;
        auto view = std::make_shared<UIImageView>(Rect(x_, y_ + (ORBHelper::kEmojiSide - h) / 2, w, h));
        view->setImage(image);
        container_->addSubview(view);
        row_.push_back({ view, kPicture });
        advance(w);
    }

    // What the current row holds, in order: each label's character (a
    // picture stands for none of the punctuation).
    struct Placed {
        std::shared_ptr<UIView> view;
        char32_t character;
    };
    static constexpr char32_t kPicture = U'\uFFFC';

    UIColor color_;
    double width_;
    int lineLimit_;
    std::vector<Placed> row_;
    std::shared_ptr<UIView> container_;
    double x_ = 0;
    double y_ = 0;
    double rowTop_ = 0;
    double contentWidth_ = 0;
    int rows_ = 0;
    bool ended_ = false;
};

} // namespace

std::shared_ptr<UIView> ORBHelper::loadingView(const Rect& frame, const std::string& withText, bool textShowInBottom)
{
    double w = frame.size.width;
    double h = frame.size.height;
    auto view = std::make_shared<UIView>(frame);
    view->setBackgroundColor(UIColor::clearColor());
    auto spinner = std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyleGray);
    spinner->startAnimating();
    std::shared_ptr<UILabel> label;
    if (textShowInBottom) {
        spinner->setFrame(Rect((w - kSpinnerSide) / 2, (h - kSpinnerSide) / 2, kSpinnerSide, kSpinnerSide));
        label = greyLabel(Rect(0, (h - kSpinnerSide) / 2 + kSpinnerSide, w, kLoadingTextHeight), withText, 14);
    } else {
        spinner->setFrame(Rect(kLoadingSpinnerBesideX, (h - kSpinnerSide) / 2, kSpinnerSide, kSpinnerSide));
        label = greyLabel(Rect(kLoadingTextBesideX, 0, w - kLoadingTextBesideX, h), withText, 14);
    }
    view->addSubview(spinner);
    view->addSubview(label);
    return view;
}

std::shared_ptr<UIView> ORBHelper::errorView(const Rect& frame, const std::string& withErrorText)
{
    double w = frame.size.width;
    double h = frame.size.height;
    auto view = std::make_shared<UIView>(frame);
    view->setBackgroundColor(UIColor::clearColor());
    auto image = UIImage::imageNamed(kErrorLogo);
    auto logo = std::make_shared<UIImageView>(image);
    Size logoSize = image ? image->size() : Size();
    logo->setFrame(Rect((w - logoSize.width) / 2, h / 2 - logoSize.height, logoSize.width, logoSize.height));
    view->addSubview(logo);
    view->addSubview(greyLabel(Rect(0, h / 2 + kErrorTextGap, w, kLoadingTextHeight), withErrorText, 15));
    return view;
}

std::shared_ptr<ProgressOverlay> ORBHelper::showProgressHud(const std::string& text, bool showLoading, bool canHide)
{
    hideProgressHud();
    auto window = applicationWindow();
    if (!window) {
        platform::log("ORBHelper: no application window for \"%s\"\n", text.c_str());
        return nullptr;
    }
    auto overlay = ProgressOverlay::showHUDAddedTo(window, true);
    overlay->setAnimationType(ProgressOverlayAnimationZoom);
    overlay->setMode(showLoading ? ProgressOverlayModeSpinner : ProgressOverlayModeText);
    overlay->setLabelText(text);
    if (canHide)
        overlay->hide(true, kProgressHudHideDelay);
    return overlay;
}

void ProgressHudHold::release()
{
    auto overlay = overlay_.lock();
    overlay_.reset();
    // Hidden already, or replaced: the overlay has left the window.
    if (!overlay || !overlay->superview())
        return;
    overlay->setRemoveFromSuperViewOnHide(true);
    overlay->hide(false);
}

namespace {
// The window's overlay once it has been put under a prompt.
std::weak_ptr<ProgressOverlay>& loweredProgressHud()
{
    static std::weak_ptr<ProgressOverlay> overlay;
    return overlay;
}
} // namespace

void ORBHelper::hideProgressHud()
{
    if (auto window = applicationWindow())
        ProgressOverlay::hideHUDForView(window, false);
    if (auto lowered = loweredProgressHud().lock(); lowered && lowered->superview()) {
        lowered->setRemoveFromSuperViewOnHide(true);
        lowered->hide(false);
    }
    loweredProgressHud().reset();
}

void ORBHelper::lowerProgressHudBelow(const std::shared_ptr<UIView>& prompt)
{
    auto window = applicationWindow();
    auto host = prompt ? prompt->superview() : nullptr;
    auto overlay = window ? ProgressOverlay::HUDForView(window) : nullptr;
    if (!host || !overlay || overlay->isHidden())
        return;
    host->insertSubviewBelow(overlay, prompt);
    overlay->setFrame(host->bounds());
    overlay->setUserInteractionEnabled(false);
    overlay->setRemoveFromSuperViewOnHide(true);
    loweredProgressHud() = overlay;
}

std::shared_ptr<UILabel> ORBHelper::labelWithFrame(
    const Rect& frame, const std::string& text, double fontSize, const UIColor& textColor, bool isMultiLine)
{
    auto label = std::make_shared<UILabel>(frame);
    label->setLineBreakMode(NSLineBreakByTruncatingTail);
    UIFont font = UIFont::systemFont(fontSize);
    if (isMultiLine) {
        label->setNumberOfLines(0);
        label->setLineBreakMode(NSLineBreakByCharWrapping);
        Size size = platform::measureText(
            text, font, { frame.size.width, platform::kUnlimitedTextExtent }, platform::LineBreakMode::CharWrap);
        label->setFrame(Rect(frame.origin.x, frame.origin.y, size.width, size.height));
    }
    label->setText(text);
    label->setFont(font);
    label->setTextColor(textColor);
    label->setBackgroundColor(UIColor::clearColor());
    return label;
}

std::shared_ptr<UITableViewCell> ORBHelper::getCellFromTableView(
    const std::shared_ptr<UITableView>& tableView, const std::shared_ptr<UIView>& sender)
{
    if (!tableView || !sender)
        return nullptr;
    auto point = sender->convertPointToView(sender->bounds().origin, tableView.get());
    auto indexPath = tableView->indexPathForRowAtPoint(point);
    if (!indexPath)
        return nullptr;
    return tableView->cellForRowAtIndexPath(*indexPath);
}

std::shared_ptr<UIView> ORBHelper::assembleMessage(
    std::string_view message, const UIColor& messageColor, double width, int line)
{
    std::vector<std::string> parts;
    getImageRange(message, parts);
    MessageAssembler assembler(messageColor, width, line);
    assembler.addParts(parts);
    return assembler.finish();
}
