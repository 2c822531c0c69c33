#pragma once

#include "core/model/ContactInfo.h"
#include "foundation/http/HTTPRequestDelegate.h"
#include "platform/uikit/UIActionSheet.h"
#include "ui/tables/BaseCell.h"

#include <memory>
#include <optional>
#include <string>

namespace foundation {
class HTTPRequest;
}
class UIControl;
class UIImageView;
class UILabel;

class CTDViewCellDelegate {
public:
    virtual ~CTDViewCellDelegate() = default;
    // A call-back is about to be asked for: the keyboard goes away.
    virtual void callCTDNow() = 0;
};

// A contact with a call-back address: picture, name, remarks, group and
// phone, and the button that has the server call the contact back after
// the person confirms. Only an absolute http(s) address is fetched; any
// answer ends the waiting overlay with "呼叫成功" or "呼叫失败", and a new
// call-back replaces the one still out.
class CTDViewCell final : public BaseCell, public foundation::HTTPRequestDelegate, public UIActionSheetDelegate {
public:
    ORB_CLASS_NAME(CTDViewCell)

    static constexpr const char* kIdentifier = "CustomCellIdentifier";
    static constexpr int kSheetTag = 1;
    static constexpr const char* kSheetTitle = "使用CTD方式拨打,可直接免费通话\n(每月免费享受星河网内通话500分钟)";

    CTDViewCell() = default;
    ~CTDViewCell() override;

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;

    void setContact(std::shared_ptr<core::ContactInfo> contact);
    const std::shared_ptr<core::ContactInfo>& contact() const { return contact_; }
    void setDelegate(std::weak_ptr<CTDViewCellDelegate> delegate) { delegate_ = std::move(delegate); }

    void btnCTDCellAction(UIControl* sender);
    void actionSheetClickedButton(UIActionSheet* sheet, long buttonIndex) override;
    void requestCtdSucceeded(const foundation::HTTPRequestPtr& request);
    void requestCtdFailed(const foundation::HTTPRequestPtr& request);

    // Whether the reply says the call-back was placed: an object whose
    // "resultState" is 1 (the number or the text).
    static bool replyPlacedCall(const std::optional<platform::Value>& reply);
    // Only an absolute http or https address is asked.
    static bool isCallBackAddress(const std::string& address);

private:
    std::shared_ptr<CTDViewCell> self() { return std::static_pointer_cast<CTDViewCell>(shared_from_this()); }
    std::shared_ptr<core::ContactInfo> contact_;
    std::string ctdUrl_;
    std::shared_ptr<foundation::HTTPRequest> ctdRequest_;
    std::weak_ptr<CTDViewCellDelegate> delegate_;
    std::shared_ptr<UIImageView> imgHead_;
    std::shared_ptr<UILabel> labName_;
    std::shared_ptr<UILabel> labRole_;
    std::shared_ptr<UILabel> labClass_;
    std::shared_ptr<UILabel> labPhoneNumber_;
    // The row's button (its action is wired in the layout); tests tap it by name.
    std::shared_ptr<UIControl> btnCall_;
};
