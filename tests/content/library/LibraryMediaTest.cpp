// The stand-in's library videos are the lesson movie itself, whole or by the
// range asked, so the player has a real movie to play.
#include "server/LessonService.h"
#include "tests/content/LessonServiceFixture.h"

namespace lessontest {
namespace {

    using LibraryMedia = LessonServiceTest;

    TEST_F(LibraryMedia, VideoAddressesServeThePlayableMovie)
    {
        std::string clip = fileBytes(server::lessonMediaDirectory() + "/clip.mp4");
        ASSERT_GT(clip.size(), 100000u);

        Fetched whole = fetch("mobile2/pull/static/video/321.mp4");
        EXPECT_EQ(whole.status, 200);
        EXPECT_EQ(whole.contentType, "video/mp4");
        EXPECT_EQ(whole.body, clip);

        Fetched part = fetch("mobile2/pull/static/video/901.mp4", "bytes=500-1499");
        EXPECT_EQ(part.status, 206);
        EXPECT_EQ(part.body, clip.substr(500, 1000));

        // Other names under the folder are no video.
        EXPECT_EQ(fetch("mobile2/pull/static/video/321.mov").status, 404);
    }

} // namespace
} // namespace lessontest
