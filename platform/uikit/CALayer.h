#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"
#include "platform/os/RunLoop.h"
#include "platform/os/Value.h"
#include "platform/uikit/CATransform3D.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

class CAAnimation;
class UIImage;
class UIView;

// How a layer's contents image fills its bounds.
inline constexpr const char* kCAGravityResize = "resize";
inline constexpr const char* kCAGravityResizeAspect = "resizeAspect";
inline constexpr const char* kCAGravityResizeAspectFill = "resizeAspectFill";
inline constexpr const char* kCAGravityCenter = "center";
inline constexpr const char* kCAGravityTop = "top";
inline constexpr const char* kCAGravityBottom = "bottom";
inline constexpr const char* kCAGravityLeft = "left";
inline constexpr const char* kCAGravityRight = "right";
inline constexpr const char* kCAGravityTopLeft = "topLeft";
inline constexpr const char* kCAGravityTopRight = "topRight";
inline constexpr const char* kCAGravityBottomLeft = "bottomLeft";
inline constexpr const char* kCAGravityBottomRight = "bottomRight";

inline constexpr const char* kCAFilterLinear = "linear";
inline constexpr const char* kCAFilterNearest = "nearest";
inline constexpr const char* kCAFilterTrilinear = "trilinear";

// The drawing properties of a view (every view has one layer), or a
// free-standing layer added as a sublayer. A view's alpha, transform, hidden
// flag and background colour are its layer's opacity, transform, hidden flag
// and background colour: one value read from either side.
class CALayer : public platform::Object, public std::enable_shared_from_this<CALayer> {
public:
    CALayer() = default;
    ~CALayer() override;
    CALayer(const CALayer&) = delete;
    CALayer& operator=(const CALayer&) = delete;

    ORB_CLASS_NAME(CALayer)

    // The view this layer draws, or nullptr for a free-standing layer.
    std::shared_ptr<UIView> view() const { return view_.lock(); }

    // Geometry of a free-standing layer (a view's layer reads its view's).
    platform::Rect frame() const;
    void setFrame(const platform::Rect& frame);
    platform::Rect bounds() const;
    void setBounds(const platform::Rect& bounds);
    platform::Point position() const;
    void setPosition(platform::Point position);

    double cornerRadius() const { return cornerRadius_; }
    void setCornerRadius(double radius);
    double borderWidth() const { return borderWidth_; }
    void setBorderWidth(double width);
    platform::Color borderColor() const { return borderColor_; }
    void setBorderColor(const platform::Color& color);
    platform::Color backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(const platform::Color& color);

    platform::Color shadowColor() const { return shadowColor_; }
    void setShadowColor(const platform::Color& color);
    platform::Size shadowOffset() const { return shadowOffset_; }
    void setShadowOffset(platform::Size offset);
    double shadowOpacity() const { return shadowOpacity_; }
    void setShadowOpacity(double opacity);
    double shadowRadius() const { return shadowRadius_; }
    void setShadowRadius(double radius);

    std::shared_ptr<UIImage> contents() const { return contents_; }
    void setContents(std::shared_ptr<UIImage> image);
    const std::string& contentsGravity() const { return contentsGravity_; }
    void setContentsGravity(std::string gravity);
    double contentsScale() const { return contentsScale_; }
    void setContentsScale(double scale);
    const std::string& minificationFilter() const { return minificationFilter_; }
    void setMinificationFilter(std::string filter) { minificationFilter_ = std::move(filter); }

    const CATransform3D& transform() const { return transform_; }
    void setTransform(const CATransform3D& transform);
    double opacity() const { return opacity_; }
    void setOpacity(double opacity);
    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden);
    bool masksToBounds() const { return masksToBounds_; }
    void setMasksToBounds(bool masks);
    bool isOpaque() const { return opaque_; }
    void setOpaque(bool opaque) { opaque_ = opaque; }

    // Free-standing sublayers, drawn above the layer's own contents and below
    // its view's subviews (the views' layers are not listed here).
    const std::vector<std::shared_ptr<CALayer>>& sublayers() const { return sublayers_; }
    void addSublayer(std::shared_ptr<CALayer> layer);
    void insertSublayer(std::shared_ptr<CALayer> layer, std::size_t index);
    void removeFromSuperlayer();
    std::shared_ptr<CALayer> superlayer() const { return superlayer_.lock(); }

    // Animation objects, by key. Adding one records it; it stays until its
    // duration has passed on the main loop's clock (or removeAllAnimations),
    // then its did-stop callback runs. An empty key gets a generated one.
    void addAnimation(std::shared_ptr<CAAnimation> animation, std::string key);
    std::shared_ptr<CAAnimation> animationForKey(const std::string& key) const;
    std::vector<std::string> animationKeys() const;
    void removeAnimationForKey(const std::string& key);
    // Also ends the view animations still running on this layer's view: their
    // completions run with finished = false.
    void removeAllAnimations();

    // For UIView, which owns its layer.
    void attachToView(std::weak_ptr<UIView> view) { view_ = std::move(view); }

private:
    friend class UIView;
    struct RunningAnimation {
        std::string key;
        std::shared_ptr<CAAnimation> animation;
        platform::RunLoop::TimerId timer = 0;
    };
    void noteChange(const char* property);

    std::weak_ptr<UIView> view_;
    platform::Rect bounds_;
    platform::Point position_;
    double cornerRadius_ = 0;
    double borderWidth_ = 0;
    platform::Color borderColor_ = platform::Color::blackColor();
    platform::Color backgroundColor_ = platform::Color::clearColor();
    platform::Color shadowColor_ = platform::Color::blackColor();
    platform::Size shadowOffset_ { 0, -3 };
    double shadowOpacity_ = 0;
    double shadowRadius_ = 3;
    std::shared_ptr<UIImage> contents_;
    std::string contentsGravity_ = kCAGravityResize;
    double contentsScale_ = 1;
    std::string minificationFilter_ = kCAFilterLinear;
    CATransform3D transform_;
    double opacity_ = 1;
    bool hidden_ = false;
    bool masksToBounds_ = false;
    bool opaque_ = false;
    std::vector<std::shared_ptr<CALayer>> sublayers_;
    std::weak_ptr<CALayer> superlayer_;
    std::vector<RunningAnimation> animations_;
    int generatedKeys_ = 0;
};
