#include "ui/images/WebImageDecoder.h"

#include "platform/os/RunLoop.h"
#include "ui/images/WebImageCache.h"

namespace {

    class DecodeOperation final : public platform::Operation {
    public:
        DecodeOperation(WebImageDecoder* decoder, std::shared_ptr<UIImage> image,
            std::shared_ptr<WebImageDecoderDelegate> delegate, platform::Value userInfo)
            : decoder_(decoder)
            , image_(std::move(image))
            , delegate_(std::move(delegate))
            , userInfo_(std::move(userInfo))
        {
        }

        void main() override
        {
            auto decoded = decodedImageWithImage(image_);
            auto image = decoded ? decoded : image_;
            // The delegate moves into the answer: it is let go of on the main thread.
            image_.reset();
            platform::postToMain([decoder = decoder_, image, delegate = std::move(delegate_), userInfo = std::move(userInfo_)] {
                delegate->imageDecoderDidFinishDecodingImage(decoder, image, userInfo);
            });
        }

    private:
        WebImageDecoder* decoder_; // the shared decoder lives for the process
        std::shared_ptr<UIImage> image_;
        std::shared_ptr<WebImageDecoderDelegate> delegate_;
        platform::Value userInfo_;
    };

} // namespace

WebImageDecoder& WebImageDecoder::sharedImageDecoder()
{
    static WebImageDecoder* decoder = new WebImageDecoder();
    return *decoder;
}

WebImageDecoder::WebImageDecoder() = default;

void WebImageDecoder::decodeImage(
    const std::shared_ptr<UIImage>& image, std::shared_ptr<WebImageDecoderDelegate> delegate, platform::Value userInfo)
{
    if (!delegate)
        return;
    imageDecodingQueue_.addOperation(
        std::make_shared<DecodeOperation>(this, image, std::move(delegate), std::move(userInfo)));
}

void WebImageDecoder::waitUntilIdle() { imageDecodingQueue_.waitUntilAllOperationsAreFinished(); }
