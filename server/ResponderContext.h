#pragma once

// What the stand-in server's handlers share: the request being answered, the
// reply builders and the column lists of several answers. Internal to the
// server library; the handlers live one file per module (SysHandlers.cpp,
// RivuHandlers.cpp, ...), the route table that picks them in Responder.cpp.

#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"
#include "platform/os/PlatformJson.h"
#include "platform/os/StringUtil.h"
#include "server/Compression.h"
#include "server/Responder.h"
#include "server/SchoolData.h"
#include "server/StaticMedia.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <random>
#include <set>

namespace server {

using platform::Array;
using platform::Dictionary;
using platform::Value;

inline const std::set<std::string> kPhotoKinds = { "msgpic", "userpic", "weibopic", "homeworkpic" };

// Reply column expressions shared by several answers.
inline const std::string kAvatar = "COALESCE(p.avatar, '{base}static/avatar/' || p.person_id || '.png')";
inline const std::string kThumb = "COALESCE(p.avatar, '{base}static/avatar/' || p.person_id || '-thumb.png')";
// Pixel sizes of the served avatars: the thumbnail and the large picture.
inline constexpr int kAvatarThumbPixels = 160;
inline constexpr int kAvatarPixels = 320;
// A signed-in account as the platform names and pictures it, over
// "account a JOIN person p" with "LEFT JOIN person child ON child.person_id =
// a.student_id": a parent's account is the account of one child, so its name
// carries the child's name and, unless the parent chose a picture, its picture
// is the child's; a parent of two tells the accounts apart by them.
inline const std::string kAccountName
    = "CASE WHEN p.person_type = 2 AND child.name IS NOT NULL THEN p.name || '（' || child.name || '）' "
      "ELSE p.name END";
inline const std::string kAccountPictureOwner
    = "CASE WHEN p.person_type = 2 AND child.person_id IS NOT NULL THEN child.person_id ELSE p.person_id END";
inline const std::string kAccountAvatar
    = "COALESCE(p.avatar, '{base}static/avatar/' || " + kAccountPictureOwner + " || '.png')";
inline const std::string kAccountThumb
    = "COALESCE(p.avatar, '{base}static/avatar/' || " + kAccountPictureOwner + " || '-thumb.png')";
inline const std::string kContactColumns = "p.person_id AS linkManId, p.name AS linkManName, c.remarks AS remarks, "
                                           "p.phone AS phone, "
    + kThumb + " AS thumbAvatar, " + kAvatar
    + " AS orgUserPic, p.person_type AS linkManType, p.is_customer AS isCustomer, "
      "CASE WHEN o.ctd_enable = 1 AND p.phone IS NOT NULL THEN '{base}web/ctd/dial?userId=' || c.owner_id "
      "|| '&linkManId=' || p.person_id END AS dialReq";
inline const std::string kVideoColumns
    = "v.video_id AS videoId, v.title AS title, v.create_time AS createTime, "
      "'{base}static/img/video-' || v.video_id || '.png' AS picPath, "
      "'{base}static/video/' || v.video_id || '.mp4' AS webSite, v.remark AS remark, "
      "v.read_count AS readCount, v.creater_name AS createrName";
inline const std::string kVideoCommentColumns
    = "comment_id AS commentId, content, user_name AS userName, user_type AS userType, "
      "'{base}static/avatar/' || user_id || '-thumb.png' AS userPic, score, comment_time AS commentTime";

inline Dictionary envelope(int state, const std::string& message)
{
    return Dictionary { { "resultState", state }, { "resultMsg", message } };
}

inline Reply jsonReply(Value value, int status = 200)
{
    Reply reply;
    reply.status = status;
    reply.json = std::move(value);
    return reply;
}

inline Reply success(const std::string& message = "操作成功") { return jsonReply(Value(envelope(1, message))); }
inline Reply failure(const std::string& message, int status = 200)
{
    return jsonReply(Value(envelope(0, message)), status);
}

inline Reply withItems(Array items, Dictionary extra = {})
{
    Dictionary reply = envelope(1, "");
    for (auto& [key, value] : extra)
        reply.set(key, value);
    reply.set("items", Value(std::move(items)));
    return jsonReply(Value(std::move(reply)));
}

inline Reply page(const std::string& contentType, std::string body, int status = 200)
{
    Reply reply;
    reply.status = status;
    reply.contentType = contentType;
    reply.body = std::move(body);
    return reply;
}

inline Reply html(const std::string& title, const std::string& content, int status = 200)
{
    return page("text/html; charset=UTF-8",
        "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + title + "</title></head><body><h1>" + title
            + "</h1>" + content + "</body></html>",
        status);
}

// Drops the keys whose column was NULL: a reply leaves absent what it does not know.
inline Array compact(Array rows)
{
    for (auto& row : rows) {
        if (auto* dict = row.asDictionary()) {
            Dictionary kept;
            for (auto& [key, value] : *dict) {
                if (!value.isNull())
                    kept.set(key, value);
            }
            *dict = std::move(kept);
        }
    }
    return rows;
}

// Columns that hold JSON text (a message's images and audios) become lists again.
inline void expandJsonColumns(Array& rows, std::initializer_list<const char*> keys)
{
    for (auto& row : rows) {
        auto* dict = row.asDictionary();
        if (!dict)
            continue;
        for (const char* key : keys) {
            if (const auto* text = dict->get(key).asString()) {
                auto parsed = platform::PlatformJson::read(*text);
                dict->set(key, parsed && parsed->isArray() ? *parsed : Value(Array {}));
            }
        }
    }
}

// "a,b,,c" → the non-empty parts.
inline std::vector<std::string> splitList(const std::string& text)
{
    std::vector<std::string> parts;
    for (auto& part : platform::split(text, ",")) {
        auto trimmed = platform::trimWhitespaceAndNewlines(part);
        if (!trimmed.empty())
            parts.push_back(trimmed);
    }
    return parts;
}

inline int clampPageSize(long long size, int fallback)
{
    if (size <= 0)
        return fallback;
    return static_cast<int>(std::min<long long>(size, 1000));
}

inline std::string randomDigits(int count)
{
    static std::mutex mutex;
    static std::mt19937_64 engine { std::random_device {}() };
    std::lock_guard guard(mutex);
    std::string out;
    for (int i = 0; i < count; ++i)
        out.push_back(static_cast<char>('0' + engine() % 10));
    return out;
}

inline std::string randomHex(int count)
{
    static std::mutex mutex;
    static std::mt19937_64 engine { std::random_device {}() };
    std::lock_guard guard(mutex);
    std::string out;
    for (int i = 0; i < count; ++i)
        out.push_back("0123456789abcdef"[engine() % 16]);
    return out;
}


// One request being answered: the request, the data and the handlers. Every
// handler runs under the data lock taken by answer().
class RequestContext final {
public:
    RequestContext(SchoolData& data, const std::string& uploadDirectory, const IncomingRequest& request)
        : data_(data)
        , uploadDirectory_(uploadDirectory)
        , request_(request)
    {
    }

    Reply answer();

    using Handler = Reply (RequestContext::*)();

    // ----- request values and shared lookups -----

    const Value& body(std::string_view key) const { return request_.body[key]; }
    long long bodyInt(std::string_view key) const { return body(key).longLongValue(); }
    std::string bodyText(std::string_view key) const { return body(key).stringValue(); }
    std::optional<std::string> param(std::string_view name) const;
    std::string paramText(std::string_view name) const { return param(name).value_or(""); }
    long long paramInt(std::string_view name) const { return platform::leadingIntegerOf(paramText(name)); }
    std::optional<Dictionary> account(long long userId) const;
    // The classes a user teaches, or the classes of the user's children (or own class).
    Array classesOf(long long userId) const;
    std::string nextId(const std::string& prefix, long long start);
    void keep(const std::string& kind, long long userId, const Value& payload);
    Reply notFound() const { return failure("接口不存在", 404); }
    long long userId() const { return user_ ? user_->get("userId").longLongValue() : 0; }
    int userType() const { return user_ ? user_->get("accountType").intValue() : 0; }
    long long schoolId() const { return user_ ? user_->get("schoolId").longLongValue() : 0; }

    // ----- combine/sys (SysHandlers.cpp) -----

    Reply login();
    Reply logout() { return success("退出成功"); }
    bool loginExists(const std::string& login) const;
    Reply findPassword();
    Reply timePassword();
    Reply requestCheckNumber();
    bool checkNumberMatches(const std::string& mobile, const std::string& code) const;
    Reply confirmCheckNumber();
    Reply resetPassword();
    Reply updateProfile();
    Reply changePassword();
    Reply plainUpdate();
    Reply feedback();

    // ----- combine/rivu (RivuHandlers.cpp) -----

    Reply pollMessages();
    bool hasContent() const;
    Value attachments(std::string_view key) const;
    Reply groupSend();
    bool ownsGroupSend(const std::string& msgId) const;
    Reply groupSendState();
    Reply groupResend();
    Reply reportStates();
    Reply templateTypes();
    Reply templates();

    // ----- combine/address (AddressHandlers.cpp) -----

    Array groupsOf(long long owner) const;
    Array contactsOf(long long owner, const std::string& groupId) const;
    Reply contactGroups();
    Reply groupContacts();
    Reply sendToOne();
    Reply ctdState();
    Reply addressPackage();
    Array wholeAddressBook(long long owner) const;
    Reply addressBook();

    // ----- combine/html5 (Html5Handlers.cpp) -----

    Reply navigationMessages();
    Reply postWeibo();
    Reply deleteWeibo();
    Reply newWeiboCount();
    bool addAlbumPhotos(long long albumId, const std::string& photos);
    Reply createAlbum();
    Reply addPhotos();
    Reply homework();
    Reply subjects();
    Reply commentOrGrowth();
    Reply hotActivities();

    // ----- combine/magazine (MagazineHandlers.cpp) -----

    Reply magazines();
    Reply magazineIssue();
    Reply magazineOpened();
    // The magazine's drawn covers, banners, logos and chapter pictures
    // (MagazineMedia.cpp); nullopt for another picture name.
    std::optional<Reply> magazinePicture(const std::string& base, bool thumb);

    // ----- combine/jxsp (JxspHandlers.cpp) -----

    int defaultGrade() const;
    Array videos(const std::string& where, const Array& args, int limit, int offset) const;
    Reply videoGrades();
    Reply videoHome();
    int pageOffset(int pageSize) const;
    Reply videosBySubject();
    Reply videosBySource();
    Array videoCommentPage(long long videoId, int offset) const;
    Reply videoDetail();
    Reply videoSources();
    Reply addVideoComment();
    Reply videoComments();

    // ----- combine/ctd (CtdHandlers.cpp) -----

    bool ctdEnabled() const { return user_ && user_->get("ctdEnable").intValue() == 1; }
    Reply ctdCheck();
    Reply ctdHistory();
    // Call start and end answer 0 when done and any other value with a reason.
    static Reply callAnswer(int state, const std::string& message);
    Reply ctdDial();
    Reply ctdHangUp();

    // ----- uploads and stored files (UploadHandlers.cpp) -----

    Reply upload();
    Reply storedFile(const std::string& kind, const std::string& name);

    // ----- queries under webapp/ and web/, pages and media (WebappHandlers.cpp) -----

    // The account a query is for: "userId", else "teacherId", else "familyId".
    bool queryUser();
    Reply activeTypes();
    Reply classList();
    Reply suggestedComments();
    Reply commentHistory();
    Reply commentWeibo();
    Array students(const std::string& where, long long key) const;
    Reply studentsOfClass() { return withItems(students("s.class_id = ?", paramInt("classId"))); }
    Reply childrenOfFamily() { return withItems(students("s.parent_id = ?", paramInt("familyId"))); }
    Reply albumList();
    Value queryAsValue() const;
    Reply serviceMessage();
    Reply classNotice();
    Reply timetable();
    Reply weiboFeed();
    Reply praiseWeibo();
    Reply weiboComments();
    Reply smsHistory();
    Reply openCtd();
    Reply callBack();
    // The class-album pages' queries (AlbumPageHandlers.cpp).
    Reply albumPages();
    Reply albumPhotos();
    Reply recentPhotos();
    Reply staticMedia(const std::vector<std::string>& segments);
    Reply addressBookFile(const std::string& name);
    Reply chapterPage(long long postId, long long chapterId);
    Reply htmlPage(const std::vector<std::string>& segments);
    // The carrier's web pages, stood in for (CarrierPages.cpp).
    Reply carrierPage();

    // ----- what the client's local tool pages fetch (PageHandlers.cpp) -----

    Reply pageAnswer(Reply reply) const;
    void preparePages();
    void importSubmissions();
    Array pageClasses() const;
    long long pageClass(const Array& classes) const;
    static std::string pageClassList(const Array& classes);
    Reply pageSchoolNotices();
    Reply pageSchoolNotice();
    Reply pageClassNotices();
    Reply pageClassNotice();
    Reply pageHomework();
    Reply pageAttendanceOfClass();
    Reply pageAttendanceOfStudent();
    Reply pageServiceMessages();
    Reply pageCommentStudents();

private:
    Reply command();
    Reply query();

    SchoolData& data_;
    const std::string& uploadDirectory_;
    const IncomingRequest& request_;
    std::optional<Dictionary> user_;
};

// A chapter page of the e-magazine around its stored body (MagazineMedia.cpp).
std::string magazineChapterDocument(long long chapterId, const std::string& title, const std::string& body);

} // namespace server
