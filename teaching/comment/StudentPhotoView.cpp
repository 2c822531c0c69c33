#include "teaching/comment/StudentPhotoView.h"

#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UITapGestureRecognizer.h"
#include "ui/Lifetime.h"
#include "ui/controls/UIColorHelper.h"
#include "ui/images/RemoteImageLoader.h"
#include "ui/images/RemoteImageView.h"

StudentPhotoView::StudentPhotoView()
{
    setBackgroundColor(platform::Color::clearColor());
    setUserInteractionEnabled(true);
}

StudentPhotoView::StudentPhotoView(const platform::Rect& frame)
    : UIView(frame)
{
    setBackgroundColor(platform::Color::clearColor());
    setUserInteractionEnabled(true);
}

void StudentPhotoView::setStudentInfo(std::shared_ptr<core::StudentInfo> info)
{
    studentInfo_ = std::move(info);
    redraw();
}

void StudentPhotoView::setHasName(bool hasName)
{
    hasName_ = hasName;
    redraw();
}

void StudentPhotoView::setHasHistory(bool hasHistory)
{
    hasHistory_ = hasHistory;
    redraw();
}

void StudentPhotoView::redraw()
{
    auto views = subviews();
    for (const auto& view : views)
        view->removeFromSuperview();
    if (!studentInfo_)
        return;
    const double w = bounds().size.width;
    const double h = bounds().size.height;

    auto photo = std::make_shared<UIImageView>(platform::Rect(0, 0, h, h));
    photo->layer()->setCornerRadius(kPhotoCornerRadius);
    photo->setClipsToBounds(true);
    if (auto url = platform::Url::parse(studentInfo_->studentPic); url && !studentInfo_->studentPic.empty()) {
        if (auto cached = RemoteImageLoader::defaultCache()->objectForKey(*url))
            photo->setImage(cached);
        else
            setImageURL(photo, url);
    }
    addSubview(photo);

    if (hasName_) {
        auto name = std::make_shared<UILabel>(platform::Rect(h + kNameGap, kNameTop, w - h - kNameGap, kNameHeight));
        name->setBackgroundColor(platform::Color::clearColor());
        name->setFont(UIFont::systemFont(kNameFontSize));
        name->setText(studentInfo_->studentName);
        addSubview(name);
    }
    auto self = std::static_pointer_cast<StudentPhotoView>(sharedView());
    if (hasHistory_ && hasName_ && self) {
        auto button = std::make_shared<UIButton>(
            platform::Rect(h + kNameGap, h - kButtonHeight, kButtonWidth, kButtonHeight));
        button->setBackgroundImage(UIImage::imageNamed(kHistoryButtonImage), UIControlStateNormal);
        button->setTitle(std::string(kHistoryTitle), UIControlStateNormal);
        button->titleLabel()->setFont(UIFont::systemFont(kButtonFontSize));
        button->setTitleColor(UIColorHelper::colorWithString(kHistoryTitleColor), UIControlStateNormal);
        button->addTarget(self, &StudentPhotoView::commentHistory, UIControlEventTouchUpInside);
        addSubview(button);
    }
    if (hasHistory_ && !hasName_ && !tapAdded_ && self) {
        auto tap = std::make_shared<UITapGestureRecognizer>();
        tap->addTarget(self, &StudentPhotoView::photoTapped);
        addGestureRecognizer(tap);
        tapAdded_ = true;
    }
}

void StudentPhotoView::commentHistory(UIControl*) { tellDelegate(); }

void StudentPhotoView::photoTapped()
{
    if (!hasHistory_ || hasName_)
        return;
    std::weak_ptr<StudentPhotoView> weak = std::static_pointer_cast<StudentPhotoView>(sharedView());
    UIView::animateWithDuration(
        kFadeSeconds, weakCall(weak, [](StudentPhotoView& view) { view.setAlpha(kFadeAlpha); }),
        weakCall(weak, [](StudentPhotoView& view, bool) {
            view.setAlpha(1.0);
            view.tellDelegate();
        }));
}

void StudentPhotoView::tellDelegate()
{
    if (auto target = delegate_.lock(); target && studentInfo_)
        target->goToCommentHistory(studentInfo_);
}
