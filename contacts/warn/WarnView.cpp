#include "contacts/warn/WarnView.h"

#include "platform/os/FileUtil.h"
#include "platform/os/PlatformJson.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIScrollView.h"

#include <algorithm>
#include <cmath>

std::shared_ptr<WarnView> WarnView::make(int variant)
{
    // Each variant is loaded on its own, so that its outlets are its own:
    // loaded together, the file's first object would own them all.
    auto text = platform::FileUtil::readText(platform::LayoutLoader::pathFor(kClassName));
    auto file = text ? platform::PlatformJson::read(*text) : std::nullopt;
    const platform::Array* objects = file ? file->asArray() : nullptr;
    if (!objects || variant < 0 || static_cast<std::size_t>(variant) >= objects->size())
        return nullptr;
    auto one = platform::PlatformJson::write(platform::Value(platform::Array { (*objects)[static_cast<std::size_t>(variant)] }));
    if (!one)
        return nullptr;
    auto loaded = platform::LayoutLoader::loadFromText(*one, nullptr, kClassName);
    auto view = loaded.empty() ? nullptr : std::dynamic_pointer_cast<WarnView>(loaded.front());
    if (view) {
        view->variant_ = variant;
        view->layer()->setCornerRadius(kCornerRadius);
        view->setClipsToBounds(true);
    }
    return view;
}

void WarnView::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    bindings.outlet("prompContent", prompContent_);
    bindings.optionalOutlet("promptBtn", promptBtn_);
    bindings.optionalOutlet("btnCheck", btnCheck_);
    bindings.optionalOutlet("btnUncheck", btnUncheck_);
    bindings.optionalOutlet("lblCheck", lblCheck_);
    bindings.optionalAction("notShowNextTime:", &WarnView::notShowNextTime);
    bindings.action("closePromptAction:", &WarnView::closePromptAction);
}

void WarnView::setMessage(const std::string& text)
{
    prompContent_->setText(text);
    if (promptBtn_)
        promptBtn_->setSelected(false);
}

void WarnView::fitMessage(double maxHeight)
{
    if (messageScroller_)
        return;
    const platform::Rect box = prompContent_->frame();
    prompContent_->setNumberOfLines(0);
    prompContent_->setLineBreakMode(NSLineBreakByWordWrapping);
    constexpr double kUnbounded = 1e6;
    const double needed = std::ceil(prompContent_->sizeThatFits(platform::Size(box.width(), kUnbounded)).height);
    const double wanted = std::max(box.height(), needed);
    const double room = box.height() + std::max(0.0, maxHeight - frame().height());
    const double shown = std::min(wanted, room);
    const double growth = shown - box.height();
    if (growth > 0) {
        for (const auto& subview : subviews()) {
            auto moved = subview->frame();
            if (subview != prompContent_ && moved.minY() >= box.maxY())
                subview->setFrame(platform::Rect(moved.minX(), moved.minY() + growth, moved.width(), moved.height()));
        }
        auto whole = frame();
        setFrame(platform::Rect(whole.minX(), whole.minY(), whole.width(), whole.height() + growth));
    }
    if (wanted <= shown) {
        prompContent_->setFrame(platform::Rect(box.minX(), box.minY(), box.width(), shown));
        return;
    }
    // Too long for the screen: the text in full, in a box that scrolls.
    messageScroller_ = std::make_shared<UIScrollView>(platform::Rect(box.minX(), box.minY(), box.width(), shown));
    messageScroller_->setBackgroundColor(platform::Color::clearColor());
    messageScroller_->setShowsVerticalScrollIndicator(true);
    messageScroller_->setContentSize(platform::Size(box.width(), wanted));
    insertSubviewAbove(messageScroller_, prompContent_);
    prompContent_->removeFromSuperview();
    prompContent_->setFrame(platform::Rect(0, 0, box.width(), wanted));
    messageScroller_->addSubview(prompContent_);
}

void WarnView::notShowNextTime(UIControl* sender)
{
    if (sender)
        sender->setSelected(!sender->isSelected());
}

void WarnView::closePromptAction(UIControl* sender)
{
    if (auto target = delegate_.lock())
        target->closeWarningViewWithNotNext(promptBtn_ && promptBtn_->isSelected(), sender ? sender->tag() : 0);
}
