#include "server/LessonService.h"
#include "tests/content/LessonServiceFixture.h"

namespace lessontest {
namespace {

    using LessonMedia = LessonServiceTest;

    TEST_F(LessonMedia, MoviesAreServedWholeOrByTheRangeAsked)
    {
        std::string clip = fileBytes(server::lessonMediaDirectory() + "/clip.mp4");
        ASSERT_GT(clip.size(), 100000u);
        Fetched whole = fetch("mobile2/pull/lessons/media/clip.mp4");
        EXPECT_EQ(whole.status, 200);
        EXPECT_EQ(whole.contentType, "video/mp4");
        EXPECT_EQ(whole.body, clip);

        Fetched part = fetch("mobile2/pull/lessons/media/clip.mp4", "bytes=1000-1999");
        EXPECT_EQ(part.status, 206);
        EXPECT_EQ(part.body, clip.substr(1000, 1000));
        EXPECT_EQ(part.contentRange, "bytes 1000-1999/" + std::to_string(clip.size()));

        Fetched tail = fetch("mobile2/pull/lessons/media/hls/seg001.ts", "bytes=-188");
        EXPECT_EQ(tail.status, 206);
        EXPECT_EQ(tail.body.size(), 188u);
        std::string segment = fileBytes(server::lessonMediaDirectory() + "/hls/seg001.ts");
        ASSERT_GT(segment.size(), 188u);
        EXPECT_EQ(tail.body, segment.substr(segment.size() - 188));

        Fetched playlist = fetch("mobile2/pull/lessons/media/hls/index.m3u8");
        EXPECT_EQ(playlist.status, 200);
        EXPECT_EQ(playlist.contentType, "application/vnd.apple.mpegurl");
        EXPECT_NE(playlist.body.find("seg000.ts"), std::string::npos);
    }

    TEST_F(LessonMedia, NothingOutsideTheMediaFolder)
    {
        EXPECT_EQ(fetch("mobile2/pull/lessons/media/missing.mp4").status, 404);
        EXPECT_EQ(fetch("mobile2/pull/lessons/media/..%2F..%2Fstandin.db").status, 404);
        EXPECT_EQ(fetch("mobile2/pull/lessons/media/hls/.hidden").status, 404);
        Fetched page = fetch("mobile2/pull/lessons/media/not-a-video.mp4");
        EXPECT_EQ(page.status, 200);
        EXPECT_EQ(page.contentType.rfind("text/html", 0), 0u);
    }

} // namespace
} // namespace lessontest
