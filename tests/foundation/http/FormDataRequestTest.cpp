#include "foundation/http/FormDataRequest.h"
#include "tests/foundation/http/HttpTestHarness.h"
#include "tests/foundation/http/TestUtil.h"
#include "tests/support/TestHttpServer.h"

#include <gtest/gtest.h>
#include <regex>

using foundation::FormDataRequest;
using foundation::InternalErrorWhileBuildingRequestType;

using namespace http_test;
using testsupport::TestHttpServer;

namespace {

class FormDataRequestTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start());
        server.on("/upload", TestHttpServer::text(200, "{\"result\":0}", "application/json"));
    }
    std::shared_ptr<FormDataRequest> form()
    {
        return FormDataRequest::requestWithURL(*platform::Url::parse(server.url("/upload")));
    }
    std::string boundaryOf(const testsupport::TestRequest& seen)
    {
        std::smatch match;
        std::string type = seen.header("Content-Type").value_or("");
        static const std::regex pattern("^multipart/form-data; charset=utf-8; boundary=(0xKhTmLbOuNdArY-[0-9A-F]{8}-"
                                        "[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12})$");
        return std::regex_match(type, match, pattern) ? match[1].str() : std::string();
    }
    TestHttpServer server;
};

} // namespace

TEST_F(FormDataRequestTest, OneFileUploadIsExactlyThePartAndItsBytes)
{
    TempDir dir;
    platform::Bytes voice = sampleBytes(300000, 21);
    voice.insert(voice.begin(), { '#', '!', 'A', 'M', 'R', '\n' });
    writeFile(dir.file("clip.amr"), voice);
    auto upload = form();
    upload->setFile(dir.file("clip.amr"), "file");
    ASSERT_TRUE(runRequest(upload));
    ASSERT_FALSE(upload->error()) << upload->error()->description();
    auto seen = server.lastRequest();
    EXPECT_EQ(seen->method, "POST");
    std::string boundary = boundaryOf(*seen);
    ASSERT_FALSE(boundary.empty()) << seen->header("Content-Type").value_or("");
    std::string expected = "--" + boundary + "\r\n"
        + "Content-Disposition: form-data; name=\"file\"; filename=\"clip.amr\"\r\n" + "Content-Type: audio/amr\r\n\r\n"
        + toString(voice) + "\r\n--" + boundary + "--\r\n";
    EXPECT_TRUE(seen->body == expected);
    EXPECT_EQ(seen->header("Content-Length").value_or(""), std::to_string(expected.size()));
    EXPECT_EQ(upload->responseString().value_or(""), "{\"result\":0}");
}

TEST_F(FormDataRequestTest, FieldsAndFilesInOrderWithSeparators)
{
    auto upload = form();
    upload->setPostFormat(FormDataRequest::multipartFormDataPostFormat);
    upload->addPostValue(platform::Value("一"), "a");
    upload->addPostValue(platform::Value(42), "b");
    upload->addData(toBytes("raw"), "blob");
    ASSERT_TRUE(runRequest(upload));
    auto seen = server.lastRequest();
    std::string b = boundaryOf(*seen);
    ASSERT_FALSE(b.empty());
    std::string expected = "--" + b + "\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n一\r\n--" + b
        + "\r\nContent-Disposition: form-data; name=\"b\"\r\n\r\n42\r\n--" + b
        + "\r\nContent-Disposition: form-data; name=\"blob\"; filename=\"file\"\r\nContent-Type: "
          "application/octet-stream\r\n\r\nraw\r\n--"
        + b + "--\r\n";
    EXPECT_EQ(seen->body, expected);

    // Fields only: the last value runs straight into the closing line.
    auto fieldsOnly = form();
    fieldsOnly->setPostFormat(FormDataRequest::multipartFormDataPostFormat);
    fieldsOnly->setPostValue(platform::Value("x"), "k");
    fieldsOnly->setPostValue(platform::Value("y"), "k");
    ASSERT_TRUE(runRequest(fieldsOnly));
    seen = server.lastRequest();
    b = boundaryOf(*seen);
    EXPECT_EQ(seen->body, "--" + b + "\r\nContent-Disposition: form-data; name=\"k\"\r\n\r\ny\r\n--" + b + "--\r\n");
}

TEST_F(FormDataRequestTest, UrlEncodedEscapesEverythingButTheSafeFew)
{
    auto post = form();
    post->addPostValue(platform::Value("a&b=c+d e"), "k 1");
    post->addPostValue(platform::Value("家~-_.!*'()"), "k2");
    ASSERT_TRUE(runRequest(post));
    auto seen = server.lastRequest();
    EXPECT_EQ(seen->header("Content-Type").value_or(""), "application/x-www-form-urlencoded; charset=utf-8");
    EXPECT_EQ(seen->body, "k%201=a%26b%3Dc%2Bd%20e&k2=%E5%AE%B6%7E-_.%21%2A%27%28%29");

    // Without fields the raw body goes out as it was set, with no type of its own.
    auto raw = form();
    raw->setPostBody(toBytes("{\"cmd\":\"1\"}"));
    ASSERT_TRUE(runRequest(raw));
    EXPECT_EQ(server.lastRequest()->body, "{\"cmd\":\"1\"}");
    EXPECT_FALSE(server.lastRequest()->header("Content-Type"));
}

TEST_F(FormDataRequestTest, NamesCannotBreakOutOfTheirPartHeader)
{
    auto upload = form();
    upload->addData(toBytes("x"), std::string("evil\".jpg\"\r\nContent-Type: text/html"),
        std::string("image/jpeg\r\nX-Injected: 1"), "fi\"le\r\n");
    ASSERT_TRUE(runRequest(upload));
    auto seen = server.lastRequest();
    EXPECT_NE(seen->body.find("name=\"fi%22le%0D%0A\"; filename=\"evil%22.jpg%22%0D%0AContent-Type: text/html\"\r\n"),
        std::string::npos)
        << seen->body;
    EXPECT_NE(seen->body.find("Content-Type: application/octet-stream\r\n\r\nx"), std::string::npos);
    EXPECT_EQ(seen->body.find("X-Injected"), std::string::npos);
}

TEST_F(FormDataRequestTest, MissingFileIsReportedWhenTheRequestStarts)
{
    auto upload = form();
    upload->setFile("/nonexistent/photo.jpg", "file");
    // The owner sets its delegate after attaching the file, as the uploads do.
    auto recorder = std::make_shared<RecordingDelegate>();
    upload->setDelegate(recorder);
    ASSERT_TRUE(runRequest(upload));
    ASSERT_TRUE(upload->error());
    EXPECT_EQ(upload->error()->code(), InternalErrorWhileBuildingRequestType);
    EXPECT_EQ(upload->error()->localizedDescription(), "No file exists at /nonexistent/photo.jpg");
    EXPECT_EQ(recorder->events, std::vector<std::string> { "failed" });
    EXPECT_EQ(server.requests().size(), 0u);
    ASSERT_EQ(upload->fileData().size(), 1u);
    EXPECT_EQ(upload->fileData()[0].contentType, "application/octet-stream");
}

TEST_F(FormDataRequestTest, TextTheEncodingCannotWriteFailsTheRequest)
{
    auto post = form();
    post->setStringEncoding(platform::kISOLatin1StringEncoding);
    post->addPostValue(platform::Value("家长"), "name");
    ASSERT_TRUE(runRequest(post));
    ASSERT_TRUE(post->error());
    EXPECT_EQ(server.requests().size(), 0u);
}

TEST_F(FormDataRequestTest, CopyCarriesTheFormAndBuildsItAgain)
{
    TempDir dir;
    writeFile(dir.file("photo.jpg"), toBytes("jpegbytes"));
    auto upload = form();
    upload->addPostValue(platform::Value("v"), "k");
    upload->addFile(dir.file("photo.jpg"), "file");
    ASSERT_TRUE(runRequest(upload));
    std::string firstBody = server.lastRequest()->body;

    auto copy = std::dynamic_pointer_cast<FormDataRequest>(upload->copyWithZone());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->postData().size(), 1u);
    EXPECT_EQ(copy->fileData().size(), 1u);
    EXPECT_EQ(copy->postFormat(), FormDataRequest::multipartFormDataPostFormat);
    ASSERT_TRUE(runRequest(copy));
    ASSERT_FALSE(copy->error()) << copy->error()->description();
    auto seen = server.lastRequest();
    std::string b = boundaryOf(seen.value());
    EXPECT_EQ(seen->body.size(), firstBody.size());
    EXPECT_NE(seen->body.find("Content-Type: image/jpeg\r\n\r\njpegbytes\r\n--" + b + "--\r\n"), std::string::npos);
}
