#pragma once

#include "app/base/BaseViewController.h"
#include "core/model/MessageInfo.h"
#include "messaging/box/MessageBoxTargets.h"
#include "messaging/voice/MessageAudioPlayer.h"
#include "ui/photobrowser/PhotoBrowser.h"

#include <memory>
#include <vector>

class UIControl;
class UIImageView;
class UILabel;
class UIScrollView;
class UIView;

// One group send of this account, "查看群发消息": its text, time, voice clip
// and photos, and how it fared (SMS failed/delivered, app receivers
// unread/read). The clip plays here, the photos open full screen, and the
// button under the counters goes on to who read it.
class GroupMessageViewController final : public BaseViewController,
                                         public PhotoBrowserDelegate,
                                         public MessageAudioPlayerDelegate,
                                         public MessageRecordTarget {
public:
    ORB_CLASS_NAME(GroupMessageViewController)

    static constexpr const char* kTitle = "查看群发消息";
    // Between the text and what follows it.
    static constexpr double kTextGap = 16;
    static constexpr const char* kTimeFormat = "yy-MM-dd HH:mm";
    static constexpr const char* kStateScreen = "GroupStateViewController";

    GroupMessageViewController();
    // Leaving the screen for good ends the clip it started.
    ~GroupMessageViewController() override;

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;

    void setMessage(std::shared_ptr<core::MessageInfo> message) override;
    const std::shared_ptr<core::MessageInfo>& message() const { return message_; }
    // Lays the screen out for the message (once the view is loaded).
    void refreshView();

    void btnShowStateTouchUpInside(UIControl* sender);
    void btnPhotoTouchUpInside(UIControl* sender);
    void btnSoundTouchUpInside(UIControl* sender);
    void btnBackTouchUpInside(UIControl* sender);

    unsigned numberOfPhotosInPhotoBrowser(PhotoBrowser*) override;
    std::shared_ptr<BrowserPhotoProtocol> photoBrowserPhotoAtIndex(PhotoBrowser*, unsigned index) override;

private:
    std::shared_ptr<core::SoundInfo> firstSound() const;

    float contentMinHeight_ = 0;
    float contentMargin_ = 0;
    std::shared_ptr<core::MessageInfo> message_;
    std::shared_ptr<UIView> contentView_;
    std::shared_ptr<UILabel> lblContent_;
    std::shared_ptr<UIView> soundView_;
    std::shared_ptr<UIView> photoView_;
    std::shared_ptr<UIView> bottomView_;
    std::shared_ptr<UIImageView> imgIcon_;
    std::shared_ptr<UIView> lineView_;
    std::shared_ptr<UILabel> lblTime_;
    std::shared_ptr<UILabel> lblSms_;
    std::shared_ptr<UILabel> lblMsg_;
    std::shared_ptr<UILabel> lblSeconds_;
    std::vector<std::shared_ptr<BrowserPhotoProtocol>> photos_;
    // The clip this screen started, to stop only that one when it goes.
    std::weak_ptr<core::SoundInfo> startedSound_;
};
