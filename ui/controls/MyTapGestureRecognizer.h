#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/os/Value.h"
#include "platform/uikit/UITapGestureRecognizer.h"

// A tap recogniser carrying whatever its creator attaches (a picture's index
// in a post), so the action reads it from the recogniser it receives instead
// of working out which view was tapped.
class MyTapGestureRecognizer : public UITapGestureRecognizer {
public:
    ORB_CLASS_NAME(MyTapGestureRecognizer)

    const platform::Value& data() const { return data_; }
    void setData(platform::Value data) { data_ = std::move(data); }

private:
    platform::Value data_;
};
