#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/uikit/LayoutLoader.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIView.h"

#include <memory>
#include <string>

// A list section's header: a thin band with a title, laid out by the layout
// file named after the class.
class DefaultHeader : public UIView, public platform::LayoutBindable {
public:
    static constexpr double kHeight = 18.0;

    using UIView::UIView;
    ORB_CLASS_NAME(DefaultHeader)

    static double height() { return kHeight; }
    // The last top-level object of the layout named after the class (a
    // subclass names its own), or nullptr when the layout is missing or ends
    // with something else.
    template <class T = DefaultHeader> static std::shared_ptr<T> header()
    {
        auto objects = platform::LayoutLoader::loadNamedFor<T>(nullptr);
        return objects.empty() ? nullptr : std::dynamic_pointer_cast<T>(objects.back());
    }

    const std::string& title() const { return title_; }
    void setTitle(std::string title);
    const std::shared_ptr<UILabel>& lblTitle() const { return lblTitle_; }

    // The title label is the subview the layout names "lblTitle".
    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;

private:
    std::string title_;
    std::shared_ptr<UILabel> lblTitle_;
};
