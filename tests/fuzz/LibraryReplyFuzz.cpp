// libFuzzer target: the video library's replies, as the dispatcher hands
// them to the library's screens and as the screens read them into grades,
// subjects, videos and comments. The first byte picks the request type (the
// home, the grades, a subject's videos, a video's detail, its comments); the
// rest is the reply body. Every model must hold what its dictionary said
// (a field of the wrong kind stays at its initial value), and a model
// written back in the reply's form must read back the same. The library
// keeps nothing on the phone, so what is read back is that written form.
// A difference aborts.
#include "content/library/EVModels.h"
#include "core/network/ORBReplyParser.h"
#include "platform/os/AppPaths.h"
#include "tests/fuzz/FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

using content::EVCommentInfo;
using content::EVGradeInfo;
using content::EVSubjectInfo;
using content::EVVideoInfo;
using platform::Array;
using platform::Dictionary;
using platform::Value;

constexpr int kTypes[] = { 35, 36, 37, 38, 39, 40, 41 };
constexpr const char* kTimePattern = "yyyy-MM-dd HH:mm:ss";

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "library_reply_fuzz: %s\n", what);
        std::abort();
    }
}

std::optional<std::string> textIn(const Value& value)
{
    return value.isString() ? std::optional(value.stringValue()) : std::nullopt;
}
long long numberIn(const Value& value) { return value.isNumber() ? value.longLongValue() : 0; }

// A time read from a text is one the library's pattern writes and reads back.
void checkTime(const std::optional<platform::Date>& time, const Value& source)
{
    if (!source.isString()) {
        check(!time, "a time read from no text");
        return;
    }
    if (!time)
        return;
    auto again = content::libraryTime(Value(content::formatLibraryTime(time, kTimePattern)));
    check(again && *again == *time, "a time does not read back");
}

void setText(Dictionary& out, const char* key, const std::optional<std::string>& text)
{
    if (text)
        out.set(key, *text);
}
void setTime(Dictionary& out, const char* key, const std::optional<platform::Date>& time)
{
    if (time)
        out.set(key, content::formatLibraryTime(time, kTimePattern));
}

// ---- Each model against its dictionary, and written back -------------------------------

void checkComment(const EVCommentInfo& c, const Value& source)
{
    check(c.commentId == numberIn(source["commentId"]), "comment id");
    check(c.content == textIn(source["content"]) && c.userName == textIn(source["userName"])
            && c.userPic == textIn(source["userPic"]),
        "comment texts");
    check(c.userType == static_cast<int>(numberIn(source["userType"])), "comment user type");
    check(c.score == static_cast<int>(numberIn(source["score"])), "comment score");
    checkTime(c.commentTime, source["commentTime"]);
    const std::string role = c.roleText();
    check(role == (c.userType == 1 ? "教师" : c.userType == 2 ? "家长" : "学生"), "comment role");
}

Value written(const EVCommentInfo& c)
{
    Dictionary out;
    out.set("commentId", c.commentId);
    setText(out, "content", c.content);
    setText(out, "userName", c.userName);
    out.set("userType", c.userType);
    setText(out, "userPic", c.userPic);
    out.set("score", c.score);
    setTime(out, "commentTime", c.commentTime);
    return Value(std::move(out));
}

bool same(const EVCommentInfo& a, const EVCommentInfo& b)
{
    return a.commentId == b.commentId && a.content == b.content && a.userName == b.userName
        && a.userType == b.userType && a.userPic == b.userPic && a.score == b.score && a.commentTime == b.commentTime;
}

void checkVideo(const EVVideoInfo& v, const Value& source)
{
    check(v.videoId == numberIn(source["videoId"]), "video id");
    check(v.title == textIn(source["title"]) && v.picPath == textIn(source["picPath"])
            && v.webSite == textIn(source["webSite"]) && v.remark == textIn(source["remark"])
            && v.createrName == textIn(source["createrName"]),
        "video texts");
    check(v.readCount == static_cast<int>(numberIn(source["readCount"])), "video read count");
    checkTime(v.createTime, source["createTime"]);
    const Array* comments = source["commentItems"].asArray();
    check(v.commentItems.has_value() == (comments != nullptr), "video comment list");
    if (!comments)
        return;
    std::size_t n = 0;
    for (const Value& item : *comments) {
        if (!item.isDictionary())
            continue;
        check(n < v.commentItems->size(), "video comments missing");
        checkComment(*(*v.commentItems)[n++], item);
    }
    check(n == v.commentItems->size(), "video comments too many");
}

Value written(const EVVideoInfo& v)
{
    Dictionary out;
    out.set("videoId", v.videoId);
    setText(out, "title", v.title);
    setTime(out, "createTime", v.createTime);
    setText(out, "picPath", v.picPath);
    setText(out, "webSite", v.webSite);
    setText(out, "remark", v.remark);
    out.set("readCount", v.readCount);
    setText(out, "createrName", v.createrName);
    if (v.commentItems) {
        Array comments;
        for (const auto& c : *v.commentItems)
            comments.push_back(written(*c));
        out.set("commentItems", Value(std::move(comments)));
    }
    return Value(std::move(out));
}

bool same(const EVVideoInfo& a, const EVVideoInfo& b)
{
    if (!(a.videoId == b.videoId && a.title == b.title && a.createTime == b.createTime && a.picPath == b.picPath
            && a.webSite == b.webSite && a.remark == b.remark && a.readCount == b.readCount
            && a.createrName == b.createrName && a.commentItems.has_value() == b.commentItems.has_value()))
        return false;
    if (!a.commentItems)
        return true;
    if (a.commentItems->size() != b.commentItems->size())
        return false;
    for (std::size_t i = 0; i < a.commentItems->size(); ++i) {
        if (!same(*(*a.commentItems)[i], *(*b.commentItems)[i]))
            return false;
    }
    return true;
}

void videoRoundTrip(const Value& source)
{
    auto video = EVVideoInfo::videoWithObj(source);
    check((video != nullptr) == source.isDictionary(), "a video from a dictionary only");
    if (!video)
        return;
    checkVideo(*video, source);
    auto again = EVVideoInfo::videoWithObj(written(*video));
    check(again && same(*video, *again), "a video does not read back");
}

void commentRoundTrip(const Value& source)
{
    auto comment = EVCommentInfo::commentWithObj(source);
    check((comment != nullptr) == source.isDictionary(), "a comment from a dictionary only");
    if (!comment)
        return;
    checkComment(*comment, source);
    auto again = EVCommentInfo::commentWithObj(written(*comment));
    check(again && same(*comment, *again), "a comment does not read back");
}

void gradeRoundTrip(const Value& source)
{
    auto grade = EVGradeInfo::gradeWithObj(source);
    check((grade != nullptr) == source.isDictionary(), "a grade from a dictionary only");
    if (!grade)
        return;
    check(grade->gradeBank == numberIn(source["gradeBank"]) && grade->gradeName == textIn(source["gradeName"]),
        "grade");
    Dictionary out;
    out.set("gradeBank", grade->gradeBank);
    setText(out, "gradeName", grade->gradeName);
    auto again = EVGradeInfo::gradeWithObj(Value(std::move(out)));
    check(again && again->gradeBank == grade->gradeBank && again->gradeName == grade->gradeName,
        "a grade does not read back");
}

void subjectRoundTrip(const Value& source)
{
    auto subject = EVSubjectInfo::subjectWithObj(source);
    const bool expected = source.isDictionary() && numberIn(source["subjectId"]) != 0;
    check((subject != nullptr) == expected, "a subject from a dictionary with an id only");
    if (!subject)
        return;
    check(subject->subjectName == textIn(source["subjectName"]) && subject->subjectPic == textIn(source["subjectPic"]),
        "subject texts");
    Dictionary out;
    out.set("subjectId", subject->subjectId);
    setText(out, "subjectName", subject->subjectName);
    setText(out, "subjectPic", subject->subjectPic);
    Array videos;
    std::size_t n = 0;
    if (const Array* items = source["videoItems"].asArray()) {
        for (const Value& item : *items) {
            if (!item.isDictionary())
                continue;
            check(n < subject->videoItems.size(), "subject videos missing");
            checkVideo(*subject->videoItems[n++], item);
        }
    }
    check(n == subject->videoItems.size(), "subject videos too many");
    for (const auto& v : subject->videoItems)
        videos.push_back(written(*v));
    out.set("videoItems", Value(std::move(videos)));
    auto again = EVSubjectInfo::subjectWithObj(Value(std::move(out)));
    check(again && again->subjectId == subject->subjectId && again->subjectName == subject->subjectName
            && again->subjectPic == subject->subjectPic && again->videoItems.size() == subject->videoItems.size(),
        "a subject does not read back");
    for (std::size_t i = 0; i < subject->videoItems.size(); ++i)
        check(same(*again->videoItems[i], *subject->videoItems[i]), "a subject's video does not read back");
}

template <class F> void eachIn(const Value& list, F f)
{
    if (const Array* items = list.asArray()) {
        for (const Value& item : *items)
            f(item);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::quietLog();
    platform::AppPaths::setHome(fuzzsupport::scratch());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzsupport::Input input(data, size);
    const int type = kTypes[input.takeByte() % (sizeof kTypes / sizeof kTypes[0])];
    const std::string body = input.rest();
    int calls = 0;
    Value reply;
    core::ORBReplyParser::requestCompleted(
        type, std::nullopt, body, platform::Bytes(body.begin(), body.end()),
        [&](const Value& result) {
            ++calls;
            reply = result;
        },
        [&](const std::string&) { ++calls; });
    check(calls == 1, "not exactly one block called");
    if (!reply.isDictionary())
        return 0;
    // What the library's screens read of a reply, whichever they asked for.
    eachIn(reply["items"], gradeRoundTrip);
    gradeRoundTrip(reply["grade"]);
    eachIn(reply["subItems"], subjectRoundTrip);
    subjectRoundTrip(reply["teaItem"]);
    eachIn(reply["videoItems"], videoRoundTrip);
    videoRoundTrip(reply);
    eachIn(reply["commentItems"], commentRoundTrip);
    return 0;
}
