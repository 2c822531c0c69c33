#include "contacts/calls/VelaDialView.h"

#include "app/base/BaseViewController.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UITextField.h"

namespace {
constexpr double kKeyWidth = VelaDialView::kWidth / 3;
const platform::Color kKeyBackground = platform::Color::fromRGB255(58, 64, 72);
} // namespace

std::shared_ptr<VelaDialView> VelaDialView::sharedVelaDialView()
{
    static const std::shared_ptr<VelaDialView> shared = [] {
        auto pad = std::make_shared<VelaDialView>();
        pad->build();
        return pad;
    }();
    return shared;
}

VelaDialView::VelaDialView()
    : UIView(platform::Rect(0, 0, kWidth, kHeight))
{
}

std::shared_ptr<UIButton> VelaDialView::addKey(const std::shared_ptr<UIView>& parent, const platform::Rect& frame,
    int tag, const std::string& title, const std::string& image, bool fold)
{
    auto key = UIButton::buttonWithType(UIButtonTypeCustom);
    key->setFrame(frame);
    key->setTag(tag);
    key->setBackgroundColor(kKeyBackground);
    key->setShowsTouchWhenHighlighted(true);
    if (!title.empty())
        key->setTitle(title, UIControlStateNormal);
    key->setBackgroundImage(UIImage::imageNamed(image), UIControlStateNormal);
    if (fold)
        key->addTarget(self(), &VelaDialView::onButtonOnOffPressed, UIControlEventTouchUpInside);
    else
        key->addTarget(self(), &VelaDialView::onKeyPressed, UIControlEventTouchUpInside);
    parent->addSubview(key);
    keys_.push_back(key);
    return key;
}

void VelaDialView::build()
{
    if (built_)
        return;
    built_ = true;
    numberView_ = std::make_shared<UIView>(platform::Rect(0, 0, kWidth, kKeyAreaHeight));
    addSubview(numberView_);
    txtNumber_ = std::make_shared<UITextField>(platform::Rect(0, 0, kWidth, kFieldHeight));
    txtNumber_->setBorderStyle(UITextBorderStyleRoundedRect);
    txtNumber_->setFont(UIFont::systemFont(20));
    txtNumber_->setPlaceholder("请输入号码");
    txtNumber_->setEnabled(false);
    txtNumber_->setOutletName("txtNumber");
    numberView_->addSubview(txtNumber_);
    const char* titles[] = { "1", "2", "3", "4", "5", "6", "7", "8", "9", "*", "0", "#" };
    const int tags[] = { 1, 2, 3, 4, 5, 6, 7, 8, 9, kStarTag, 0, kHashTag };
    const char* images[] = { "num_1.png", "num_2.png", "num_3.png", "num_4.png", "num_5.png", "num_6.png",
        "num_7.png", "num_8.png", "num_9.png", "num_-.png", "num_0.png", "num_#.png" };
    for (int i = 0; i < 12; ++i) {
        platform::Rect frame((i % 3) * kKeyWidth, kFieldHeight + (i / 3) * kKeyHeight, kKeyWidth, kKeyHeight);
        addKey(numberView_, frame, tags[i], titles[i], images[i], false);
    }
    controlView_ = std::make_shared<UIView>(platform::Rect(0, kKeyAreaHeight, kWidth, kBarHeight));
    auto barBackground = std::make_shared<UIImageView>(UIImage::imageNamed("num_bottom_bg.png"));
    barBackground->setFrame(platform::Rect(0, 0, kWidth, kBarHeight));
    controlView_->addSubview(barBackground);
    addSubview(controlView_);
    addKey(controlView_, platform::Rect(0, 0, kKeyWidth, kBarHeight), kFoldTag, "", "cn_btn_off.png", true);
    auto dial
        = addKey(controlView_, platform::Rect(kKeyWidth, 0, kKeyWidth, kBarHeight), kDialTag, "", "cn_btn_dial_normal.png", false);
    dial->setBackgroundImage(UIImage::imageNamed("cn_btn_dial_selected.png"), UIControlStateHighlighted);
    addKey(controlView_, platform::Rect(2 * kKeyWidth, 0, kKeyWidth, kBarHeight), kDeleteTag, "", "cn_btn_del.png", false);
}

std::shared_ptr<UIButton> VelaDialView::keyWithTag(int tag) const
{
    for (const auto& key : keys_) {
        if (key->tag() == tag)
            return key;
    }
    return nullptr;
}

std::string VelaDialView::number() const { return txtNumber_ ? txtNumber_->text() : std::string(); }

void VelaDialView::showInView(const std::shared_ptr<UIView>& view)
{
    if (!view)
        return;
    build();
    setBackgroundColor(platform::Color::whiteColor());
    removeFromSuperview();
    view->addSubview(self());
    // The pad stands at the foot of the screen, and stays there when the
    // screen's view is sized into its container.
    setAutoresizingMask(UIViewAutoresizingFlexibleTopMargin);
    BaseViewController::pinToVisibleBottom(*this, kBottomGap);
}

void VelaDialView::onKeyPressed(UIControl* sender)
{
    if (!sender)
        return;
    const int tag = sender->tag();
    std::string text = number();
    if (tag >= 0 && tag <= 9) {
        text += static_cast<char>('0' + tag);
    } else if (tag == kStarTag) {
        text += "*";
    } else if (tag == kHashTag) {
        text += "#";
    } else if (tag == kDeleteTag) {
        if (!text.empty())
            text.pop_back();
    } else if (tag == kDialTag) {
        handleCall(text);
        return;
    } else {
        return;
    }
    txtNumber_->setText(text);
}

void VelaDialView::handleCall(const std::string& number)
{
    if (number.empty())
        return;
    if (auto target = delegate_.lock())
        target->onDialView(*this, number);
}

void VelaDialView::onButtonOnOffPressed(UIControl*)
{
    isLayOn_ = !isLayOn_;
    if (auto fold = keyWithTag(kFoldTag))
        fold->setBackgroundImage(UIImage::imageNamed(isLayOn_ ? "cn_btn_on.png" : "cn_btn_off.png"), UIControlStateNormal);
    const bool folding = isLayOn_;
    // The changes apply at once, while the pad is certainly there.
    UIView::animateWithDuration(kFoldDuration, [self = self(), folding] {
        auto frame = self->frame();
        const double shift = folding ? kKeyAreaHeight : -kKeyAreaHeight;
        self->setFrame(platform::Rect(frame.minX(), frame.minY() + shift, frame.width(), frame.height() - shift));
        self->controlView_->setFrame(platform::Rect(0, folding ? 0 : kKeyAreaHeight, kWidth, kBarHeight));
        self->numberView_->setAlpha(folding ? 0 : 1);
    });
    txtNumber_->setText("");
}
