#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/os/Url.h"
#include "platform/uikit/UIActivityIndicatorView.h"
#include "platform/uikit/UIImageView.h"
#include "ui/images/RemoteImageLoader.h"

#include <memory>
#include <optional>

// ---- Any image view -------------------------------------------------------------------
// What was a category on the phone's image view: platform/uikit sits below
// this library, so these are free functions over the view. The request goes
// to the shared loader with the view as target and "setImage:" as selector.
void setImageURL(const std::shared_ptr<UIImageView>& view, const std::optional<platform::Url>& url);
// The same for a view that shows `placeholder` until its picture comes: a
// picture the shared cache already holds is shown at once instead, so a list
// reloaded with the same faces (a poll's answer, a new message) does not
// flash its placeholders for a frame, and nothing is asked of the loader.
// The view's earlier requests are dropped first, so a reused row never shows
// or later receives another picture; no address shows the placeholder.
void showImageURL(const std::shared_ptr<UIImageView>& view, const std::optional<platform::Url>& url,
    const std::shared_ptr<UIImage>& placeholder);
// The address of the view's newest queued request, or nullopt (also once it completed).
std::optional<platform::Url> imageURL(const UIImageView& view);
// The "setImage:" selector: sets the picture the way the view's own class
// does (a RemoteImageView keeps its picture for none and fades).
RemoteImageSuccess setImageSelector();
void setImageOfView(UIImageView& view, const std::shared_ptr<UIImage>& image);

// An image view that shows a spinner while its picture loads and fades the
// new picture in.
class RemoteImageView : public UIImageView {
public:
    RemoteImageView();
    explicit RemoteImageView(const platform::Rect& frame);
    ~RemoteImageView() override;
    ORB_CLASS_NAME(RemoteImageView)

    void setImageURL(const std::optional<platform::Url>& url);
    // A null image is ignored: the current picture stays.
    void setImage(const std::shared_ptr<UIImage>& image);
    // Shows the picture without a fade (a row being configured, not a
    // picture arriving); none keeps the picture.
    void setImageAtOnce(const std::shared_ptr<UIImage>& image);

    bool showActivityIndicator() const { return showActivityIndicator_; }
    void setShowActivityIndicator(bool show) { showActivityIndicator_ = show; }
    bool crossfadeImages() const { return crossfadeImages_; }
    void setCrossfadeImages(bool crossfade) { crossfadeImages_ = crossfade; }
    double crossfadeDuration() const { return crossfadeDuration_; }
    void setCrossfadeDuration(double seconds) { crossfadeDuration_ = seconds; }
    UIActivityIndicatorViewStyle activityIndicatorStyle() const { return activityIndicatorStyle_; }
    void setActivityIndicatorStyle(UIActivityIndicatorViewStyle style);
    const std::shared_ptr<UIActivityIndicatorView>& activityView() const { return activityView_; }

private:
    void setUp();

    bool showActivityIndicator_ = true;
    bool crossfadeImages_ = true;
    UIActivityIndicatorViewStyle activityIndicatorStyle_ = UIActivityIndicatorViewStyleGray;
    std::shared_ptr<UIActivityIndicatorView> activityView_;
    double crossfadeDuration_ = 0.4;
};
