#pragma once

#include "app/base/BaseViewController.h"

#include <memory>

class UIControl;
class UIImageView;
class UILabel;

// "关于瑞鸥": the application's title and version over a footer text.
class AboutViewController final : public BaseViewController {
public:
    ORB_CLASS_NAME(AboutViewController)

    static constexpr const char* kApplicationTitle = "东岭瑞鸥iPhone客户端";

    AboutViewController();
    explicit AboutViewController(std::string nibName);

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void btnBackTouchUpInside(UIControl* sender);

private:
    std::shared_ptr<UILabel> lblVersion_;
    std::shared_ptr<UILabel> lblRight_;
    std::shared_ptr<UIImageView> imgViewIcon_;
};
