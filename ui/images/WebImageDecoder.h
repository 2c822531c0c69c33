#pragma once

#include "platform/os/OperationQueue.h"
#include "platform/os/Value.h"
#include "platform/uikit/UIImage.h"

#include <memory>

class WebImageDecoder;

class WebImageDecoderDelegate {
public:
    virtual ~WebImageDecoderDelegate() = default;
    // On the main thread; image is nullptr when there was none to decode.
    virtual void imageDecoderDidFinishDecodingImage(
        WebImageDecoder* decoder, const std::shared_ptr<UIImage>& image, const platform::Value& userInfo)
        = 0;
};

// Forces images' pixels to be decoded on a queue of its own, so that showing
// them later costs the main thread nothing. The delegate is held until it has
// been answered.
class WebImageDecoder final {
public:
    static WebImageDecoder& sharedImageDecoder();

    void decodeImage(const std::shared_ptr<UIImage>& image, std::shared_ptr<WebImageDecoderDelegate> delegate,
        platform::Value userInfo = {});

    // Tests: blocks until every queued decode has run (its answer is then posted).
    void waitUntilIdle();

private:
    WebImageDecoder();
    platform::OperationQueue imageDecodingQueue_;
};
