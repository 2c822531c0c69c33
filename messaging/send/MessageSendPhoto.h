#pragma once

#include "core/model/PhotoInfo.h"
#include "messaging/send/MessageSendTile.h"

#include <functional>
#include <memory>

class MessageSendPhoto;
class UIImageView;

// What a photo tile tells its screen. Every member is optional: one left
// empty is a method the delegate does not have.
class MessageSendPhotoDelegate {
public:
    virtual ~MessageSendPhotoDelegate() = default;
    using Callback = std::function<void(MessageSendPhoto& tile)>;
    Callback messageSendPhotoDidRemove;
    Callback messageSendPhotoDidShow;
    // The upload ended: the photo has its addresses in `info` when it worked.
    Callback messageSendPhotoDidUpload;
};

// The photo attachment tile of the writing screens: the thumbnail with the
// photo's size, then its upload progress and outcome.
class MessageSendPhoto final : public MessageSendTile {
public:
    ORB_CLASS_NAME(MessageSendPhoto)
    static constexpr const char* kRemoveTitle = "删除该照片";
    static constexpr const char* kShowTitle = "查看大图";

    // The tile from the layout "MessageSendPhoto", reporting to the delegate.
    static std::shared_ptr<MessageSendPhoto> photoWithDelegate(std::weak_ptr<MessageSendPhotoDelegate> delegate);

    std::shared_ptr<MessageSendPhotoDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<MessageSendPhotoDelegate> delegate) { delegate_ = std::move(delegate); }
    const std::shared_ptr<core::PhotoInfo>& info() const { return info_; }
    void setInfo(std::shared_ptr<core::PhotoInfo> info);
    const std::shared_ptr<UIImageView>& imgView() const { return imgView_; }

    // Attaches a picked picture (scaled, written as JPEG) and shows its size
    // in whole kilobytes; false when it could not be stored.
    bool setImage(const platform::Image& image);
    // Uploads into the folder of the photo type, or reports at once when the
    // photo already has its addresses. Exactly one upload report per call.
    void upload(int photoType);

    void requestUploadSucceeded(const foundation::HTTPRequestPtr& request);
    void requestUploadFailed(const foundation::HTTPRequestPtr& request);

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;
    void actionSheetDidDismiss(UIActionSheet* sheet, long buttonIndex) override;

    MessageSendPhoto() = default;

protected:
    std::string removeTitle() const override { return kRemoveTitle; }
    std::string otherTitle() const override { return kShowTitle; }

private:
    void tell(const MessageSendPhotoDelegate::Callback MessageSendPhotoDelegate::*method);

    std::weak_ptr<MessageSendPhotoDelegate> delegate_;
    std::shared_ptr<core::PhotoInfo> info_ = std::make_shared<core::PhotoInfo>();
    std::shared_ptr<UIImageView> imgView_;
};
