#pragma once

#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"
#include "platform/os/Value.h"

#include <memory>
#include <string>

namespace core {

// One photo attachment: the picked picture as it is kept on the phone (a JPEG
// file and its decoded images) and, once uploaded, the two addresses the
// server gave it. An empty text stands for an address not known yet.
struct PhotoInfo final : platform::Object {
    platform::Bytes data; // the JPEG encoding of the stored image
    std::string path; // local file holding data
    platform::Image image; // the stored image, decoded back from data
    platform::Image thumbImage; // the thumbnail
    std::string url; // the full-size photo on the server ("original")
    std::string thumbUrl; // its thumbnail on the server ("thumb")
    int size = 0; // length of data in bytes
    float width = 0; // display size, set by the message cells
    float height = 0;

    // The largest side of the stored picture and the box its thumbnail covers.
    static constexpr double kStoredMaxSide = 800;
    static constexpr double kThumbSide = 120;
    static constexpr double kJpegQuality = 0.8;

    // From one element of a photo list ("original", "thumb"); null for
    // anything but a dictionary. Values of another kind are ignored.
    static std::shared_ptr<PhotoInfo> photoWithObj(const platform::Value& obj);

    // Attaches a picked picture: fits it inside 800 × 800, encodes that as JPEG
    // at quality 0.8, writes it to `path` (a new "%05li.jpg" in the temporary
    // folder when empty), decodes the stored image back and makes the 120 × 120
    // covering thumbnail. False, with the object left as it was, when the
    // picture is empty, cannot be encoded or the file cannot be written: an
    // attachment whose file is missing must never reach an upload.
    bool setImage(const platform::Image& picked);
    // The same for encoded bytes (PNG or JPEG); false when they do not decode.
    bool setImageData(const platform::Bytes& encoded);

    // The picture itself when it fits the box, otherwise a copy that covers
    // the box (`uniformScaling:size:`) or fits inside it (`maxSize:`).
    static platform::Image uniformScalingSize(const platform::Image& image, platform::Size box);
    static platform::Image uniformScalingMaxSize(const platform::Image& image, platform::Size box);

    // A free "%05li.jpg" name in the folder: starting at n mod 100000 and
    // stepping by one (99999 is followed by 00000). Empty when all are taken.
    static std::string freePhotoPath(const std::string& folder, long n);

    std::string className() const override { return "PhotoInfo"; }
};

} // namespace core
