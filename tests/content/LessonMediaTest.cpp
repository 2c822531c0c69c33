#include "foundation/http/HTTPRequest.h"
#include "platform/os/RunLoop.h"
#include "server/LessonService.h"
#include "tests/content/LessonServiceFixture.h"

#include <fstream>
#include <sstream>

namespace lessontest {
namespace {

    struct Fetched {
        int status = 0;
        std::string body;
        std::string contentType;
        std::string contentRange;
    };

    Fetched fetch(const std::string& path, const std::optional<std::string>& range = std::nullopt)
    {
        auto url = platform::Url::parse(LessonServiceTest::standin().baseUrl() + path);
        auto request = HTTPRequest::requestWithURL(*url);
        if (range)
            request->addRequestHeader("Range", *range);
        auto done = std::make_shared<bool>(false);
        request->setCompletionBlock([done] { *done = true; });
        request->setFailedBlock([done] { *done = true; });
        request->startAsynchronous();
        platform::RunLoop::main().runUntil([done] { return *done; }, 15);
        Fetched out;
        out.status = request->responseStatusCode();
        if (auto data = request->responseData())
            out.body.assign(data->begin(), data->end());
        auto headers = request->responseHeaders();
        out.contentType = headers.get("Content-Type").stringValue();
        out.contentRange = headers.get("Content-Range").stringValue();
        return out;
    }

    std::string fileBytes(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }

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
