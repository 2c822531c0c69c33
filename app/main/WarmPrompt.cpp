#include "app/main/WarmPrompt.h"

#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"

std::shared_ptr<WarmPrompt> WarmPrompt::make()
{
    auto prompt = std::make_shared<WarmPrompt>();
    auto content = std::dynamic_pointer_cast<UIView>(platform::LayoutLoader::firstTopLevelObject(kClassName, prompt));
    if (content) {
        prompt->setFrame(platform::Rect(platform::Point(0, 0), content->frame().size));
        prompt->setBackgroundColor(content->backgroundColor());
        prompt->setClipsToBounds(true);
        content->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
        prompt->addSubview(content);
    }
    return prompt;
}

void WarmPrompt::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    bindings.outlet("promptBtn", promptBtn_);
    bindings.outlet("prompContent", prompContent_);
    bindings.outlet("btnCheck", btnCheck_);
    bindings.outlet("lblCheck", lblCheck_);
    bindings.action("notShowNextTime:", &WarmPrompt::notShowNextTime);
    bindings.action("closePromptAction:", &WarmPrompt::closePromptAction);
}

void WarmPrompt::notShowNextTime(UIControl* sender)
{
    if (sender)
        sender->setSelected(!sender->isSelected());
}

void WarmPrompt::closePromptAction(UIControl*)
{
    if (auto delegate = delegate_.lock())
        delegate->closePromptWithNotNext(promptBtn_->isSelected());
}

void WarmPrompt::addHeight(double h)
{
    auto grow = [h](const std::shared_ptr<UIView>& view) {
        auto frame = view->frame();
        frame.size.height += h;
        view->setFrame(frame);
    };
    auto moveDown = [h](const std::shared_ptr<UIView>& view) {
        auto frame = view->frame();
        frame.origin.y += h;
        view->setFrame(frame);
    };
    grow(prompContent_);
    auto frame = this->frame();
    frame.size.height += h;
    setFrame(frame);
    moveDown(btnCheck_);
    moveDown(lblCheck_);
    moveDown(promptBtn_);
    lblCheck_->setText(kCheckCaption);
}
