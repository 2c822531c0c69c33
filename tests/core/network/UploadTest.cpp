// Photo and voice uploads against the stand-in server: the bytes it keeps,
// the addresses its reply gives back, and the uploads that must never leave.
#include "core/model/ContactInfo.h"
#include "core/model/MessageInfo.h"
#include "core/network/builders/MessageLoader.h"
#include "core/network/builders/ORBUploadControl.h"
#include "core/session/ORBEndpoints.h"
#include "platform/graphics/Image.h"
#include "platform/os/FileUtil.h"
#include "platform/os/PlatformJson.h"
#include "server/StaticMedia.h"
#include "tests/core/network/BuilderSupport.h"

using namespace dispatchertest;
using namespace core;
using platform::Bytes;
using platform::Value;
using server::ScriptedReply;

namespace {

class Uploads : public BuilderTest {
protected:
    std::string writeFile(const std::string& name, const Bytes& bytes)
    {
        std::string path = home + "/" + name;
        EXPECT_TRUE(platform::FileUtil::write(path, bytes, platform::FileUtil::WriteMode::Atomic));
        return path;
    }

    // A real JPEG, made from one of the server's generated pictures.
    Bytes jpegBytes()
    {
        std::string png = server::pngImage("upload-test", 96);
        auto image = platform::Image::decode(Bytes(png.begin(), png.end()));
        EXPECT_TRUE(image);
        auto jpeg = image ? image->encodeJPEG(0.8) : std::nullopt;
        EXPECT_TRUE(jpeg && platform::Image::sniffFormat(*jpeg) == platform::ImageFormat::JPEG);
        return jpeg.value_or(Bytes {});
    }

    Bytes amrBytes()
    {
        std::string amr = server::amrSilence(2);
        return Bytes(amr.begin(), amr.end());
    }

    // What the server serves at an address it gave.
    Bytes fetch(const std::string& address)
    {
        BuilderOutcome outcome = run([&](BuilderDelegate& d) {
            return builder::addressRequest(address, "GET", d.self(), d.success(), d.fail());
        });
        EXPECT_EQ(outcome.finished, 1) << address;
        return outcome.request ? outcome.request->rawResponseData() : Bytes {};
    }

    // Signs in as an account of our own making, as the screens could not.
    void becomeAccount(int uid, int type)
    {
        auto session = std::make_shared<MyAccountInfo>();
        auto account = std::make_shared<AccountInfo>();
        account->uid = uid;
        account->type = type;
        account->region = "gz";
        session->setCurrent(account);
        MyAccountInfo::setInstance(session);
    }
};

TEST_F(Uploads, APhotoAndAVoiceClipArriveWholeAndTheirAddressesLandInTheModels)
{
    auto session = signIn();
    ASSERT_TRUE(session);
    const std::string account
        = std::to_string(session->current()->uid) + "/" + std::to_string(session->current()->type);

    Bytes jpeg = jpegBytes();
    PhotoInfo photo;
    photo.path = writeFile("00001.jpg", jpeg);
    standin().requests().clear();
    BuilderOutcome sent = run(
        [&](auto& d) { return ORBUploadControl::uploadPhotoType(0, photo, {}, d.self(), d.success(), d.fail()); });
    ASSERT_EQ(sent.finished, 1);
    auto request = lastRequest();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.route, "upload/msgpic/" + account);
    const server::MultipartPart* file = request.part("file");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->fileName, "00001.jpg");
    EXPECT_EQ(file->content, std::string(jpeg.begin(), jpeg.end()));
    ASSERT_TRUE(ORBUploadControl::storePhotoReply(*sent.request, photo));
    EXPECT_EQ(photo.url.rfind(ORBEndpoints::serverBase(), 0), 0u) << photo.url;
    EXPECT_FALSE(photo.thumbUrl.empty());
    EXPECT_EQ(fetch(photo.url), jpeg);

    Bytes amr = amrBytes();
    SoundInfo clip;
    clip.amrPath = writeFile("clip.amr", amr);
    clip.seconds = 2;
    BuilderOutcome voice
        = run([&](auto& d) { return ORBUploadControl::uploadSound(clip, {}, d.self(), d.success(), d.fail()); });
    ASSERT_EQ(voice.finished, 1);
    auto voiceRequest = lastRequest();
    EXPECT_EQ(voiceRequest.route, "upload/audio/" + account);
    ASSERT_TRUE(voiceRequest.part("file"));
    EXPECT_EQ(voiceRequest.part("file")->content, std::string(amr.begin(), amr.end()));
    ASSERT_TRUE(ORBUploadControl::storeSoundReply(*voice.request, clip));
    EXPECT_EQ(fetch(clip.url), amr);
}

TEST_F(Uploads, EachPhotoTypeHasItsFolderAndTheAccountNamesThePath)
{
    becomeAccount(1234, 2);
    PhotoInfo photo;
    photo.path = writeFile("p.jpg", jpegBytes());
    const std::vector<std::pair<int, std::string>> rows { { 0, "upload/msgpic/1234/2" }, { 1, "upload/userpic/1234/2" },
        { 2, "upload/weibopic/1234/2" }, { 3, "upload/homeworkpic/1234/2" }, { 4, "upload/weibopic/1234/2" } };
    for (const auto& row : rows) {
        const int type = row.first;
        const std::string& route = row.second;
        SCOPED_TRACE(type);
        EXPECT_EQ(run([&](auto& d) {
            return ORBUploadControl::uploadPhotoType(type, photo, {}, d.self(), d.success(), d.fail());
        }).finished,
            1);
        EXPECT_EQ(lastRequest().route, route);
    }
    SoundInfo clip;
    clip.amrPath = writeFile("c.amr", amrBytes());
    run([&](auto& d) { return ORBUploadControl::uploadSound(clip, {}, d.self(), d.success(), d.fail()); });
    EXPECT_EQ(lastRequest().route, "upload/audio/1234/2");
}

TEST_F(Uploads, AnUnwrittenFileOrAnUnknownKindIsReportedAndNeverSent)
{
    signIn();
    std::string real = writeFile("p.jpg", jpegBytes());
    struct Row {
        const char* name;
        int type;
        std::string path;
    };
    for (const Row& row :
        std::vector<Row> { { "photo never written", 0, "" }, { "photo write failed", 0, home + "/missing/00002.jpg" },
            { "no folder for the type", 9, real }, { "negative type", -1, real } }) {
        SCOPED_TRACE(row.name);
        standin().requests().clear();
        PhotoInfo photo;
        photo.path = row.path;
        BuilderOutcome outcome = run([&](auto& d) {
            return ORBUploadControl::uploadPhotoType(row.type, photo, {}, d.self(), d.success(), d.fail());
        });
        EXPECT_EQ(outcome.failed, 1);
        EXPECT_EQ(outcome.finished, 0);
        EXPECT_TRUE(outcome.error);
        EXPECT_TRUE(requests().empty());
    }
    SoundInfo clip;
    clip.amrPath = home + "/nothing.amr";
    standin().requests().clear();
    EXPECT_EQ(
        run([&](auto& d) { return ORBUploadControl::uploadSound(clip, {}, d.self(), d.success(), d.fail()); }).failed,
        1);
    EXPECT_TRUE(requests().empty());
}

TEST_F(Uploads, RepliesWithoutAddressesStoreNothing)
{
    signIn();
    std::string path = writeFile("p.jpg", jpegBytes());
    // Both addresses, in a reply longer than an upload's answer can be.
    std::string tooLong = R"({"original":"http://x/o.jpg","thumb":"http://x/t.jpg","note":")";
    tooLong += std::string((300 << 10) - tooLong.size(), 'x') + "\"}";
    for (const std::string& body :
        { std::string(R"({"resultState":1})"), std::string(R"({"original":"http://x/o.jpg"})"),
            std::string(R"({"original":"http://x/o.jpg","thumb":""})"), std::string(R"({"original":1,"thumb":2})"),
            std::string(R"(["http://x/o.jpg"])"), std::string("<html>busy</html>"), std::string(), tooLong }) {
        SCOPED_TRACE(body.substr(0, 80));
        standin().script().forRoute("upload", ScriptedReply::custom(200, body));
        PhotoInfo photo;
        photo.path = path;
        BuilderOutcome outcome = run(
            [&](auto& d) { return ORBUploadControl::uploadPhotoType(2, photo, {}, d.self(), d.success(), d.fail()); });
        ASSERT_EQ(outcome.finished, 1);
        EXPECT_FALSE(ORBUploadControl::storePhotoReply(*outcome.request, photo));
        EXPECT_EQ(photo.url, "");
        EXPECT_EQ(photo.thumbUrl, "");
    }
    SoundInfo clip;
    clip.amrPath = writeFile("c.amr", amrBytes());
    for (const char* body : { R"({"audio":""})", R"({"audio":null})", R"({"url":"http://x/a.amr"})" }) {
        SCOPED_TRACE(body);
        standin().script().forRoute("upload", ScriptedReply::custom(200, body));
        BuilderOutcome outcome
            = run([&](auto& d) { return ORBUploadControl::uploadSound(clip, {}, d.self(), d.success(), d.fail()); });
        ASSERT_EQ(outcome.finished, 1);
        EXPECT_FALSE(ORBUploadControl::storeSoundReply(*outcome.request, clip));
        EXPECT_EQ(clip.url, "");
    }
}

TEST_F(Uploads, TheSendLoaderUploadsTheFirstAttachmentThenSendsItsAddress)
{
    signIn();
    auto contact = std::make_shared<ContactInfo>();
    contact->uid = 3001;
    contact->type = 2;
    Bytes jpeg = jpegBytes();
    auto message = std::make_shared<MessageInfo>();
    message->to = true;
    message->contact = contact;
    message->content = "作业照片 & 说明";
    auto first = std::make_shared<PhotoInfo>();
    first->path = writeFile("first.jpg", jpeg);
    auto second = std::make_shared<PhotoInfo>();
    second->path = writeFile("second.jpg", jpegBytes());
    message->photosInfo = { first, second };
    ASSERT_EQ(MessageLoader::firstStep(*message), MessageLoader::Step::UploadPhoto);

    standin().requests().clear();
    BuilderOutcome upload
        = run([&](auto& d) { return MessageLoader::firstRequest(message, d.self(), d.success(), d.fail()); });
    ASSERT_EQ(upload.finished, 1);
    EXPECT_EQ(MessageLoader::messageOf(*upload.request), message);
    EXPECT_EQ(lastRequest().part("file")->content, std::string(jpeg.begin(), jpeg.end()));
    ASSERT_TRUE(MessageLoader::takeUploadReply(*upload.request, *message));
    EXPECT_FALSE(first->url.empty());
    EXPECT_TRUE(second->url.empty()) << "one attachment per message";

    BuilderOutcome send
        = run([&](auto& d) { return MessageLoader::sendRequest(message, d.self(), d.success(), d.fail()); });
    ASSERT_EQ(send.finished, 1);
    auto sent = lastRequest();
    EXPECT_EQ(sent.command, "30104");
    EXPECT_EQ(sent.bodyValue("linkManId"), Value(3001));
    EXPECT_EQ(sent.bodyValue("content"), Value("作业照片 & 说明"));
    EXPECT_EQ(sent.bodyValue("images")[0]["original"], Value(first->url));
    EXPECT_EQ(sent.bodyValue("images")[0]["thumb"], Value(first->thumbUrl));
    auto reply = platform::PlatformJson::read(send.request->responseString().value_or(""));
    ASSERT_TRUE(reply);
    EXPECT_TRUE((*reply)["msgId"].isString()) << reply->description();

    // A clip goes when there is no photo; a bare text is sent at once.
    auto voice = std::make_shared<MessageInfo>();
    auto clip = std::make_shared<SoundInfo>();
    clip->amrPath = writeFile("v.amr", amrBytes());
    voice->soundsInfo = { clip };
    EXPECT_EQ(MessageLoader::firstStep(*voice), MessageLoader::Step::UploadSound);
    BuilderOutcome clipUpload
        = run([&](auto& d) { return MessageLoader::firstRequest(voice, d.self(), d.success(), d.fail()); });
    EXPECT_EQ(lastRequest().route.rfind("upload/audio/", 0), 0u);
    ASSERT_TRUE(clipUpload.request);
    EXPECT_TRUE(MessageLoader::takeUploadReply(*clipUpload.request, *voice));
    EXPECT_FALSE(clip->url.empty());
    EXPECT_EQ(MessageLoader::firstStep(MessageInfo {}), MessageLoader::Step::Send);
}

} // namespace
