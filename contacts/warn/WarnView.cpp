#include "contacts/warn/WarnView.h"

#include "platform/os/FileUtil.h"
#include "platform/os/PlatformJson.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"

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
