#include "foundation/http/DataDecompressor.h"
#include "foundation/http/HTTPRequest.h"
#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"
#include "platform/os/OperationQueue.h"
#include "tests/foundation/http/HttpTestHarness.h"
#include "tests/foundation/http/TestUtil.h"
#include "tests/support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

using foundation::DataDecompressor;
using foundation::HTTPRequest;
using foundation::RequestCancelledErrorType;

using namespace http_test;
using testsupport::TempDir;
using testsupport::TestHttpServer;

namespace {

// Holds the file queue while a test looks at what happens meanwhile; lets it
// go again however the test ends.
class HeldFileQueue {
public:
    HeldFileQueue() { HTTPRequest::fileQueue().setSuspended(true); }
    ~HeldFileQueue() { release(); }
    void release() { HTTPRequest::fileQueue().setSuspended(false); }
};

bool waitFor(const std::function<bool()>& condition, double seconds = 20)
{
    return platform::RunLoop::main().runUntil(condition, seconds);
}

std::vector<std::string> entriesOf(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A folder on another file system than the engine's temporary files where
// the machine has one (/dev/shm is a memory file system), so that putting a
// download in place is a copy, not a rename.
class OtherFileSystemDir {
public:
    OtherFileSystemDir()
    {
        struct stat shm { }, temporary { };
        if (::stat("/dev/shm", &shm) == 0
            && ::stat(platform::AppPaths::temporaryDirectory().c_str(), &temporary) == 0
            && shm.st_dev != temporary.st_dev) {
            char name[] = "/dev/shm/orb-download-XXXXXX";
            if (::mkdtemp(name))
                path_ = name;
        }
        if (path_.empty())
            path_ = fallback_.path();
    }
    ~OtherFileSystemDir()
    {
        if (path_ != fallback_.path()) {
            std::error_code ignored;
            std::filesystem::remove_all(path_, ignored);
        }
    }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    TempDir fallback_;
    std::string path_;
};

class FileWorkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start());
        server.onPrefix("/", TestHttpServer::text(200, "ok"));
    }
    std::shared_ptr<HTTPRequest> request(const std::string& path)
    {
        return HTTPRequest::requestWithURL(*platform::Url::parse(server.url(path)));
    }
    static void startTracking(const std::shared_ptr<HTTPRequest>& request, std::shared_ptr<bool> done)
    {
        request->setCompletionBlock([done] { *done = true; });
        request->setFailedBlock([done] { *done = true; });
        request->startAsynchronous();
    }
    std::size_t requestsTo(const std::string& path) const
    {
        auto all = server.requests();
        return static_cast<std::size_t>(
            std::count_if(all.begin(), all.end(), [&](const auto& seen) { return seen.path == path; }));
    }
    TestHttpServer server;
};

} // namespace

TEST_F(FileWorkTest, CompressingABodyFileAndPlacingADownloadLeaveTheNetworkThreadServingOthers)
{
    TempDir dir;
    platform::Bytes content = sampleBytes(3 * 1024 * 1024, 5);
    writeFile(dir.file("body"), content);
    std::string payload = toString(sampleBytes(2 * 1024 * 1024, 7));
    server.on("/package", TestHttpServer::text(200, payload));
    OtherFileSystemDir destination;

    HeldFileQueue held;
    auto upload = request("/upload");
    upload->setShouldCompressRequestBody(true);
    upload->setPostBodyFilePath(dir.file("body"));
    upload->setShouldStreamPostDataFromDisk(true);
    auto uploadDone = std::make_shared<bool>(false);
    startTracking(upload, uploadDone);

    auto download = request("/package");
    download->setDownloadDestinationPath(destination.file("package.zip"));
    auto downloadDone = std::make_shared<bool>(false);
    startTracking(download, downloadDone);

    // Both wait for their file work: the body's compression, the download's move.
    ASSERT_TRUE(waitFor([] { return HTTPRequest::fileQueue().operationCount() == 2; }));

    // Meanwhile the network thread answers another request to its end.
    auto other = request("/ping");
    ASSERT_TRUE(runRequest(other));
    ASSERT_FALSE(other->error()) << other->error()->description();
    EXPECT_EQ(bodyText(other), "ok");
    EXPECT_FALSE(*uploadDone);
    EXPECT_FALSE(*downloadDone);
    EXPECT_EQ(requestsTo("/upload"), 0u) << "the body went out before it was compressed";
    EXPECT_FALSE(platform::FileUtil::exists(destination.file("package.zip")));

    held.release();
    ASSERT_TRUE(waitFor([&] { return *uploadDone && *downloadDone; }));
    ASSERT_FALSE(upload->error()) << upload->error()->description();
    ASSERT_FALSE(download->error()) << download->error()->description();

    std::optional<testsupport::TestRequest> sent;
    for (const auto& seen : server.requests())
        if (seen.path == "/upload")
            sent = seen;
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->header("Content-Encoding").value_or(""), "gzip");
    EXPECT_EQ(sent->header("Content-Length").value_or(""), std::to_string(sent->body.size()));
    auto inflated = DataDecompressor::uncompressData(toBytes(sent->body), nullptr);
    ASSERT_TRUE(inflated);
    EXPECT_TRUE(*inflated == content);
    EXPECT_TRUE(toString(readFile(destination.file("package.zip"))) == payload);
    EXPECT_EQ(entriesOf(std::filesystem::path(destination.file("package.zip")).parent_path().string()),
        std::vector<std::string> { "package.zip" })
        << "nothing of the copy is left beside the destination";
}

TEST_F(FileWorkTest, ARequestCancelledWhileItsBodyIsCompressedSendsNothingAndLeavesNoFile)
{
    TempDir dir;
    writeFile(dir.file("body"), sampleBytes(512 * 1024, 3));
    const std::string temporary = platform::AppPaths::temporaryDirectory();
    const auto before = entriesOf(temporary);

    HeldFileQueue held;
    auto upload = request("/upload");
    upload->setShouldCompressRequestBody(true);
    upload->setPostBodyFilePath(dir.file("body"));
    upload->setShouldStreamPostDataFromDisk(true);
    auto done = std::make_shared<bool>(false);
    startTracking(upload, done);
    ASSERT_TRUE(waitFor([] { return HTTPRequest::fileQueue().operationCount() == 1; }));

    upload->cancel();
    ASSERT_TRUE(waitFor([&] { return *done; }));
    ASSERT_TRUE(upload->error());
    EXPECT_EQ(upload->error()->code(), RequestCancelledErrorType);

    held.release();
    // The compressed copy made after the cancel is removed once it is done.
    EXPECT_TRUE(waitFor([&] { return HTTPRequest::fileQueue().operationCount() == 0 && entriesOf(temporary) == before; }))
        << "left in the temporary folder: " << entriesOf(temporary).size() - before.size();
    EXPECT_EQ(requestsTo("/upload"), 0u);
    EXPECT_TRUE(platform::FileUtil::exists(dir.file("body"))) << "the caller's file is the caller's";
}
