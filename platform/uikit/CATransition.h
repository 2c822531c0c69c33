#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/uikit/CAAnimation.h"

inline constexpr const char* kCATransitionFade = "fade";
inline constexpr const char* kCATransitionMoveIn = "moveIn";
inline constexpr const char* kCATransitionPush = "push";
inline constexpr const char* kCATransitionReveal = "reveal";
inline constexpr const char* kCATransitionFromRight = "fromRight";
inline constexpr const char* kCATransitionFromLeft = "fromLeft";
inline constexpr const char* kCATransitionFromTop = "fromTop";
inline constexpr const char* kCATransitionFromBottom = "fromBottom";

// A transition of a layer's contents ("fade", "push", "pageCurl", ...). The
// type and subtype are kept as given, for the log.
class CATransition final : public CAAnimation {
public:
    ORB_CLASS_NAME(CATransition)
    std::string kindName() const override { return "transition"; }

    const std::string& type() const { return type_; }
    void setType(std::string type) { type_ = std::move(type); }
    const std::string& subtype() const { return subtype_; }
    void setSubtype(std::string subtype) { subtype_ = std::move(subtype); }

private:
    std::string type_ = kCATransitionFade;
    std::string subtype_;
};
