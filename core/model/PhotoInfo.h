#pragma once

#include "platform/os/Value.h"

#include <string>

namespace core {

// One photo attachment. The dispatcher reads the two server addresses the
// upload gave back. The decoded images and the methods that store and load
// the photo's file come with the message models.
struct PhotoInfo final : platform::Object {
    platform::Bytes data; // the JPEG encoding of the stored image
    std::string path; // local file holding data
    std::string url; // the full-size photo on the server ("original")
    std::string thumbUrl; // its thumbnail on the server ("thumb")
    int size = 0; // length of data in bytes
    float width = 0;
    float height = 0;

    std::string className() const override { return "PhotoInfo"; }
};

} // namespace core
