#pragma once

#include "platform/os/Url.h"
#include "platform/uikit/UIViewController.h"

#include <memory>
#include <optional>
#include <string>

class UIControl;
class UIImageView;

namespace circle {

// "查看大图": one album photo over the whole screen, taken from the image
// loader's cache when it was shown before, else loaded from its address. A
// photo that cannot be loaded leaves the screen empty; the back button in
// the bar goes back.
class BrowseBigPhoto final : public UIViewController {
public:
    ORB_CLASS_NAME(BrowseBigPhoto)

    static constexpr const char* kTitle = "查看大图";
    static constexpr double kTitleWidth = 190;
    static constexpr double kTitleHeight = 22;
    static constexpr double kTitleFontSize = 18;

    BrowseBigPhoto();

    // The photo's address as the server wrote it.
    const std::string& url() const { return url_; }
    void setUrl(std::string url) { url_ = std::move(url); }

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    void btnGoBackAction(UIControl* sender);

    const std::shared_ptr<UIImageView>& imgPhoto() const { return imgPhoto_; }
    const std::shared_ptr<UIView>& leftItem() const { return leftItem_; }

private:
    std::string url_;
    std::shared_ptr<UIImageView> imgPhoto_;
    std::shared_ptr<UIView> leftItem_;
};

} // namespace circle
