#pragma once

#include "platform/os/Url.h"
#include "platform/os/Value.h"
#include "platform/uikit/UIImage.h"
#include "ui/images/WebImageDecoder.h"
#include "ui/images/WebImageManager.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

inline constexpr const char* PHOTO_LOADING_DID_END_NOTIFICATION = "PHOTO_LOADING_DID_END_NOTIFICATION";

// What the photo browser asks of a photo (the BrowserPhoto protocol; C++ has
// one name per type, so the protocol carries the suffix). A photo posts
// PHOTO_LOADING_DID_END_NOTIFICATION, with itself as object, whenever a load
// ends, with or without an image.
class BrowserPhotoProtocol : public platform::Object {
public:
    virtual std::shared_ptr<UIImage> underlyingImage() const = 0;
    virtual void loadUnderlyingImageAndNotify() = 0;
    virtual void unloadUnderlyingImage() = 0;
    // Optional: photos without captions answer nullopt.
    virtual std::optional<std::string> caption() const { return std::nullopt; }
};

// A photo handed to the browser: an image given at creation, or a file or an
// address from which the image is loaded when asked. Every loaded image is
// decoded off the main thread before it is shown.
class BrowserPhoto final : public BrowserPhotoProtocol,
                           public WebImageManagerDelegate,
                           public WebImageDecoderDelegate,
                           public std::enable_shared_from_this<BrowserPhoto> {
public:
    std::string className() const override { return "BrowserPhoto"; }

    static std::shared_ptr<BrowserPhoto> photoWithImage(std::shared_ptr<UIImage> image);
    static std::shared_ptr<BrowserPhoto> photoWithFilePath(std::string path);
    static std::shared_ptr<BrowserPhoto> photoWithURL(platform::Url url);
    ~BrowserPhoto() override;

    // The address the image is loaded from, for a photo made with one.
    const std::optional<platform::Url>& photoURL() const { return photoURL_; }

    std::shared_ptr<UIImage> underlyingImage() const override { return underlyingImage_; }
    void loadUnderlyingImageAndNotify() override;
    // Stops waiting for a load in progress (its result, when it comes, is
    // dropped) and lets go of an image that came from a file or address.
    void unloadUnderlyingImage() override;
    std::optional<std::string> caption() const override { return caption_; }
    void setCaption(std::optional<std::string> caption) { caption_ = std::move(caption); }
    bool isLoading() const { return loadingInProgress_; }

    void webImageManagerDidFinishWithImage(WebImageManager*, const std::shared_ptr<UIImage>& image) override;
    void webImageManagerDidFailWithError(WebImageManager*, const std::optional<platform::Error>&) override;
    void imageDecoderDidFinishDecodingImage(
        WebImageDecoder*, const std::shared_ptr<UIImage>& image, const platform::Value& userInfo) override;

    BrowserPhoto() = default;

private:
    void imageLoadingComplete();
    void decodeLoadedImage(const std::shared_ptr<UIImage>& image, std::uint64_t load);

    std::optional<std::string> photoPath_;
    std::optional<platform::Url> photoURL_;
    std::shared_ptr<UIImage> underlyingImage_;
    std::optional<std::string> caption_;
    bool loadingInProgress_ = false;
    // Each load has a number; an answer for an earlier one (the photo was
    // unloaded meanwhile) is dropped, so it cannot bring the image back.
    std::uint64_t load_ = 0;
};
