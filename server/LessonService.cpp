#include "server/LessonService.h"

#include "platform/crypto/Md5.h"
#include "platform/os/FileUtil.h"
#include "platform/os/StringUtil.h"
#include "server/LessonSeed.h"
#include "server/LessonSite.h"
#include "server/SchoolData.h"
#include "server/StaticMedia.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#ifndef ORB_LESSON_MEDIA_DIR
#define ORB_LESSON_MEDIA_DIR ""
#endif

namespace server {

using platform::Array;
using platform::Dictionary;
using platform::Value;

namespace {

    constexpr int kBadRequest = 400;
    constexpr int kBadSignature = 1001;
    constexpr int kBadSession = 1002;
    constexpr int kNoSession = 1003;
    constexpr int kNoAccount = 2001;
    constexpr int kNotFound = 404;

    Reply envelopeReply(int code, const std::string& message, Value data = {})
    {
        Dictionary reply { { "code", code }, { "message", message }, { "request_time", SchoolData::timeText() } };
        if (!data.isNull())
            reply.set("data", std::move(data));
        Reply out;
        out.json = Value(std::move(reply));
        return out;
    }

    std::string md5Hex(const std::string& text) { return platform::Md5::hex(std::string_view(text)); }

    const Dictionary* findBy(const Value& list, const char* key, const Value& wanted)
    {
        if (const auto* array = list.asArray()) {
            for (const Value& element : *array) {
                const auto* dict = element.asDictionary();
                if (dict && dict->get(key) == wanted)
                    return dict;
            }
        }
        return nullptr;
    }

    // The signing keys: the application's key unchanged, its secret's digest
    // over the timestamp, and with a session the access token's digest over
    // the same timestamp. Nothing when the request may go on.
    std::optional<Reply> checkSignature(const Dictionary& body, const std::string& api, const Value& users)
    {
        const Value& stamp = body.get("timestamp");
        if (body.get("app_key") != Value(LessonServiceKeys::kAppKey) || !stamp.isInteger())
            return envelopeReply(kBadSignature, "签名校验失败");
        std::string stampText = std::to_string(stamp.longLongValue());
        const auto* secret = body.get("app_secret").asString();
        if (!secret || *secret != md5Hex(std::string(LessonServiceKeys::kAppSecret) + stampText))
            return envelopeReply(kBadSignature, "签名校验失败");
        const Value& sid = body.get("sid");
        if (sid.isNull()) {
            if (api != "user/login")
                return envelopeReply(kNoSession, "请先登录");
            return std::nullopt;
        }
        const Dictionary* user = sid.isInteger() ? findBy(users, "sid", Value(sid.longLongValue())) : nullptr;
        const auto* token = body.get("access_token").asString();
        if (!user || !token || *token != md5Hex(user->get("access_token").stringValue() + stampText))
            return envelopeReply(kBadSession, "登录信息已失效，请重新登录");
        return std::nullopt;
    }

    std::string playsKey(long long videoUid) { return "lesson_video_plays_" + std::to_string(videoUid); }

    // The lesson with each video's views raised by the plays counted here.
    Value withPlays(const Dictionary& lesson, SchoolData& data)
    {
        Dictionary copy = lesson;
        const auto* videos = lesson.get("videos").asArray();
        if (!videos)
            return Value(std::move(copy));
        Array counted;
        for (const Value& video : *videos) {
            const auto* fields = video.asDictionary();
            if (!fields) {
                counted.push_back(video);
                continue;
            }
            Dictionary raised = *fields;
            raised.set("views", fields->get("views").longLongValue() + lessonVideoPlays(data, fields->get("uid").longLongValue()));
            counted.push_back(Value(std::move(raised)));
        }
        copy.set("videos", Value(std::move(counted)));
        return Value(std::move(copy));
    }

    Value withoutVideos(const Value& lesson)
    {
        Dictionary copy = *lesson.asDictionary();
        copy.erase("videos");
        return Value(std::move(copy));
    }

    Reply serviceAnswer(const IncomingRequest& request, const std::string& api, SchoolData& data)
    {
        if (request.method != "POST")
            return envelopeReply(kBadRequest, "请求方式错误");
        const auto* body = request.body.asDictionary();
        if (!body)
            return envelopeReply(kBadRequest, "请求格式错误");
        Value users = lessons::users();
        if (auto refused = checkSignature(*body, api, users))
            return *refused;

        if (api == "user/login") {
            const Dictionary* user = findBy(users, "account", body->get("account"));
            if (!user)
                return envelopeReply(kNoAccount, "账号不存在");
            return envelopeReply(0, "", Value(*user));
        }
        if (api == "subject/items")
            return envelopeReply(0, "", lessons::subjects());
        if (api == "livevideo/items")
            return envelopeReply(0, "", lessons::liveVideos());
        Value lessonList = lessons::lessons();
        if (api == "livevideo/detail") {
            Value liveVideos = lessons::liveVideos();
            const Dictionary* series = findBy(liveVideos, "uid", Value(body->get("uid").longLongValue()));
            if (!series)
                return envelopeReply(kNotFound, "直播不存在");
            return envelopeReply(0, "", Value(*series));
        }
        if (api == "lesson/items") {
            Array out;
            const Value& subject = body->get("subject_sid");
            for (const Value& lesson : *lessonList.asArray()) {
                if (subject.isNull() || lesson["subject_sid"] == subject)
                    out.push_back(withoutVideos(lesson));
            }
            return envelopeReply(0, "", Value(std::move(out)));
        }
        if (api == "lesson/detail_with_right") {
            const Dictionary* lesson = findBy(lessonList, "uid", Value(body->get("uid").longLongValue()));
            if (!lesson)
                return envelopeReply(kNotFound, "课程不存在");
            return envelopeReply(0, "", withPlays(*lesson, data));
        }
        return envelopeReply(kNotFound, "接口不存在");
    }

    bool safeName(const std::string& name)
    {
        if (name.empty() || name[0] == '.')
            return false;
        for (char c : name) {
            bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-'
                || c == '_';
            if (!ok)
                return false;
        }
        return true;
    }

    std::string contentTypeOf(const std::string& name)
    {
        if (platform::hasSuffix(name, ".mp4"))
            return "video/mp4";
        if (platform::hasSuffix(name, ".m3u8"))
            return "application/vnd.apple.mpegurl";
        if (platform::hasSuffix(name, ".ts"))
            return "video/mp2t";
        return "application/octet-stream";
    }

    Reply notFoundPage()
    {
        Reply reply;
        reply.status = 404;
        reply.contentType = "text/plain; charset=UTF-8";
        reply.body = "not found";
        return reply;
    }

    const std::string* rangeOf(const IncomingRequest& request)
    {
        for (const auto& [name, value] : request.headers) {
            if (platform::equalsIgnoringAsciiCase(name, "Range"))
                return &value;
        }
        return nullptr;
    }

    bool asksForRange(const IncomingRequest& request) { return rangeOf(request) != nullptr; }

    // The video a movie fetch plays, when it is the start of a play: a GET of
    // the address a video names ("?video=<uid>") for the whole file or from
    // its first byte. The player's later range reads (the index at the file's
    // end, seeks) and the segments of a playlist are the same play.
    std::optional<long long> playStarted(const IncomingRequest& request)
    {
        if (request.method != "GET")
            return std::nullopt;
        if (const std::string* range = rangeOf(request)) {
            std::string asked = platform::trimWhitespaceAndNewlines(*range);
            if (!platform::hasPrefix(asked, "bytes=0-"))
                return std::nullopt;
        }
        for (const auto& [name, value] : request.query) {
            if (name != "video")
                continue;
            const Value& lessonList = lessons::lessons();
            for (const Value& lesson : *lessonList.asArray()) {
                if (const auto* videos = lesson["videos"].asArray()) {
                    for (const Value& video : *videos) {
                        if (std::to_string(video["uid"].longLongValue()) == value && !video["src"].stringValue().empty())
                            return video["uid"].longLongValue();
                    }
                }
            }
        }
        return std::nullopt;
    }

    // A movie file of the media folder ("clip.mp4", "hls/index.m3u8",
    // "hls/seg000.ts"), whole: the HTTP layer cuts the asked byte range from
    // it, so a request with a range gets 206 and the range's bytes.
    Reply mediaFile(const IncomingRequest& request, const std::vector<std::string>& names)
    {
        if (names.size() == 1 && names[0] == "not-a-video.mp4") {
            Reply reply;
            reply.contentType = "text/html; charset=UTF-8";
            reply.body = "<!DOCTYPE html><html><body><p>这不是视频文件</p></body></html>";
            return reply;
        }
        std::string path = lessonMediaDirectory();
        for (const auto& name : names) {
            if (!safeName(name))
                return notFoundPage();
            path = platform::FileUtil::joinPath(path, name);
        }
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return notFoundPage();
        std::ostringstream bytes;
        bytes << in.rdbuf();
        Reply reply;
        reply.contentType = contentTypeOf(names.back());
        reply.body = bytes.str();
        reply.headers.emplace_back("Accept-Ranges", "bytes");
        if (asksForRange(request))
            reply.status = 206;
        return reply;
    }

    Reply picture(const std::string& name)
    {
        if (!platform::hasSuffix(name, ".png") || !safeName(name))
            return notFoundPage();
        Reply reply;
        reply.contentType = "image/png";
        reply.body = pngImage(name, 160);
        return reply;
    }

} // namespace

std::string lessonMediaDirectory()
{
    if (const char* env = std::getenv("ORB_LESSON_MEDIA_DIR"); env && *env)
        return env;
    return ORB_LESSON_MEDIA_DIR;
}

long long lessonVideoPlays(SchoolData& data, long long videoUid)
{
    Value stored = data.scalar("SELECT value FROM meta WHERE key = ?", { playsKey(videoUid) });
    return stored.isNull() ? 0 : platform::leadingIntegerOf(stored.stringValue());
}

std::optional<Reply> answerLessonService(const IncomingRequest& request, SchoolData& data)
{
    if (auto site = answerLessonSite(request))
        return site;
    const std::string& route = request.route;
    if (!request.underPull) {
        if (platform::hasPrefix(route, "m/") && platform::hasSuffix(route, ".json"))
            return serviceAnswer(request, route.substr(2, route.size() - 2 - 5), data);
        return std::nullopt;
    }
    auto segments = platform::split(route, "/");
    if (segments.size() < 3 || segments[0] != "lessons")
        return std::nullopt;
    if (request.method != "GET" && request.method != "HEAD")
        return notFoundPage();
    if (segments[1] == "media" && segments.size() <= 4) {
        Reply reply = mediaFile(request, std::vector<std::string>(segments.begin() + 2, segments.end()));
        if (reply.status / 100 == 2) {
            if (auto video = playStarted(request)) {
                data.exec("INSERT OR REPLACE INTO meta VALUES (?, ?)",
                    { playsKey(*video), std::to_string(lessonVideoPlays(data, *video) + 1) });
            }
        }
        return reply;
    }
    if (segments[1] == "img" && segments.size() == 3)
        return picture(segments[2]);
    return notFoundPage();
}

} // namespace server
