#pragma once

// What the photo-browser tests share: a delegate serving a list of photos,
// plain pictures, and the browser shown as the root of a modal navigation
// controller over the test application's home screen.

#include "platform/os/FileUtil.h"
#include "tests/ui/images/ImageTestSupport.h"
#include "ui/photobrowser/PhotoBrowser.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace photobrowsertest {

class PhotoSource final : public PhotoBrowserDelegate {
public:
    unsigned numberOfPhotosInPhotoBrowser(PhotoBrowser*) override { return static_cast<unsigned>(photos.size()); }
    std::shared_ptr<BrowserPhotoProtocol> photoBrowserPhotoAtIndex(PhotoBrowser*, unsigned index) override
    {
        ++asked;
        return index < photos.size() ? photos[index] : nullptr;
    }
    std::vector<std::shared_ptr<BrowserPhoto>> photos;
    int asked = 0;
};

inline std::shared_ptr<UIImage> picture(int width, int height, platform::Color colour = platform::Color::orangeColor())
{
    return UIImage::imageWithCGImage(platform::Image(width, height, 1.0, colour));
}

class PhotoBrowserFixture : public imagetest::ImageToolkitTest {
protected:
    // Photos read from files, so they can be unloaded and loaded again.
    void makeFilePhotos(int count)
    {
        for (int i = 0; i < count; ++i) {
            auto path = platform::FileUtil::joinPath(harness_.home(), "photo" + std::to_string(i) + ".png");
            auto png = platform::Image(30 + i, 20, 1.0, platform::Color::blueColor()).encodePNG();
            ASSERT_TRUE(platform::FileUtil::write(path, platform::Bytes(png->begin(), png->end())));
            source_->photos.push_back(BrowserPhoto::photoWithFilePath(path));
        }
    }

    void makeImagePhotos(int count)
    {
        for (int i = 0; i < count; ++i)
            source_->photos.push_back(BrowserPhoto::photoWithImage(picture(40 + i, 30)));
    }

    std::shared_ptr<PhotoBrowser> presentBrowser(
        std::optional<unsigned> initialIndex = std::nullopt, bool actionButton = false)
    {
        auto browser = PhotoBrowser::initWithDelegate(source_);
        browser->setDisplayActionButton(actionButton);
        if (initialIndex)
            browser->setInitialPageIndex(*initialIndex);
        auto navigation = std::make_shared<UINavigationController>(browser);
        app_->home()->presentViewController(navigation, false);
        harness_.loop().runUntilIdle();
        return browser;
    }

    bool loaded(int index) const { return source_->photos[std::size_t(index)]->underlyingImage() != nullptr; }

    std::shared_ptr<PhotoSource> source_ = std::make_shared<PhotoSource>();
};

} // namespace photobrowsertest
