#include "ui/images/WebImageCache.h"

#include "platform/crypto/Md5.h"
#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"
#include "tests/ui/images/ImageTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

std::string shell(const std::string& command)
{
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe))
            out += buffer;
        ::pclose(pipe);
    }
    return out;
}

std::string shellQuoted(const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::shared_ptr<UIImage> solid(int width, int height, platform::Color colour = platform::Color::redColor())
{
    return UIImage::imageWithCGImage(platform::Image(width, height, 1.0, colour));
}

platform::Bytes pngBytes(int width, int height)
{
    auto png = platform::Image(width, height, 1.0, platform::Color::greenColor()).encodePNG();
    return platform::Bytes(png->begin(), png->end());
}

class RecordingCacheDelegate final : public WebImageCacheDelegate {
public:
    void imageCacheDidFindImage(
        WebImageCache*, const std::shared_ptr<UIImage>& image, const std::string& key, const platform::Value& info) override
    {
        found.push_back(image);
        keys.push_back(key);
        userInfos.push_back(info);
    }
    void imageCacheDidNotFindImageForKey(
        WebImageCache*, const std::optional<std::string>& key, const platform::Value& info) override
    {
        missing.push_back(key);
        userInfos.push_back(info);
    }
    std::vector<std::shared_ptr<UIImage>> found;
    std::vector<std::string> keys;
    std::vector<std::optional<std::string>> missing;
    std::vector<platform::Value> userInfos;
};

class WebImageCacheTest : public imagetest::ImageToolkitTest {
protected:
    std::shared_ptr<WebImageCache> cache() { return WebImageCache::sharedImageCache(); }
};

} // namespace

TEST_F(WebImageCacheTest, FilesAreNamedByTheMd5OfTheKeyAndHoldTheDownloadedBytes)
{
    const std::vector<std::string> keys = { "http://127.0.0.1:8090/static/photos/photo-64x48.jpg",
        "http://example.com/a b?c=1&d='x'", "班级相册/照片.png" };
    auto data = pngBytes(12, 9);
    for (auto& key : keys) {
        cache()->storeImage(solid(12, 9), data, key, true);
    }
    cache()->waitForDiskQueues();
    auto dataMd5 = platform::Md5::hex(data);
    for (auto& key : keys) {
        SCOPED_TRACE(key);
        auto expected = shell("printf '%s' " + shellQuoted(key) + " | md5sum").substr(0, 32);
        ASSERT_EQ(expected.size(), 32u);
        auto path = cache()->cachePathForKey(key);
        EXPECT_EQ(path, platform::FileUtil::joinPath(cache()->diskCachePath(), expected));
        EXPECT_EQ(shell("md5sum " + shellQuoted(path)).substr(0, 32), dataMd5);
    }
    EXPECT_EQ(cache()->diskCachePath(),
        platform::FileUtil::joinPath(platform::AppPaths::cachesDirectory(), "ImageCache"));
    EXPECT_EQ(cache()->getDiskCount(), keys.size());
}

TEST_F(WebImageCacheTest, StoringWithoutBytesWritesAFullQualityJpegOnlyIfTheImageIsStillThere)
{
    cache()->storeImage(solid(20, 10), "kept");
    cache()->waitForDiskQueues();
    auto written = platform::FileUtil::read(cache()->cachePathForKey("kept"));
    ASSERT_TRUE(written);
    EXPECT_EQ(platform::Image::sniffFormat(*written), platform::ImageFormat::JPEG);
    auto decoded = platform::Image::decode(*written);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->pixelWidth(), 20);
    EXPECT_GT(decoded->pixelAt(5, 5)[0], 240); // quality 1: red stays red

    cache()->setWritesSuspended(true);
    cache()->storeImage(solid(20, 10), "gone");
    cache()->removeImageForKey(std::string("gone"), false);
    cache()->setWritesSuspended(false);
    cache()->waitForDiskQueues();
    EXPECT_FALSE(platform::FileUtil::exists(cache()->cachePathForKey("gone")));
}

TEST_F(WebImageCacheTest, ClearingMemoryKeepsWritesThatCarryDownloadedBytes)
{
    cache()->setWritesSuspended(true);
    auto data = pngBytes(8, 8);
    cache()->storeImage(solid(8, 8), data, "downloaded", true);
    cache()->storeImage(solid(8, 8), "made-here");
    // What a memory warning (or a browser closing) does while the writes wait.
    harness_.loop().runUntilIdle();
    UIApplication::sharedApplication().receiveMemoryWarning();
    EXPECT_EQ(cache()->getMemoryCount(), 0u);
    cache()->setWritesSuspended(false);
    cache()->waitForDiskQueues();
    auto stored = platform::FileUtil::read(cache()->cachePathForKey("downloaded"));
    ASSERT_TRUE(stored);
    EXPECT_EQ(*stored, data);
    // Without bytes the write needed the image from memory, which is gone.
    EXPECT_FALSE(platform::FileUtil::exists(cache()->cachePathForKey("made-here")));
}

TEST_F(WebImageCacheTest, CleaningRemovesFilesSevenDaysOldOrOlder)
{
    const double now = 1'800'000'000; // whole seconds: file times keep them exactly
    struct Row {
        const char* key;
        double age;
        bool removed;
    };
    const Row rows[] = {
        { "exactly-seven-days", 604800, true },
        { "eight-days", 8 * 86400, true },
        { "one-second-younger", 604799, false },
        { "six-days-23-hours", 6 * 86400 + 23 * 3600, false },
        { "fresh", 0, false },
    };
    for (auto& row : rows) {
        auto path = cache()->cachePathForKey(row.key);
        ASSERT_TRUE(platform::FileUtil::write(path, std::string_view("x")));
        ASSERT_TRUE(platform::FileUtil::setModificationDate(path, platform::Date::fromSeconds(now - row.age)));
    }
    cache()->cleanDiskAt(platform::Date::fromSeconds(now));
    for (auto& row : rows)
        EXPECT_EQ(platform::FileUtil::exists(cache()->cachePathForKey(row.key)), !row.removed) << row.key;

    // The application's end runs the same rule against the real clock.
    auto old = cache()->cachePathForKey("old");
    ASSERT_TRUE(platform::FileUtil::write(old, std::string_view("x")));
    ASSERT_TRUE(platform::FileUtil::setModificationDate(old, platform::Date::now().addingSeconds(-604800)));
    UIApplication::sharedApplication().terminate();
    EXPECT_FALSE(platform::FileUtil::exists(old));
    EXPECT_TRUE(platform::FileUtil::exists(cache()->cachePathForKey("fresh")));
}

TEST_F(WebImageCacheTest, KeysEndingInTheRetinaMarkerGiveImagesOfScaleTwo)
{
    struct Row {
        std::string key;
        double scale;
    };
    const std::vector<Row> rows = {
        { "a@2x.png", 2.0 }, // exactly 8 characters
        { "http://h/photo@2x.jpeg", 2.0 }, // four-letter extension
        { "@2x.png", 1.0 }, // shorter than 8
        { "http://h/photo@2x.png?v=1", 1.0 }, // marker 9 or more from the end
        { "http://h/photo.png", 1.0 },
    };
    auto data = pngBytes(40, 20);
    for (auto& row : rows)
        cache()->storeImage(solid(40, 20), data, row.key, true);
    cache()->waitForDiskQueues();
    cache()->clearMemory();
    auto delegate = std::make_shared<RecordingCacheDelegate>();
    for (auto& row : rows) {
        SCOPED_TRACE(row.key);
        // Read back from the file, both ways.
        auto image = cache()->imageFromKey(row.key);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->scale(), row.scale);
        EXPECT_EQ(image->size().width, 40 / row.scale);
        cache()->removeImageForKey(row.key, false);
        cache()->queryDiskCacheForKey(row.key, delegate);
    }
    ASSERT_TRUE(waitFor([&] { return delegate->found.size() == rows.size(); }));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        auto it = std::find(delegate->keys.begin(), delegate->keys.end(), rows[i].key);
        ASSERT_NE(it, delegate->keys.end());
        EXPECT_EQ(delegate->found[std::size_t(it - delegate->keys.begin())]->scale(), rows[i].scale) << rows[i].key;
    }
}

TEST_F(WebImageCacheTest, LowFreeMemoryEmptiesTheMemoryLevelBeforeEachInsert)
{
    WebImageCache::setFreeMemoryProvider([] { return std::optional<std::uint64_t>(100ull << 20); });
    for (int i = 0; i < 3; ++i)
        cache()->storeImage(solid(4, 4), "plenty-" + std::to_string(i), false);
    EXPECT_EQ(cache()->getMemoryCount(), 3u);

    WebImageCache::setFreeMemoryProvider([] { return std::optional<std::uint64_t>(10ull << 20); });
    auto last = solid(4, 4, platform::Color::blueColor());
    cache()->storeImage(last, "tight", false);
    EXPECT_EQ(cache()->getMemoryCount(), 1u);
    EXPECT_EQ(cache()->imageFromKey(std::string("tight"), false), last);

    // Unreadable statistics count as no free memory, and say so.
    WebImageCache::setFreeMemoryProvider([] { return std::optional<std::uint64_t>(); });
    platform::LogCapture log;
    cache()->storeImage(solid(4, 4), "blind", false);
    EXPECT_TRUE(log.contains("Failed to fetch vm statistics"));
    EXPECT_EQ(cache()->getMemoryCount(), 1u);

    // The machine's own figure is read from /proc/meminfo.
    WebImageCache::setFreeMemoryProvider({});
    EXPECT_GT(WebImageCache::freeMemory(), 0u);
}

TEST_F(WebImageCacheTest, QueriesAnswerAtOnceFromMemoryAndLaterFromDisk)
{
    auto delegate = std::make_shared<RecordingCacheDelegate>();
    auto image = solid(6, 6);
    cache()->storeImage(image, pngBytes(6, 6), "both", true);
    cache()->waitForDiskQueues();

    cache()->queryDiskCacheForKey(std::string("both"), delegate, platform::Value("ticket"));
    ASSERT_EQ(delegate->found.size(), 1u); // before returning
    EXPECT_EQ(delegate->found[0], image);
    EXPECT_EQ(delegate->userInfos[0].stringValue(), "ticket");

    cache()->clearMemory();
    cache()->queryDiskCacheForKey(std::string("both"), delegate);
    EXPECT_EQ(delegate->found.size(), 1u); // not yet
    ASSERT_TRUE(waitFor([&] { return delegate->found.size() == 2; }));
    EXPECT_TRUE(delegate->userInfos[1].isNull()); // none given, none passed on
    EXPECT_EQ(cache()->getMemoryCount(), 1u); // the hit went back into memory

    cache()->queryDiskCacheForKey(std::string("nowhere"), delegate);
    ASSERT_TRUE(waitFor([&] { return delegate->missing.size() == 1; }));
    EXPECT_EQ(delegate->missing[0], std::optional<std::string>("nowhere"));

    cache()->queryDiskCacheForKey(std::nullopt, delegate);
    ASSERT_EQ(delegate->missing.size(), 2u);
    EXPECT_FALSE(delegate->missing[1]);

    // Bytes that are not a picture are a miss, not an error.
    ASSERT_TRUE(platform::FileUtil::write(cache()->cachePathForKey("junk"), std::string_view("<html>")));
    EXPECT_FALSE(cache()->imageFromKey(std::string("junk")));
    cache()->queryDiskCacheForKey(std::string("junk"), delegate);
    ASSERT_TRUE(waitFor([&] { return delegate->missing.size() == 3; }));
}

TEST_F(WebImageCacheTest, WritesReadingMemoryWhileTheMainThreadChangesItStaySound)
{
    // Writes without bytes read (and may refill) the memory level on the write
    // queue's thread while the main thread stores and removes: run under the
    // thread checker this shows any unguarded access.
    for (int round = 0; round < 60; ++round) {
        auto key = "race-" + std::to_string(round % 7);
        cache()->storeImage(solid(16, 16), key);
        if (round % 3 == 0)
            cache()->removeImageForKey(key, false);
        if (round % 10 == 0)
            cache()->clearMemory();
        (void)cache()->getMemoryCount();
    }
    cache()->waitForDiskQueues();
    for (int i = 0; i < 7; ++i) {
        auto key = "race-" + std::to_string(i);
        if (cache()->imageFromKey(key, false)) {
            EXPECT_TRUE(platform::FileUtil::exists(cache()->cachePathForKey(key))) << key;
        }
    }
}

TEST_F(WebImageCacheTest, SizesAndCountsPastFourGigabytes)
{
    auto data = pngBytes(30, 30);
    cache()->storeImage(solid(30, 30), data, "one", true);
    cache()->storeImage(solid(30, 30), data, "two", true);
    cache()->waitForDiskQueues();
    EXPECT_EQ(cache()->getSize(), 2 * data.size());
    EXPECT_EQ(cache()->getDiskCount(), 2u);
    EXPECT_EQ(cache()->getMemoryCount(), 2u);
    // Memory is measured as JPEG at quality 0, not as the bytes on disk.
    auto jpeg = UIImageJPEGRepresentation(solid(30, 30), 0.0);
    ASSERT_TRUE(jpeg);
    EXPECT_EQ(cache()->getMemorySize(), 2 * jpeg->size());

    // A sparse file of 5 GiB: a 32-bit sum would wrap.
    auto big = cache()->cachePathForKey("huge");
    int fd = ::open(big.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 5ll << 30), 0);
    ::close(fd);
    EXPECT_EQ(cache()->getSize(), (5ull << 30) + 2 * data.size());

    cache()->clearDisk();
    EXPECT_EQ(cache()->getDiskCount(), 0u);
    EXPECT_TRUE(platform::FileUtil::isDirectory(cache()->diskCachePath()));
}
