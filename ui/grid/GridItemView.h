#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/uikit/LayoutLoader.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"

#include <memory>

// One tile of a grid: an icon over a title on a rounded coloured background,
// with a button over the whole tile for the tap. Its look comes from the
// layout "GridItemView", loaded with the tile as owner.
class GridItemView : public UIView, public platform::LayoutBindable {
public:
    ORB_CLASS_NAME(GridItemView)

    GridItemView() = default;
    // A tile with its layout loaded (what init gives).
    static std::shared_ptr<GridItemView> make();

    const std::shared_ptr<UIImageView>& imageView() const { return imageView_; }
    const std::shared_ptr<UILabel>& label() const { return label_; }
    const std::shared_ptr<UIButton>& button() const { return button_; }
    const std::shared_ptr<UIImageView>& backgroudImage() const { return backgroudImage_; }
    int flag() const { return flag_; }
    void setFlag(int flag) { flag_ = flag; }

    // Forwarded to the button, which covers the tile.
    template <class Owner, class T, class Arg>
    void addTarget(const std::shared_ptr<Owner>& target, void (T::*action)(Arg*), unsigned events)
    {
        if (auto b = button())
            b->addTarget(target, action, events);
    }

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;

private:
    // The layout's views are the tile's subviews; these only point at them.
    std::shared_ptr<UIImageView> imageView_;
    std::shared_ptr<UILabel> label_;
    std::shared_ptr<UIButton> button_;
    std::shared_ptr<UIImageView> backgroudImage_;
    int flag_ = 0;
};
