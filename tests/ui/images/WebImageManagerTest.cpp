#include "ui/images/WebImageManager.h"

#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"
#include "server/ReplyScript.h"
#include "server/StandinServer.h"
#include "tests/ui/images/ImageTestSupport.h"
#include "ui/images/WebCacheViews.h"
#include "ui/images/WebImagePrefetcher.h"

#include <gtest/gtest.h>

namespace {

// Records every answer in order, each with what it carried.
class RecordingDelegate final : public WebImageManagerDelegate {
public:
    struct Answer {
        std::string kind; // "partial", "finish", "fail"
        std::shared_ptr<UIImage> image;
        std::optional<platform::Error> error;
    };
    void webImageManagerDidProgressWithPartialImage(
        WebImageManager*, const std::shared_ptr<UIImage>& image, const platform::Url&) override
    {
        answers.push_back({ "partial", image, std::nullopt });
    }
    void webImageManagerDidFinishWithImage(WebImageManager*, const std::shared_ptr<UIImage>& image) override
    {
        answers.push_back({ "finish", image, std::nullopt });
    }
    void webImageManagerDidFailWithError(WebImageManager*, const std::optional<platform::Error>& error) override
    {
        answers.push_back({ "fail", nullptr, error });
    }
    std::size_t count(const std::string& kind) const
    {
        return static_cast<std::size_t>(
            std::count_if(answers.begin(), answers.end(), [&](const Answer& a) { return a.kind == kind; }));
    }
    bool ended() const { return count("finish") + count("fail") > 0; }
    std::vector<Answer> answers;
};

class WebImageManagerTest : public imagetest::ImageToolkitTest {
protected:
    std::shared_ptr<WebImageManager> manager() { return WebImageManager::sharedManager(); }
};

} // namespace

TEST_F(WebImageManagerTest, TwoViewsAskingForOneAddressShareOneTransfer)
{
    auto url = photoURL("photo-64x48.jpg");
    auto first = std::make_shared<UIImageView>();
    auto second = std::make_shared<UIImageView>();
    std::vector<std::string> order;
    setImageWithURL(first, url, nullptr, 0, [&](const auto&) { order.push_back("first"); }, {});
    setImageWithURL(second, url, nullptr, 0, [&](const auto&) { order.push_back("second"); }, {});
    ASSERT_TRUE(waitFor([&] { return first->image() && second->image(); }));
    EXPECT_EQ(transfersOf("photo-64x48.jpg"), 1u);
    EXPECT_EQ(order, (std::vector<std::string> { "second", "first" })); // the later one first
    EXPECT_EQ(first->image(), second->image());
    EXPECT_EQ(first->image()->size(), platform::Size(64, 48));
    EXPECT_EQ(manager()->runningDownloadCount(), 0u);
    EXPECT_EQ(manager()->waitingDelegateCount(), 0u);

    // Stored once, with the bytes as they came.
    auto cache = WebImageCache::sharedImageCache();
    cache->waitForDiskQueues();
    EXPECT_EQ(cache->getDiskCount(), 1u);
    auto stored = platform::FileUtil::read(cache->cachePathForKey(url.absoluteString()));
    ASSERT_TRUE(stored);
    EXPECT_EQ(platform::Image::sniffFormat(*stored), platform::ImageFormat::JPEG);

    // A third view is answered from the cache: no new transfer.
    auto third = std::make_shared<UIImageView>();
    setImageWithURL(third, url);
    ASSERT_TRUE(waitFor([&] { return third->image() != nullptr; }));
    EXPECT_EQ(transfersOf("photo-64x48.jpg"), 1u);
}

TEST_F(WebImageManagerTest, NotFoundIsRetriedButAPageInPlaceOfAPictureIsRemembered)
{
    auto missing = photoURL("missing.jpg");
    auto delegate = std::make_shared<RecordingDelegate>();
    manager()->downloadWithURL(missing, delegate);
    ASSERT_TRUE(waitFor([&] { return delegate->ended(); }));
    ASSERT_EQ(delegate->count("fail"), 1u);
    ASSERT_TRUE(delegate->answers.back().error);
    EXPECT_EQ(delegate->answers.back().error->domain(), "NSURLErrorDomain");
    EXPECT_EQ(delegate->answers.back().error->code(), 404);
    EXPECT_FALSE(manager()->isFailedURL(missing));
    manager()->downloadWithURL(missing, delegate);
    ASSERT_TRUE(waitFor([&] { return delegate->count("fail") == 2; }));
    EXPECT_EQ(transfersOf("missing.jpg"), 2u);

    auto page = photoURL("not-an-image.jpg");
    auto other = std::make_shared<RecordingDelegate>();
    manager()->downloadWithURL(page, other);
    ASSERT_TRUE(waitFor([&] { return other->ended(); }));
    ASSERT_EQ(other->count("fail"), 1u);
    EXPECT_FALSE(other->answers.back().error); // no error: the bytes were not a picture
    EXPECT_TRUE(manager()->isFailedURL(page));

    // Asked again without the retry bit: nothing at all happens.
    manager()->downloadWithURL(page, other);
    settle();
    EXPECT_EQ(other->answers.size(), 1u);
    EXPECT_EQ(transfersOf("not-an-image.jpg"), 1u);

    // With it, a new transfer, and the address stays listed only once.
    manager()->downloadWithURL(page, other, WebImageRetryFailed);
    ASSERT_TRUE(waitFor([&] { return other->answers.size() == 2; }));
    EXPECT_EQ(transfersOf("not-an-image.jpg"), 2u);
}

TEST_F(WebImageManagerTest, AViewReusedForAnotherAddressNeverShowsTheOldPicture)
{
    auto view = std::make_shared<UIImageView>();
    auto placeholder = UIImage::imageWithCGImage(platform::Image(2, 2, 1.0, platform::Color::grayColor()));
    std::vector<platform::Size> shown;
    setImageWithURL(view, photoURL("photo-640x480.png"), placeholder);
    setImageWithURL(view, photoURL("photo-40x30.png"), placeholder, 0,
        [&](const std::shared_ptr<UIImage>& image) { shown.push_back(image->size()); }, {});
    EXPECT_EQ(view->image(), placeholder);
    ASSERT_TRUE(waitFor([&] { return !shown.empty(); }));
    settle();
    ASSERT_TRUE(view->image());
    EXPECT_EQ(view->image()->size(), platform::Size(40, 30));
    EXPECT_EQ(manager()->waitingDelegateCount(), 0u);
    // The first transfer was abandoned, so nothing of it reached the cache.
    EXPECT_FALSE(manager()->imageWithURL(photoURL("photo-640x480.png")));

    // No address: the placeholder shows and nothing is asked.
    // (settle()'s own round trips left out)
    auto asked = [&] {
        auto all = harness_.serverRequests();
        return std::count_if(all.begin(), all.end(), [](const auto& r) { return r.route != "round-trip"; });
    };
    auto before = asked();
    setImageWithURL(view, std::nullopt, placeholder);
    EXPECT_EQ(view->image(), placeholder);
    settle();
    EXPECT_EQ(asked(), before);
}

TEST_F(WebImageManagerTest, ProgressiveDownloadsShowPartialPicturesBeforeTheWholeOne)
{
    // The picture arrives in eighths, as over a slow network: on a busy
    // machine a loopback answer can otherwise be read whole at once.
    harness_.server()->script().forRoute(
        "static/photos/large-progressive.jpg", server::ScriptedReply::normal().inPieces(8, 0.05));
    auto url = photoURL("large-progressive.jpg");
    auto delegate = std::make_shared<RecordingDelegate>();
    manager()->downloadWithURL(url, delegate, WebImageProgressiveDownload);
    ASSERT_TRUE(waitFor([&] { return delegate->ended(); }, 90));
    ASSERT_EQ(delegate->count("finish"), 1u);
    ASSERT_GE(delegate->count("partial"), 1u);
    EXPECT_EQ(delegate->answers.back().kind, "finish");
    auto& partial = delegate->answers.front();
    EXPECT_EQ(partial.kind, "partial");
    EXPECT_EQ(partial.image->size(), platform::Size(2400, 1800));
    EXPECT_NE(partial.image->CGImage().pixels(), delegate->answers.back().image->CGImage().pixels());

    // Without the bit the same picture comes whole only.
    auto plain = std::make_shared<RecordingDelegate>();
    manager()->downloadWithURL(photoURL("progressive-800x600.jpg"), plain);
    ASSERT_TRUE(waitFor([&] { return plain->ended(); }, 60));
    EXPECT_EQ(plain->count("partial"), 0u);
    EXPECT_EQ(plain->count("finish"), 1u);
}

TEST_F(WebImageManagerTest, MemoryOnlyKeepsNoFileAndTheKeyFilterSharesEntriesNotTransfers)
{
    auto cache = WebImageCache::sharedImageCache();
    auto url = photoURL("photo-32x32.png");
    auto delegate = std::make_shared<RecordingDelegate>();
    manager()->downloadWithURL(url, delegate, WebImageCacheMemoryOnly);
    ASSERT_TRUE(waitFor([&] { return delegate->ended(); }));
    cache->waitForDiskQueues();
    EXPECT_TRUE(cache->imageFromKey(url.absoluteString(), false));
    EXPECT_FALSE(platform::FileUtil::exists(cache->cachePathForKey(url.absoluteString())));

    // Addresses that differ only in their query share one cache entry.
    manager()->setCacheKeyFilter([](const platform::Url& u) {
        auto text = u.absoluteString();
        return text.substr(0, text.find('?'));
    });
    auto v1 = *platform::Url::parse(photoURL("photo-50x50.png").absoluteString() + "?v=1");
    auto v2 = *platform::Url::parse(photoURL("photo-50x50.png").absoluteString() + "?v=2");
    auto a = std::make_shared<RecordingDelegate>();
    auto b = std::make_shared<RecordingDelegate>();
    manager()->downloadWithURL(v1, a);
    manager()->downloadWithURL(v2, b);
    ASSERT_TRUE(waitFor([&] { return a->ended() && b->ended(); }));
    EXPECT_EQ(transfersOf("photo-50x50.png"), 2u); // one transfer per address
    cache->waitForDiskQueues();
    EXPECT_TRUE(platform::FileUtil::exists(cache->cachePathForKey(photoURL("photo-50x50.png").absoluteString())));
    auto c = std::make_shared<RecordingDelegate>();
    auto v3 = *platform::Url::parse(photoURL("photo-50x50.png").absoluteString() + "?v=3");
    manager()->downloadWithURL(v3, c);
    ASSERT_TRUE(waitFor([&] { return c->ended(); }));
    EXPECT_EQ(c->count("finish"), 1u);
    EXPECT_EQ(transfersOf("photo-50x50.png"), 2u); // answered from the shared entry
}

TEST_F(WebImageManagerTest, ButtonsGetTheirPictureForEveryStateAndCancellingStopsTheTransfer)
{
    auto button = std::make_shared<UIButton>(platform::Rect(0, 0, 40, 40));
    setBackgroundImageWithURL(button, photoURL("photo-24x24.png"));
    ASSERT_TRUE(waitFor([&] { return button->backgroundImageForState(UIControlStateNormal) != nullptr; }));
    for (unsigned state : { UIControlStateNormal, UIControlStateSelected, UIControlStateHighlighted })
        EXPECT_EQ(button->backgroundImageForState(state)->size(), platform::Size(24, 24));
    EXPECT_FALSE(button->imageForState(UIControlStateNormal));

    setImageWithURL(button, photoURL("photo-400x300.png"));
    EXPECT_EQ(manager()->runningDownloadCount() + manager()->waitingDelegateCount(), 1u);
    cancelCurrentImageLoad(button);
    EXPECT_EQ(manager()->runningDownloadCount(), 0u);
    EXPECT_EQ(manager()->waitingDelegateCount(), 0u);
    settle();
    EXPECT_FALSE(button->imageForState(UIControlStateNormal));

    // A view that goes away while it waits is never answered.
    auto view = std::make_shared<UIImageView>();
    setImageWithURL(view, photoURL("photo-20x20.png"));
    std::weak_ptr<UIImageView> weak = view;
    view.reset();
    EXPECT_TRUE(weak.expired());
    settle();
}

TEST_F(WebImageManagerTest, ThePrefetcherWarmsTheCacheAFewAtATime)
{
    auto prefetcher = WebImagePrefetcher::sharedImagePrefetcher();
    std::vector<std::string> urls;
    for (int i = 1; i <= 5; ++i)
        urls.push_back(photoURL("photo-" + std::to_string(10 + i) + "x10.png").absoluteString());
    urls.push_back(photoURL("missing.jpg").absoluteString());
    platform::LogCapture log;
    prefetcher->prefetchURLs(urls);
    EXPECT_EQ(prefetcher->requestedCount(), 3u);
    ASSERT_TRUE(waitFor([&] { return prefetcher->finishedCount() == 6; }));
    EXPECT_EQ(prefetcher->skippedCount(), 1u);
    EXPECT_TRUE(log.contains("Prefetched 6 out of 6"));
    EXPECT_TRUE(log.contains("Finished prefetching (5 successful, 1 skipped"));
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(manager()->imageWithURL(*platform::Url::parse(urls[std::size_t(i)])));
    prefetcher->cancelPrefetching();
}
