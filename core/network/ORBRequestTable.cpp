#include "core/network/ORBRequestTable.h"

#include "core/model/HomeWorkInfo.h"
#include "core/model/NoticeInfo.h"
#include "core/model/PhotoInfo.h"
#include "core/model/WeiboInfo.h"
#include "core/session/MyAccountInfo.h"
#include "core/session/ORBEndpoints.h"
#include "platform/os/Bundle.h"

#include <algorithm>

namespace core {

namespace {

    using platform::Array;
    using platform::Dictionary;
    using platform::Value;
    using Cmd = ORBEndpoints::Cmd;
    using Shape = ORBReplyShape;
    using Src = ORBQuerySource;
    using T = ORBRequestType;

    std::vector<std::shared_ptr<PhotoInfo>> photosOf(const Value& files)
    {
        std::vector<std::shared_ptr<PhotoInfo>> photos;
        if (const Array* list = files.asArray()) {
            for (const Value& element : *list) {
                if (auto photo = element.objectAs<PhotoInfo>())
                    photos.push_back(std::move(photo));
            }
        }
        return photos;
    }

    bool hasBothAddresses(const PhotoInfo& photo) { return !photo.url.empty() && !photo.thumbUrl.empty(); }

    // ----- the rules of the few types whose keys are not plain copies -----

    // Sign-in names the application and, once push registration has
    // delivered one, the device token.
    void loginRule(const Value&, Dictionary& body)
    {
        Value appId = platform::Bundle::main()->objectForInfoDictionaryKey(platform::kBundleIdentifierKey);
        body.set("appId", appId.isString() ? appId : Value(""));
        auto token = MyAccountInfo::deviceToken();
        if (token && !token->empty())
            body.set("pushToken", *token);
    }

    // A profile saved without a new picture sends an empty "file".
    void profileRule(const Value& params, Dictionary& body)
    {
        const Value& file = params["file"];
        bool missing = file.isNull() || (file.isString() && file.asString()->empty());
        body.set("file", missing ? Value("") : file);
    }

    void weiboRule(const Value& params, Dictionary& body)
    {
        if (auto post = params["weiboInfo"].objectAs<WeiboInfo>()) {
            body.set("pubType", post->classId);
            body.set("content", post->content);
        }
        Array images;
        for (const auto& photo : photosOf(params["files"])) {
            if (hasBothAddresses(*photo))
                images.emplace_back(Dictionary { { "original", photo->url }, { "thumb", photo->thumbUrl } });
        }
        if (!images.empty())
            body.set("images", std::move(images));
    }

    void homeworkRule(const Value& params, Dictionary& body)
    {
        auto photos = photosOf(params["files"]);
        // Homework carries one picture; later ones are not sent.
        if (!photos.empty() && hasBothAddresses(*photos.front())) {
            body.set("original", photos.front()->url);
            body.set("thumb", photos.front()->thumbUrl);
        }
        if (auto homework = params["homework"].objectAs<HomeWorkInfo>()) {
            body.set("classId", homework->classId);
            body.set("className", homework->className);
            body.set("subject", homework->subject);
            body.set("subjectId", homework->subjectId);
            body.set("content", homework->content);
            body.set("dateTime", homework->dateTime);
        }
    }

    // One type both creates an album and adds photos to one; "isCreate"
    // picks the code and the keys.
    void albumRule(const Value& params, Dictionary& body)
    {
        bool creating = params["isCreate"].boolValue();
        body.set("cmd", creating ? Cmd::kCreateAlbum : Cmd::kAddPhotos);
        auto copy = [&](const char* key, const char* param) {
            if (!params[param].isNull())
                body.set(key, params[param]);
        };
        copy("description", "description");
        if (creating) {
            copy("album", "ablum");
            copy("belongto", "belongto");
        } else {
            copy("albumId", "albumId");
        }
        std::string joined;
        for (const auto& photo : photosOf(params["files"])) {
            if (photo->url.empty())
                continue;
            if (!joined.empty())
                joined += ',';
            joined += photo->url;
        }
        body.set("photos", joined);
    }

    // The notice's own values stand between the teacher and the area.
    void noticeRule(const Value& params, ORBQueryPairs& query)
    {
        NoticeInfo empty;
        auto notice = params["noticeInfo"].objectAs<NoticeInfo>();
        const NoticeInfo& n = notice ? *notice : empty;
        query.emplace_back("startDate", n.startDate);
        query.emplace_back("endDate", n.endDate);
        query.emplace_back("title", n.title);
        query.emplace_back("content", n.content);
        query.emplace_back("classId", std::to_string(n.classId));
    }

    ORBRequestRow command(T type, const char* module, const char* cmd, std::vector<ORBBodyKey> keys, Shape reply)
    {
        return ORBRequestRow { type, module, cmd, false, std::move(keys), {}, reply };
    }

    ORBRequestRow query(T type, const char* path, std::vector<ORBQueryKey> keys, Shape reply)
    {
        return ORBRequestRow { type, path, nullptr, true, {}, std::move(keys), reply };
    }

    ORBRequestRow withRule(ORBRequestRow row, void (*rule)(const Value&, Dictionary&))
    {
        row.commandRule = rule;
        return row;
    }

    const ORBQueryKey kSchool { "schoolId", Src::SchoolId };
    const ORBQueryKey kArea { "areaAbb", Src::AreaAbb };
    const ORBQueryKey kUser { "userId", Src::UserId };
    const ORBQueryKey kAccountType { "accountType", Src::AccountType };

    std::vector<ORBRequestRow> makeRows()
    {
        const char* sys = ORBEndpoints::kSys;
        const char* html5 = ORBEndpoints::kHtml5;
        const char* jxsp = ORBEndpoints::kJxsp;
        const char* ctd = ORBEndpoints::kCtd;
        const char* magazine = ORBEndpoints::kMagazine;
        std::vector<ORBRequestRow> rows {
            withRule(command(T::Login, sys, Cmd::kLogin, { { "account" }, { "psw" } }, Shape::WholeReply), loginRule),
            command(T::Logout, sys, Cmd::kLogout, {}, Shape::WholeReply),
            command(T::FindPassword, sys, Cmd::kFindPassword, { { "account" } }, Shape::Nothing),
            command(T::ResetPassword, sys, Cmd::kResetPassword, { { "account" }, { "psw" }, { "verCode" } },
                Shape::Nothing),
            command(T::ConfirmCheckNumber, sys, Cmd::kConfirmCheckNumber, { { "validate" }, { "mobile" } },
                Shape::WholeReply),
            command(T::TimePassword, sys, Cmd::kTimePassword, { { "account" } }, Shape::Message),
            withRule(command(T::UpdateProfile, sys, Cmd::kUpdateProfile, { { "userName" } }, Shape::WholeReply),
                profileRule),
            command(T::ChangePassword, sys, Cmd::kChangePassword,
                { { "account" }, { "oldPsw", "oldPwd" }, { "newPsw", "newPwd" } }, Shape::Nothing),
            command(T::SysUpdateTime, sys, Cmd::kSysUpdateTime, { { "updateTime" } }, Shape::Nothing),
            command(T::NavigationStatus, sys, Cmd::kNavigationStatus, { { "navId" }, { "status" } }, Shape::Nothing),
            command(T::RequestCheckNumber, sys, Cmd::kRequestCheckNumber, { { "intUserType" }, { "mobile" } },
                Shape::WholeReply),
            command(T::AddressPackage, ORBEndpoints::kAddress, Cmd::kAddressPackage, {}, Shape::DownUrl),
            command(T::NewMessages, ORBEndpoints::kRivu, Cmd::kNewMessages, {}, Shape::Nothing),
            command(T::CommonFieldsOnly, sys, nullptr, {}, Shape::Nothing),
            command(T::NavigationMessages, html5, Cmd::kNavigationMessages, { { "updateTime" } }, Shape::Nothing),
            withRule(command(T::PostWeibo, html5, Cmd::kPostWeibo, {}, Shape::Message), weiboRule),
            command(T::DeleteWeibo, html5, Cmd::kDeleteWeibo, { { "weiboId" } }, Shape::Message),
            command(T::Subjects, html5, Cmd::kSubjects, {}, Shape::Subjects),
            command(T::CommentStudents, html5, Cmd::kCommentStudents,
                { { "studentIdsStr", "studentIds" }, { "comment" }, { "rank" }, { "flag" }, { "classId" } },
                Shape::Message),
            withRule(command(T::Homework, html5, Cmd::kHomework, {}, Shape::Message), homeworkRule),
            withRule(command(T::Album, html5, Cmd::kCreateAlbum, {}, Shape::Message), albumRule),
            command(T::Magazines, magazine, Cmd::kMagazines, { { "updateTime" } }, Shape::Magazines),
            command(T::MagazineIssue, magazine, Cmd::kMagazineIssue, { { "postId" }, { "magazineId" } },
                Shape::MagazineIssue),
            command(T::MagazineOpened, magazine, Cmd::kMagazineOpened, { { "postId" } }, Shape::Nothing),
            query(T::ActiveTypes, "webapp/base/tea/active_type", { kSchool, { "teacherId", Src::UserId } },
                Shape::ActiveTypes),
            query(
                T::ClassList, "webapp/base/tea/class_list", { kSchool, { "teacherId", Src::UserId } }, Shape::Classes),
            query(T::SuggestedComments, "webapp/stucomment/comment_list",
                { kSchool, { "classId", Src::ParamInteger, "classId" }, kArea }, Shape::SuggestedComments),
            query(T::CommentHistory, "webapp/stucomment/single_list",
                { kSchool, { "studentId", Src::ParamInteger, "studentId" }, kArea,
                    { "pageSize", Src::ParamInteger, "pageSize" }, { "page", Src::ParamInteger, "page" }, kAccountType,
                    kUser, { "type", Src::ParamInteger, "type" } },
                Shape::CommentHistory),
            query(T::CommentWeibo, "webapp/jxq/sendComment",
                { kArea, kUser, { "userType", Src::AccountType }, { "userName", Src::UserName },
                    { "device", Src::Device }, { "weiboId", Src::ParamInteger, "weiboId" },
                    { "comment", Src::ParamText, "comment" } },
                Shape::Message),
            query(T::StudentsOfClass, "webapp/stucomment/stu_list",
                { kSchool, { "classId", Src::ParamInteger, "classId" }, kArea }, Shape::Students),
            query(T::ChildrenOfFamily, "webapp/stucomment/stuinfo", { kSchool, { "familyId", Src::UserId }, kArea },
                Shape::Students),
            query(T::AlbumList, "webapp/photoAlbum/list",
                { kSchool, kUser, kAccountType, kArea, { "page", Src::ParamInteger, "page" },
                    { "pageSize", Src::ParamInteger, "pageSize" } },
                Shape::Albums),
            query(T::ServiceMessage, "webapp/servicemsg/new",
                { kSchool, kArea, { "teacherId", Src::UserId }, { "content", Src::ParamText, "content" },
                    { "isNeedReply", Src::ParamInteger, "isNeedReply" } },
                Shape::Message),
            // The notice's values come between the teacher and the area (see noticeRule).
            query(T::ClassNotice, "webapp/notice/add", { kSchool, { "teacherId", Src::UserId } }, Shape::Nothing),
            query(T::Timetable, "webapp/classcourse/list",
                { kSchool, { "classId", Src::ParamInteger, "classId" }, kArea, { "weekDay", Src::ParamInteger, "week" },
                    kUser, kAccountType },
                Shape::Schedule),
            command(T::VideoHome, jxsp, Cmd::kVideoHome, { { "gradeBank" } }, Shape::WholeReply),
            command(T::VideoGrades, jxsp, Cmd::kVideoGrades, {}, Shape::WholeReply),
            command(T::VideoSources, jxsp, Cmd::kVideoSources, {}, Shape::WholeReply),
            command(T::VideosBySubject, jxsp, Cmd::kVideosBySubject, { { "gradeBank" }, { "subjectId" }, { "page" } },
                Shape::WholeReply),
            command(T::VideoDetail, jxsp, Cmd::kVideoDetail, { { "videoId" } }, Shape::WholeReply),
            command(T::VideosBySource, jxsp, Cmd::kVideosBySource, { { "source" }, { "page" } }, Shape::WholeReply),
            command(T::VideoComments, jxsp, Cmd::kVideoComments, { { "videoId" }, { "page" } }, Shape::WholeReply),
            command(T::AddVideoComment, jxsp, Cmd::kAddVideoComment, { { "videoId" }, { "content" }, { "score" } },
                Shape::WholeReply),
            command(T::GrowthAssistant, html5, Cmd::kGrowthAssistant, { { "saleModalId" } }, Shape::WholeReply),
            command(
                T::Feedback, sys, Cmd::kFeedback, { { "parentId" }, { "content" }, { "serviceId" } }, Shape::Nothing),
            command(T::CtdCheck, ctd, Cmd::kCtdCheck, {}, Shape::WholeReply),
            command(T::CtdHistory, ctd, Cmd::kCtdHistory, { { "page" } }, Shape::WholeReply),
            command(T::CtdDial, ctd, Cmd::kCtdDial, { { "linkId" }, { "type" }, { "phone" } }, Shape::WholeReply),
            command(T::CtdHangUp, ctd, Cmd::kCtdHangUp, { { "linkId" }, { "type" }, { "phone" } }, Shape::WholeReply),
            command(T::HotActivities, html5, Cmd::kHotActivities, {}, Shape::HotActivities),
            // The feed and the comments always ask for pages of ten.
            query(T::WeiboFeed, "webapp/jxq/weibo",
                { kSchool, kArea, kAccountType, kUser, { "weiboType", Src::ParamInteger, "weiboType" },
                    { "page", Src::ParamInteger, "page" }, { "pageSize", Src::Fixed, "10" } },
                Shape::WeiboFeed),
            query(T::PraiseWeibo, "webapp/jxq/praise",
                { kArea, kUser, { "userType", Src::AccountType }, { "weiboId", Src::ParamInteger, "weiboId" } },
                Shape::Nothing),
            query(T::WeiboComments, "webapp/jxq/comment",
                { kArea, { "weiboId", Src::ParamInteger, "weiboId" }, { "page", Src::ParamInteger, "page" },
                    { "pageSize", Src::Fixed, "10" } },
                Shape::WeiboComments),
            command(T::NewWeiboCount, html5, Cmd::kNewWeiboCount, { { "weiboId" } }, Shape::WholeReply),
            command(T::AddressBook, ORBEndpoints::kAddress, Cmd::kAddressBook, {}, Shape::Nothing),
        };
        for (auto& row : rows) {
            if (row.type == T::ClassNotice)
                row.queryRule = noticeRule;
            if (row.type == T::CtdDial || row.type == T::CtdHangUp)
                row.refusalIsResult = true;
            if (row.type == T::AddressBook)
                row.compressedReply = true;
            if (row.reply == Shape::Nothing || row.reply == Shape::Message || row.reply == Shape::DownUrl)
                row.largestReply = kLargestShortReply;
            if (row.type == T::AddressBook)
                row.largestReply = kLargestAddressBookReply;
        }
        return rows;
    }

} // namespace

const std::vector<ORBRequestRow>& ORBRequestTable::rows()
{
    static const std::vector<ORBRequestRow> table = makeRows();
    return table;
}

const ORBRequestRow* ORBRequestTable::rowForType(int type)
{
    const auto& table = rows();
    // Rows are in type order, one per number from 0 to 54.
    if (type < 0 || static_cast<std::size_t>(type) >= table.size())
        return nullptr;
    const ORBRequestRow& row = table[static_cast<std::size_t>(type)];
    return static_cast<int>(row.type) == type ? &row : nullptr;
}

} // namespace core
