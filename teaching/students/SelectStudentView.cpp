#include "teaching/students/SelectStudentView.h"

#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UITapGestureRecognizer.h"
#include "ui/Lifetime.h"
#include "ui/images/RemoteImageLoader.h"
#include "ui/images/RemoteImageView.h"

namespace {

constexpr double kCheckBoxX = 35;
constexpr double kCheckBoxY = 38;
constexpr double kCheckBoxWidth = 35;
constexpr double kCheckBoxHeight = 28;

} // namespace

SelectStudentView::SelectStudentView(const platform::Rect& frame)
    : UIView(frame)
{
}

void SelectStudentView::setStudentInfo(std::shared_ptr<core::StudentInfo> info)
{
    studentInfo_ = std::move(info);
    redraw();
}

void SelectStudentView::redraw()
{
    auto views = subviews();
    for (const auto& view : views)
        view->removeFromSuperview();
    if (!studentInfo_)
        return;
    // A student the server sent without a name is still a student: an empty
    // caption, never the whole class's.
    if (!studentInfo_->studentName.empty() || studentInfo_->type != kWholeClassType)
        studentName_ = studentInfo_->studentName;
    else
        studentName_ = kWholeClassCaption;

    const double width = bounds().size.width;
    auto url = studentInfo_->studentPic.empty() ? std::nullopt : platform::Url::parse(studentInfo_->studentPic);
    auto photo = std::make_shared<UIImageView>(platform::Rect((width - kPhotoSide) / 2, 0, kPhotoSide, kPhotoSide));
    if (url) {
        photo->layer()->setCornerRadius(kPhotoCornerRadius);
        photo->setClipsToBounds(true);
        if (auto cached = RemoteImageLoader::defaultCache()->objectForKey(*url))
            photo->setImage(cached);
        else
            setImageURL(photo, url);
    } else {
        photo->setImage(UIImage::imageNamed(kWholeClassImage));
    }
    addSubview(photo);

    auto caption = std::make_shared<UILabel>(platform::Rect(0, kCaptionTop, width, kCaptionHeight));
    caption->setBackgroundColor(platform::Color::clearColor());
    caption->setTextColor(platform::Color::blackColor());
    caption->setFont(UIFont::systemFont(kCaptionFontSize));
    caption->setTextAlignment(NSTextAlignmentCenter);
    caption->setLineBreakMode(NSLineBreakByTruncatingTail);
    caption->setText(studentName_);
    addSubview(caption);

    auto checkBox = std::make_shared<UIButton>(platform::Rect(kCheckBoxX, kCheckBoxY, kCheckBoxWidth, kCheckBoxHeight));
    checkBox->setBackgroundImage(UIImage::imageNamed(kCheckBoxImage), UIControlStateNormal);
    checkBox->setImage(UIImage::imageNamed(kCheckMarkImage), UIControlStateSelected);
    checkBox->setSelected(studentInfo_->isSelected);
    if (auto self = std::static_pointer_cast<SelectStudentView>(sharedView()))
        checkBox->addTarget(self, &SelectStudentView::selectedAction, UIControlEventTouchUpInside);
    addSubview(checkBox);

    if (!tapAdded_) {
        if (auto self = std::static_pointer_cast<SelectStudentView>(sharedView())) {
            auto tap = std::make_shared<UITapGestureRecognizer>();
            tap->addTarget(self, &SelectStudentView::selectedAction);
            addGestureRecognizer(tap);
            tapAdded_ = true;
        }
    }
}

void SelectStudentView::selectedAction()
{
    if (!studentInfo_)
        return;
    std::weak_ptr<SelectStudentView> weak = std::static_pointer_cast<SelectStudentView>(sharedView());
    UIView::animateWithDuration(
        kFadeSeconds, weakCall(weak, [](SelectStudentView& tile) { tile.setAlpha(kFadeAlpha); }),
        weakCall(weak, [](SelectStudentView& tile, bool) { tile.finishSelection(); }));
}

void SelectStudentView::finishSelection()
{
    if (!studentInfo_)
        return;
    studentInfo_->isSelected = !studentInfo_->isSelected;
    redraw();
    setAlpha(1.0);
    if (auto target = delegate_.lock())
        target->didSelectedStudent(tag(), studentInfo_->isSelected);
}
