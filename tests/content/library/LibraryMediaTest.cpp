// The stand-in's library videos are the lesson movie itself, whole or by the
// range asked, so the player has a real movie to play.
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
    };

    Fetched fetchLibrary(const std::string& path, const std::optional<std::string>& range = std::nullopt)
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
        out.contentType = request->responseHeaders().get("Content-Type").stringValue();
        return out;
    }

    using LibraryMedia = LessonServiceTest;

    TEST_F(LibraryMedia, VideoAddressesServeThePlayableMovie)
    {
        std::ifstream in(server::lessonMediaDirectory() + "/clip.mp4", std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        std::string clip = bytes.str();
        ASSERT_GT(clip.size(), 100000u);

        Fetched whole = fetchLibrary("mobile2/pull/static/video/321.mp4");
        EXPECT_EQ(whole.status, 200);
        EXPECT_EQ(whole.contentType, "video/mp4");
        EXPECT_EQ(whole.body, clip);

        Fetched part = fetchLibrary("mobile2/pull/static/video/901.mp4", "bytes=500-1499");
        EXPECT_EQ(part.status, 206);
        EXPECT_EQ(part.body, clip.substr(500, 1000));

        // Other names under the folder are no video.
        EXPECT_EQ(fetchLibrary("mobile2/pull/static/video/321.mov").status, 404);
    }

} // namespace
} // namespace lessontest
