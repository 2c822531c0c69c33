#pragma once

#include "core/model/WeiboData.h"
#include "ui/photobrowser/PhotoBrowser.h"
#include "ui/tables/BaseCell.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

class UIButton;
class UIControl;
class UIImageView;
class UILabel;
class UIView;
class UIGestureRecognizer;

namespace circle {

// What a post row's buttons ask of the screen that lists it.
class WeiboCellDelegate {
public:
    virtual ~WeiboCellDelegate() = default;
    virtual void btnDoComment(UIControl* sender) = 0;
    virtual void btnDoPraise(UIControl* sender) = 0;
};

// One post laid out: the sender's avatar, name and time, the text with its
// emoji pictures, one large picture or a grid of up to six, the praise
// button (the count, marked once the person praised the post) and the
// comment button showing the count. The feed's row and the detail's first
// row are this same layout; they differ only in how many text lines they
// show, so the height rule and the filling live here once.
class WeiboContentCell : public BaseCell, public PhotoBrowserDelegate {
public:
    static constexpr double kTextWidth = 240;
    static constexpr double kTextX = 68;
    static constexpr double kTextY = 36;
    // Below the text: name and time above it, the pictures and the buttons under it.
    static constexpr double kNoImageExtra = 91;
    static constexpr double kOneImageExtra = 236;
    static constexpr double kFewImagesExtra = 170;
    static constexpr double kManyImagesExtra = 236;
    static constexpr int kGridSlots = 6;
    static constexpr double kCommentButtonRight = 308;
    static constexpr double kCommentButtonMinWidth = 54;
    static constexpr double kCommentButtonPadding = 20;
    // The praise button stands left of the comment button, as wide as its
    // title needs (at least as wide as the comment button at its narrowest).
    static constexpr double kPraiseButtonGap = 10;
    static constexpr int kFeedLines = 6;
    static constexpr int kAllLines = 32767;

    static constexpr const char* kDefaultAvatar = "jxq_default_photo";
    static constexpr const char* kImagePlaceholder = "orb_gray_logo";
    static constexpr const char* kPraiseWord = "赞";
    static constexpr const char* kPraisedWord = "已赞";

    // The praise button's title: the word, then the count when there is one
    // ("赞 5"); once the person has praised the post, "已赞 6".
    static std::string praiseTitle(int count, bool praised);

    // The post's text as the row shows it: dark grey, 240 points wide, at
    // most `lines` lines, each line break of the post starting a new row.
    static std::shared_ptr<UIView> textView(const core::WeiboData& data, int lines);
    // Text height plus the part below it for the post's number of pictures.
    static double heightForWeiboData(const core::WeiboData& data, int lines);
    // The grid position picture i takes: two or three pictures sit in the
    // lower row (positions 3 to 5), four to six fill it from position 0.
    static int slotForImage(std::size_t imageCount, std::size_t index);

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;
    void prepareForReuse() override;

    void configWithWeiboData(std::shared_ptr<core::WeiboData> data);
    const std::shared_ptr<core::WeiboData>& data() const { return data_; }
    void setDelegate(std::weak_ptr<WeiboCellDelegate> delegate) { delegate_ = std::move(delegate); }

    // A tap on a picture: the browser over all of the post's pictures,
    // opened at the tapped one.
    void onTapImage(UIGestureRecognizer* recognizer);
    unsigned numberOfPhotosInPhotoBrowser(PhotoBrowser*) override;
    std::shared_ptr<BrowserPhotoProtocol> photoBrowserPhotoAtIndex(PhotoBrowser*, unsigned index) override;

    void btnDoComment(UIControl* sender);
    void btnDoPraise(UIControl* sender);

    std::shared_ptr<UIView> viewContent() const { return viewContent_; }
    const std::vector<std::shared_ptr<UIImageView>>& imvSmallContentImages() const { return imvSmallContentImages_; }

protected:
    // How many lines of the text this row shows.
    virtual int textLines() const = 0;

private:
    void openBrowserAt(unsigned index);
    void layoutCommentButton();
    void layoutPraiseButton();

    std::shared_ptr<core::WeiboData> data_;
    std::weak_ptr<WeiboCellDelegate> delegate_;
    std::shared_ptr<UIImageView> imvPhoto_;
    std::shared_ptr<UILabel> lblName_;
    std::shared_ptr<UILabel> lblTime_;
    std::shared_ptr<UIView> viewContent_;
    std::shared_ptr<UIImageView> imvBigContentImage_;
    std::shared_ptr<UIView> smallContentImageContainer_;
    std::vector<std::shared_ptr<UIImageView>> imvSmallContentImages_;
    std::shared_ptr<UIButton> btnComment_;
    std::shared_ptr<UIButton> btnPraise_;
    std::vector<std::shared_ptr<UIGestureRecognizer>> taps_;
};

} // namespace circle
