#pragma once

#include "foundation/http/HTTPRequestDelegate.h"
#include "platform/uikit/LayoutLoader.h"
#include "platform/uikit/UIActionSheet.h"
#include "platform/uikit/UIControl.h"

#include <memory>
#include <string>
#include <vector>

namespace foundation {
class HTTPRequest;
}
class UILabel;

// What the photo and voice attachment tiles share: the layout they load, the
// theme of their background and title, the upload they run (one at a time,
// cancelled without a word when replaced or when the tile goes), the progress
// title and the small menu a tap opens.
class MessageSendTile : public UIControl,
                        public platform::LayoutBindable,
                        public foundation::HTTPRequestDelegate,
                        public foundation::ProgressDelegate,
                        public UIActionSheetDelegate {
public:
    static constexpr double kCornerRadius = 4.0;
    static constexpr const char* kUploadedTitle = "已上传";
    static constexpr const char* kUploadFailedTitle = "上传失败";
    static constexpr const char* kCancelTitle = "取消";

    ~MessageSendTile() override;

    const std::shared_ptr<UILabel>& lblTitle() const { return lblTitle_; }
    const std::shared_ptr<UIView>& bgView() const { return bgView_; }
    const std::shared_ptr<foundation::HTTPRequest>& request() const { return request_; }
    // Cancels the running upload, which then reports nothing, and keeps this one.
    void setRequest(std::shared_ptr<foundation::HTTPRequest> request);
    // The upload's progress, 0 to 1, shown as a percentage.
    void showProgress(float progress);
    // Opens the tile's menu in the key window.
    void touchUpInside();

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;

protected:
    MessageSendTile() = default;
    // Loads the layout into the tile: its root's frame, colour and subviews.
    void loadLayout(std::string_view name);
    void setTitle(const std::string& text);
    // The menu's destructive and other button titles.
    virtual std::string removeTitle() const = 0;
    virtual std::string otherTitle() const = 0;
    // Starts the upload as this tile's one request.
    void startUpload(std::shared_ptr<foundation::HTTPRequest> request);
    // The upload has answered: the reply logged, the tile titled by whether
    // the address it brought was stored.
    void uploadAnswered(const foundation::HTTPRequest& request, bool stored);
    // The upload has failed: logged and titled as a failure.
    void uploadFailed(const foundation::HTTPRequest& request);

private:
    // Subviews of the tile itself: held strongly, no cycle.
    std::shared_ptr<UIView> bgView_;
    std::shared_ptr<UILabel> lblTitle_;
    std::shared_ptr<foundation::HTTPRequest> request_;
    bool awoken_ = false;
};
