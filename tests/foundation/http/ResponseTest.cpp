#include "foundation/http/DataCompressor.h"
#include "foundation/http/DataDecompressor.h"
#include "foundation/http/HTTPRequest.h"
#include "platform/os/AppPaths.h"
#include "tests/foundation/http/HttpTestHarness.h"
#include "tests/foundation/http/TestUtil.h"
#include "tests/support/GzipBomb.h"
#include "tests/support/LoopAndMemoryWatch.h"
#include "tests/support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

using foundation::CompressionError;
using foundation::DataCompressor;
using foundation::HTTPRequest;
using foundation::HTTPRequestPtr;

using namespace http_test;
using testsupport::TestConnection;
using testsupport::TestHttpServer;
using testsupport::TestRequest;
using testsupport::TestResponse;

namespace {

class ResponseTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.start()); }
    std::shared_ptr<HTTPRequest> request(const std::string& path)
    {
        return HTTPRequest::requestWithURL(*platform::Url::parse(server.url(path)));
    }
    static TestResponse response(
        std::string body, TestResponse::Framing framing, std::vector<std::pair<std::string, std::string>> headers = {})
    {
        TestResponse r;
        r.body = std::move(body);
        r.framing = framing;
        r.headers = std::move(headers);
        r.chunkSizes = { 1, 7, 4096 };
        return r;
    }
    TestHttpServer server;
};

constexpr bool kThreadSanitizer = testsupport::kUnderThreadSanitizer;

std::string gzipped(const std::string& text)
{
    auto data = DataCompressor::compressData(toBytes(text), nullptr);
    return data ? toString(*data) : std::string();
}

} // namespace

TEST_F(ResponseTest, EveryFramingDeliversTheWholeBody)
{
    std::string body = toString(sampleBytes(300000, 4));
    server.on("/length", TestHttpServer::reply(response(body, TestResponse::Framing::ContentLength)));
    server.on("/chunked", TestHttpServer::reply(response(body, TestResponse::Framing::Chunked)));
    server.on("/close", TestHttpServer::reply(response(body, TestResponse::Framing::ReadToClose)));
    for (const char* path : { "/length", "/chunked", "/close" }) {
        auto get = request(path);
        auto recorder = std::make_shared<RecordingDelegate>();
        get->setDelegate(recorder);
        ASSERT_TRUE(runRequest(get)) << path;
        ASSERT_FALSE(get->error()) << path << ": " << get->error()->description();
        EXPECT_EQ(get->responseStatusCode(), 200);
        EXPECT_TRUE(bodyText(get) == body) << path;
        // Without a length the expected size is what was read.
        EXPECT_EQ(get->contentLength(), body.size()) << path;
        EXPECT_EQ(recorder->events, (std::vector<std::string> { "started", "headers", "finished" })) << path;
        EXPECT_FALSE(recorder->offMainThread);
    }
}

TEST_F(ResponseTest, BodilessAnswers)
{
    TestResponse noContent;
    noContent.status = 204;
    noContent.framing = TestResponse::Framing::None;
    server.on("/204", TestHttpServer::reply(noContent));
    TestResponse notModified;
    notModified.status = 304;
    notModified.framing = TestResponse::Framing::None;
    notModified.headers = { { "ETag", "\"v1\"" } };
    server.on("/304", TestHttpServer::reply(notModified));
    server.on("/head", [](const TestRequest&, TestConnection& c) {
        c.sendHead(200, { { "Content-Length", "12345" }, { "Content-Type", "text/plain" } });
    });

    for (auto [path, status] : { std::pair { "/204", 204 }, std::pair { "/304", 304 } }) {
        auto get = request(path);
        ASSERT_TRUE(runRequest(get, 5));
        ASSERT_FALSE(get->error()) << path;
        EXPECT_EQ(get->responseStatusCode(), status);
        EXPECT_TRUE(get->responseData()->empty());
    }
    auto head = request("/head");
    head->setRequestMethod("HEAD");
    ASSERT_TRUE(runRequest(head, 5));
    ASSERT_FALSE(head->error()) << head->error()->description();
    EXPECT_EQ(head->contentLength(), 12345u);
    EXPECT_TRUE(head->responseData()->empty());
}

TEST_F(ResponseTest, StatusHeadersCookiesAndCharset)
{
    server.on("/gbk",
        TestHttpServer::reply(response("\xc4\xe3\xba\xc3", TestResponse::Framing::ContentLength,
            { { "Content-Type", "text/html; charset=\"GBK\" " }, { "Set-Cookie", "a=1; Path=/" },
                { "Set-Cookie", "b=2; Path=/" }, { "X-Multi", "one" }, { "X-Multi", "two" } })));
    auto get = request("/gbk");
    ASSERT_TRUE(runRequest(get));
    EXPECT_EQ(get->responseStatusMessage(), "HTTP/1.1 200 OK");
    // A quoted, padded charset is still recognised.
    EXPECT_EQ(get->responseEncoding(), platform::kGBKStringEncoding);
    EXPECT_EQ(get->responseString().value_or(""), "你好");
    EXPECT_EQ(get->responseHeader("x-multi").value_or(""), "one, two");
    ASSERT_EQ(get->responseCookies().size(), 2u);
    EXPECT_EQ(get->responseCookies()[1].name, "b");

    server.on("/missing", TestHttpServer::text(404, "caf\xe9"));
    auto latin = request("/missing");
    ASSERT_TRUE(runRequest(latin));
    ASSERT_FALSE(latin->error());
    EXPECT_EQ(latin->responseStatusCode(), 404);
    EXPECT_EQ(latin->responseEncoding(), platform::kISOLatin1StringEncoding);
    EXPECT_EQ(latin->responseString().value_or(""), "café");

    // The cookies come back on the next request to the same server.
    server.on("/echo", TestHttpServer::echo());
    ASSERT_TRUE(runRequest(request("/echo")));
    EXPECT_EQ(server.lastRequest()->header("Cookie").value_or(""), "a=1; b=2");
}

TEST_F(ResponseTest, AUtf8ByteOrderMarkIsNotPartOfTheText)
{
    // The mark says how the body is encoded; whichever reader gets the text
    // next sees the reply without it. The bytes themselves keep it, and a
    // mark in the middle of the text is a character like any other.
    const std::string body = "\xEF\xBB\xBF{\"a\":\"\xEF\xBB\xBF\xE4\xBD\xA0\"}";
    server.on("/bom",
        TestHttpServer::reply(
            response(body, TestResponse::Framing::Chunked, { { "Content-Type", "application/json; charset=UTF-8" } })));
    auto get = request("/bom");
    ASSERT_TRUE(runRequest(get));
    EXPECT_EQ(get->responseString().value_or("?"), body.substr(3));
    EXPECT_EQ(toString(get->responseData().value_or(platform::Bytes {})), body);

    server.on("/only",
        TestHttpServer::reply(response("\xEF\xBB\xBF", TestResponse::Framing::ContentLength,
            { { "Content-Type", "text/plain; charset=utf-8" } })));
    auto only = request("/only");
    ASSERT_TRUE(runRequest(only));
    EXPECT_EQ(only->responseString().value_or("?"), "");
}

TEST_F(ResponseTest, GzipBodiesInflateWholeOrAsTheyArrive)
{
    std::string plain = toString(sampleBytes(400000, 8));
    std::string gz = gzipped(plain);
    server.on(
        "/gz", TestHttpServer::reply(response(gz, TestResponse::Framing::Chunked, { { "Content-Encoding", "gzip" } })));
    for (bool wait : { true, false }) {
        auto get = request("/gz");
        get->setShouldWaitToInflateCompressedResponses(wait);
        ASSERT_TRUE(runRequest(get));
        ASSERT_FALSE(get->error()) << get->error()->description();
        EXPECT_TRUE(get->isResponseCompressed());
        EXPECT_TRUE(bodyText(get) == plain) << "wait " << wait;
        EXPECT_EQ(get->totalBytesRead(), gz.size());
    }

    TempDir dir;
    for (bool wait : { true, false }) {
        auto download = request("/gz");
        download->setShouldWaitToInflateCompressedResponses(wait);
        download->setDownloadDestinationPath(dir.file("contacts.json"));
        ASSERT_TRUE(runRequest(download));
        ASSERT_FALSE(download->error()) << download->error()->description();
        EXPECT_TRUE(toString(readFile(dir.file("contacts.json"))) == plain);
        EXPECT_EQ(runCommand("ls '" + dir.path() + "'"), "contacts.json\n");
    }
}

TEST_F(ResponseTest, GzipBodiesFarLargerThanTheirAnnouncedLengthReadWhole)
{
    // Inflates to hundreds of times its compressed length: far past the room
    // made from the announced length, so the body grows as it comes.
    std::string plain = toString(sampleBytes(20000, 12)) + std::string(3 * 1024 * 1024, 'a')
        + toString(sampleBytes(5000, 13));
    std::string gz = gzipped(plain);
    ASSERT_LT(gz.size() * 50, plain.size());
    server.on("/length",
        TestHttpServer::reply(response(gz, TestResponse::Framing::ContentLength, { { "Content-Encoding", "gzip" } })));
    server.on("/chunked",
        TestHttpServer::reply(response(gz, TestResponse::Framing::Chunked, { { "Content-Encoding", "gzip" } })));
    for (const char* path : { "/length", "/chunked" }) {
        auto get = request(path);
        get->setShouldWaitToInflateCompressedResponses(false);
        ASSERT_TRUE(runRequest(get)) << path;
        ASSERT_FALSE(get->error()) << get->error()->description();
        EXPECT_EQ(get->totalBytesRead(), gz.size()) << path;
        EXPECT_EQ(get->rawResponseData().size(), plain.size()) << path;
        EXPECT_TRUE(bodyText(get) == plain) << path;
    }
}

TEST_F(ResponseTest, BodiesPastTheCeilingFailAsTheyArriveWithoutTakingTheMemoryOrTheLoops)
{
    constexpr std::size_t kCeiling = HTTPRequest::kLargestInflatedBody;
    // Zeros that inflate to four times the ceiling: a few hundred kilobytes
    // on the wire, every piece of it hundreds of megabytes inflated.
    const std::string bomb = testsupport::gzipOfRepeats(4 * kCeiling);
    ASSERT_LT(bomb.size(), std::size_t { 300 } << 10);
    server.on("/bomb",
        TestHttpServer::reply(
            response(bomb, TestResponse::Framing::ContentLength, { { "Content-Encoding", "gzip" } })));
    // Text just under the ceiling: inflating it takes a while, and a screen
    // reads it twice (as data, then as text). Bodies of the ceiling's size
    // take minutes under the thread sanitizer, which looks here at the
    // steps a bomb is inflated in and leaves them out.
    if (!kThreadSanitizer)
        server.on("/fits",
            TestHttpServer::reply(response(gzipped(toString(sampleBytes(kCeiling - 4096, 21))),
                TestResponse::Framing::Chunked, { { "Content-Encoding", "gzip" } })));
    // Plain bodies written a megabyte at a time, so that the server holds
    // none of them whole: a length announced, or none (to the close).
    auto plain = [](std::size_t size, bool announced) {
        return [size, announced](const TestRequest&, TestConnection& connection) {
            std::vector<std::pair<std::string, std::string>> headers { { "Content-Type", "text/plain" } };
            if (announced)
                headers.emplace_back("Content-Length", std::to_string(size));
            connection.sendHead(200, headers);
            const std::string piece(std::size_t { 1 } << 20, 'x');
            for (std::size_t left = size; left > 0;) {
                const std::size_t count = std::min(left, piece.size());
                if (!connection.send(std::string_view(piece).substr(0, count)))
                    break;
                left -= count;
            }
            if (!announced)
                connection.close();
        };
    };
    server.on("/plain-announced", plain(kCeiling + (std::size_t { 1 } << 20), true));
    server.on("/plain-unannounced", plain(kCeiling + (std::size_t { 1 } << 20), false));
    server.on("/plain-at-ceiling", plain(kCeiling, false));

    struct Case {
        const char* path;
        bool keptCompressed;
        bool toFile;
        // Refused at the ceiling, or whole: its size.
        std::optional<std::size_t> size;
        // Run on the caller's loop, which takes the steps in its stead.
        bool synchronous = false;
        // Tens of megabytes sent, kept and read.
        bool large = false;
        // The owner's ceiling for a download to a file.
        std::optional<unsigned long long> largestFile = std::nullopt;
    };
    constexpr unsigned long long kFileCeiling = 1 << 20;
    const Case cases[] = {
        { "/bomb", true, false, std::nullopt },
        { "/bomb", false, false, std::nullopt },
        { "/bomb", true, false, std::nullopt, true },
        { "/plain-announced", true, false, std::nullopt },
        { "/plain-unannounced", true, false, std::nullopt, false, true },
        { "/fits", true, false, kCeiling - 4096, false, true },
        { "/plain-at-ceiling", true, false, kCeiling, false, true },
        // A download to a file has no ceiling: no piece of a bomb is bounded
        // there, and it is inflated a step at a time all the same.
        { "/plain-unannounced", true, true, kCeiling + (std::size_t { 1 } << 20), false, true },
        { "/bomb", true, true, 4 * kCeiling },
        { "/bomb", false, true, 4 * kCeiling },
        // Unless its owner gives one: refused as it arrives, inflated or as it
        // came, announced or not.
        { "/bomb", true, true, std::nullopt, false, false, kFileCeiling },
        { "/bomb", false, true, std::nullopt, false, false, kFileCeiling },
        { "/plain-announced", true, true, std::nullopt, false, false, kFileCeiling },
        { "/plain-unannounced", true, true, std::nullopt, false, false, kFileCeiling },
    };
    TempDir dir;
    for (const Case& c : cases) {
        if (c.large && kThreadSanitizer)
            continue;
        SCOPED_TRACE(std::string(c.path) + (c.keptCompressed ? " kept compressed" : " inflated as it comes")
            + (c.toFile ? " to a file" : "") + (c.largestFile ? " under a ceiling" : "")
            + (c.synchronous ? " synchronously" : ""));
        auto get = request(c.path);
        get->setShouldWaitToInflateCompressedResponses(c.keptCompressed);
        std::filesystem::remove(dir.file("big.txt"));
        if (c.toFile)
            get->setDownloadDestinationPath(dir.file("big.txt"));
        get->setLargestFileDownload(c.largestFile);
        auto temporaryFiles = [] {
            std::set<std::string> names;
            for (const auto& entry : std::filesystem::directory_iterator(platform::AppPaths::temporaryDirectory()))
                names.insert(entry.path().filename().string());
            return names;
        };
        const auto temporaryBefore = temporaryFiles();
        auto recorder = std::make_shared<RecordingDelegate>();
        get->setDelegate(recorder);
        std::optional<std::size_t> read;
        bool textRead = false;
        ASSERT_TRUE(testsupport::resetPeakResident());
        const double residentBefore = testsupport::residentMegabytes();
        double mainGap = 0;
        double networkGap = 0;
        {
            testsupport::LoopGapWatch onMain(platform::RunLoop::main());
            testsupport::LoopGapWatch onNetwork(HTTPRequest::threadForRequest(*get));
            // The body read twice, as a screen reads its reply (as data, then
            // as text), whichever way the request ends.
            auto done = std::make_shared<bool>(false);
            auto readBody = [&read, done, weak = std::weak_ptr<HTTPRequest>(get)] {
                if (auto finished = weak.lock()) {
                    for (int time = 0; time < 2; ++time)
                        if (auto body = finished->responseData())
                            read = body->size();
                }
                *done = true;
            };
            get->setCompletionBlock(readBody);
            get->setFailedBlock(readBody);
            if (c.synchronous)
                get->startSynchronous();
            else
                get->startAsynchronous();
            ASSERT_TRUE(platform::RunLoop::main().runUntil([done] { return *done; }, 60));
            pumpMainLoop(0.05);
            mainGap = onMain.longestBusyGap();
            networkGap = onNetwork.longestBusyGap();
            EXPECT_GT(onMain.ticks(), 0);
            EXPECT_GT(onNetwork.ticks(), 0);
        }
        const double grown = testsupport::peakResidentMegabytes() - residentBefore;
        textRead = get->responseString().has_value();
        if (!c.size) {
            EXPECT_TRUE(get->error() && foundation::isTooLargeError(*get->error()));
            EXPECT_EQ(recorder->events.back(), "failed");
            EXPECT_FALSE(read);
            EXPECT_FALSE(textRead);
            EXPECT_FALSE(std::filesystem::exists(dir.file("big.txt")));
            EXPECT_EQ(temporaryFiles(), temporaryBefore) << "part of a refused body was left";
            // The ceiling, the buffers it grew through (which the sanitizers
            // hold on to a while) and their bookkeeping: far from the
            // hundreds of megabytes each piece of the body inflates to. (The
            // thread sanitizer's shadow of memory is several times the
            // memory itself.)
            if (!kThreadSanitizer) {
                EXPECT_LT(grown, 280) << "megabytes";
            }
        } else {
            ASSERT_FALSE(get->error()) << get->error()->description();
            if (c.toFile) {
                EXPECT_EQ(std::filesystem::file_size(dir.file("big.txt")), *c.size);
            } else {
                EXPECT_EQ(read, c.size);
                EXPECT_TRUE(textRead);
            }
        }
        // No turn of either loop works through a whole body's inflation (a
        // copy of it is what a read costs): the CPU time its thread spent
        // between two turns, whatever else the machine is doing.
        // (A synchronous request holds its caller's loop until it ends.)
        if (!c.synchronous) {
            EXPECT_LT(mainGap, 0.4) << "seconds";
        }
        EXPECT_LT(networkGap, 0.4) << "seconds";
    }
    // Inflated whole by itself, a body stops at the limit it is given, and
    // says so by its error.
    platform::Bytes raw(bomb.begin(), bomb.end());
    platform::Error error;
    EXPECT_FALSE(foundation::DataDecompressor::uncompressData(raw, &error, kCeiling));
    EXPECT_TRUE(foundation::isTooLargeError(error));
}

TEST_F(ResponseTest, BrokenGzipFailsTheRequestAndKeepsTheOldFile)
{
    std::string gz = gzipped(toString(sampleBytes(200000, 2)));
    std::string truncated = gz.substr(0, gz.size() - 9);
    std::string corrupt = gz;
    for (std::size_t i = 30; i < 90; ++i)
        corrupt[i] = static_cast<char>(corrupt[i] ^ 0x33);
    server.on("/truncated",
        TestHttpServer::reply(
            response(truncated, TestResponse::Framing::ContentLength, { { "Content-Encoding", "gzip" } })));
    server.on("/corrupt",
        TestHttpServer::reply(
            response(corrupt, TestResponse::Framing::ContentLength, { { "Content-Encoding", "gzip" } })));
    TempDir dir;
    for (const char* path : { "/truncated", "/corrupt" }) {
        for (bool wait : { true, false }) {
            for (bool toFile : { false, true }) {
                writeFile(dir.file("voice.amr"), toBytes("good old file"));
                auto get = request(path);
                get->setShouldWaitToInflateCompressedResponses(wait);
                if (toFile)
                    get->setDownloadDestinationPath(dir.file("voice.amr"));
                auto recorder = std::make_shared<RecordingDelegate>();
                get->setDelegate(recorder);
                ASSERT_TRUE(runRequest(get));
                ASSERT_TRUE(get->error()) << path << " wait " << wait << " file " << toFile;
                EXPECT_EQ(get->error()->code(), CompressionError);
                EXPECT_EQ(recorder->events.back(), "failed");
                EXPECT_EQ(toString(readFile(dir.file("voice.amr"))), "good old file");
            }
        }
    }
    EXPECT_EQ(runCommand("ls '" + dir.path() + "'"), "voice.amr\n");
}

TEST_F(ResponseTest, DownloadToFileReplacesTheDestination)
{
    std::string body = toString(sampleBytes(150000, 6));
    server.on("/file", TestHttpServer::reply(response(body, TestResponse::Framing::ContentLength)));
    TempDir dir;
    writeFile(dir.file("package.zip"), toBytes("older"));
    auto download = request("/file");
    download->setDownloadDestinationPath(dir.file("package.zip"));
    long long announced = 0;
    unsigned long long received = 0;
    download->setDownloadSizeIncrementedBlock([&](long long size) { announced += size; });
    download->setBytesReceivedBlock([&](unsigned long long size, unsigned long long) { received += size; });
    ASSERT_TRUE(runRequest(download));
    ASSERT_FALSE(download->error()) << download->error()->description();
    EXPECT_TRUE(toString(readFile(dir.file("package.zip"))) == body);
    EXPECT_TRUE(download->rawResponseData().empty());
    pumpMainLoop(0.1);
    EXPECT_EQ(announced, static_cast<long long>(body.size()));
    EXPECT_EQ(received, body.size());
}

TEST_F(ResponseTest, KeptConnectionsAreReusedAndExpire)
{
    server.on("/keep", TestHttpServer::text(200, "kept"));
    server.on("/close",
        TestHttpServer::reply(response("bye", TestResponse::Framing::ContentLength, { { "Connection", "close" } })));
    server.on("/few",
        TestHttpServer::reply(
            response("few", TestResponse::Framing::ContentLength, { { "Keep-Alive", "timeout=15, max=5" } })));
    server.on("/http10", [](const TestRequest&, TestConnection& c) {
        TestResponse r;
        r.version = "HTTP/1.0";
        r.body = "old";
        c.respond(r);
    });

    auto connectionOf = [&](const std::string& path, double keepSeconds = 60) {
        auto get = request(path);
        get->setPersistentConnectionTimeoutSeconds(keepSeconds);
        EXPECT_TRUE(runRequest(get));
        EXPECT_FALSE(get->error()) << path;
        return std::pair { server.lastRequest()->connectionId, get->connectionID() };
    };

    auto first = connectionOf("/keep");
    auto second = connectionOf("/keep");
    EXPECT_EQ(second.first, first.first);
    EXPECT_EQ(second.second, first.second);

    // "Connection: close", a Keep-Alive allowing five or fewer requests, and
    // an HTTP/1.0 answer without keep-alive each end the connection's reuse.
    for (const char* path : { "/close", "/few", "/http10" }) {
        auto before = connectionOf(path);
        auto after = connectionOf("/keep");
        EXPECT_NE(after.first, before.first) << path;
    }

    // An idle connection past its life is dropped: the next request opens a new one.
    auto shortLived = connectionOf("/keep", 0.2);
    pumpMainLoop(0.5);
    auto fresh = connectionOf("/keep");
    EXPECT_NE(fresh.first, shortLived.first);
    EXPECT_NE(fresh.second, shortLived.second);
}

TEST_F(ResponseTest, DataCallbacksTakeTheBodyInOrder)
{
    std::string body = toString(sampleBytes(100000, 12));
    server.on("/data", TestHttpServer::reply(response(body, TestResponse::Framing::Chunked)));
    auto get = request("/data");
    auto recorder = std::make_shared<RecordingDelegate>();
    recorder->requestDidReceiveData = [&](const HTTPRequestPtr&, const platform::Bytes& data) {
        recorder->receivedData.insert(recorder->receivedData.end(), data.begin(), data.end());
    };
    get->setDelegate(recorder);
    ASSERT_TRUE(runRequest(get));
    EXPECT_TRUE(toString(recorder->receivedData) == body);
    EXPECT_TRUE(get->rawResponseData().empty());
}
