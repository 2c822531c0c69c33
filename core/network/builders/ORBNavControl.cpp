#include "core/network/builders/ORBNavControl.h"

#include "core/model/PhotoInfo.h"
#include "core/session/ORBEndpoints.h"
#include "platform/os/Log.h"
#include "platform/os/SystemInfo.h"

using foundation::RequestSelector;

namespace core {

using builder::Common;
using platform::Array;
using platform::Dictionary;
using platform::Value;
using Cmd = ORBEndpoints::Cmd;
using Query = std::vector<std::pair<std::string, std::string>>;

namespace {
    std::string number(long long n) { return std::to_string(n); }
    std::string integerParam(const Value& params, const char* key) { return number(params[key].intValue()); }

    void logUrl(const char* format, const ORBBuilderRequest& request)
    {
        platform::log(format, request->url().absoluteString().c_str());
    }
} // namespace

ORBBuilderRequest ORBNavControl::getSMSHistoryWithDelegate(const ORBDelegate& delegate, const std::string& key,
    int page, int pageSize, int type, const RequestSelector& successSel, const RequestSelector& failSel)
{
    // "teacherId" repeats the account's uid: the server reads both.
    Query query { { "schoolId", number(builder::schoolId()) }, { "userId", number(builder::userId()) },
        { "accountType", number(builder::accountType()) }, { "teacherId", number(builder::userId()) },
        { "areaAbb", builder::areaAbb() }, { "key", key }, { "type", number(type) }, { "page", number(page) },
        { "pageSize", number(pageSize) } };
    return builder::getRequest("webapp/messagehis/list", query, delegate, successSel, failSel);
}

ORBBuilderRequest ORBNavControl::getCTDStateDelegate(
    const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel)
{
    Dictionary body;
    builder::addCommon(body, Cmd::kCtdState, { Common::Cmd, Common::UserId, Common::AccountType, Common::SchoolId });
    return builder::postRequest(ORBEndpoints::kAddress, body, delegate, successSel, failSel);
}

ORBBuilderRequest ORBNavControl::openCTDWithDelegate(
    const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel)
{
    Query query { { "areaAbb", builder::areaAbb() }, { "accountType", number(builder::accountType()) },
        { "userId", number(builder::userId()) } };
    auto request = builder::getRequest("web/ctd/butCtd", query, delegate, successSel, failSel);
    logUrl("ctd url:%s\n", request);
    return request;
}

ORBBuilderRequest ORBNavControl::sendWeibo(const WeiboInfo& post, const Array& files, const ORBDelegate& delegate,
    const RequestSelector& successSel, const RequestSelector& failSel)
{
    Dictionary body;
    builder::addCommon(body, Cmd::kPostWeibo, { Common::Cmd, Common::UserId, Common::AccountType, Common::SchoolId });
    body.set("pubType", post.classId);
    builder::addCommon(body, nullptr, { Common::AreaAbb });
    if (!post.content.empty())
        body.set("content", post.content);
    body.set("userName", builder::userName());
    builder::addCommon(body, nullptr, { Common::Platform });
    Array images = builder::photoObjects(files, true);
    if (!images.empty())
        body.set("images", std::move(images));
    platform::log("weibo info:%s\n", builder::describeForLog(body).c_str());
    return builder::postRequest(ORBEndpoints::kHtml5, body, delegate, successSel, failSel);
}

ORBBuilderRequest ORBNavControl::deleteWeiboWithId(
    int weiboId, const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel)
{
    Dictionary body;
    builder::addCommon(body, Cmd::kDeleteWeibo,
        { Common::Cmd, Common::UserId, Common::AccountType, Common::SchoolId, Common::AreaAbb });
    body.set("weiboId", weiboId);
    builder::addCommon(body, nullptr, { Common::Platform });
    platform::log("weibo info:%s\n", builder::describeForLog(body).c_str());
    return builder::postRequest(ORBEndpoints::kHtml5, body, delegate, successSel, failSel);
}

ORBBuilderRequest ORBNavControl::commentWeiboWithDelegate(
    const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel, const Value& params)
{
    Query query { { "areaAbb", builder::areaAbb() }, { "userId", number(builder::userId()) },
        { "userType", number(builder::accountType()) }, { "userName", builder::userName() },
        { "device", platform::SystemInfo::systemName() }, { "weiboId", integerParam(params, "weiboId") },
        { "comment", params["comment"].stringValue() } };
    return builder::getRequest("webapp/jxq/sendComment", query, delegate, successSel, failSel);
}

ORBBuilderRequest ORBNavControl::sendNotice(const NoticeInfo& notice, const ORBDelegate& delegate,
    const RequestSelector& successSel, const RequestSelector& failSel)
{
    Query query { { "schoolId", number(builder::schoolId()) }, { "teacherId", number(builder::userId()) },
        { "startDate", notice.startDate }, { "endDate", notice.endDate }, { "title", notice.title },
        { "content", notice.content }, { "classId", number(notice.classId) }, { "areaAbb", builder::areaAbb() } };
    auto request = builder::getRequest("webapp/notice/add", query, delegate, successSel, failSel);
    logUrl("class notice:%s\n", request);
    return request;
}

ORBBuilderRequest ORBNavControl::sendOnlineServiceWithDelegate(
    const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel, const Value& params)
{
    Query query { { "schoolId", number(builder::schoolId()) }, { "areaAbb", builder::areaAbb() },
        { "teacherId", number(builder::userId()) }, { "content", params["content"].stringValue() },
        { "isNeedReply", integerParam(params, "isNeedReply") } };
    return builder::getRequest("webapp/servicemsg/new", query, delegate, successSel, failSel);
}

ORBBuilderRequest ORBNavControl::sendHomeWork(HomeWorkInfo& homework, const Array& files, const ORBDelegate& delegate,
    const RequestSelector& successSel, const RequestSelector& failSel)
{
    for (const Value& file : files) {
        auto photo = file.objectAs<PhotoInfo>();
        if (!photo)
            continue;
        // Homework carries the first photo only, and only once it is uploaded.
        if (!photo->url.empty() && !photo->thumbUrl.empty()) {
            homework.original = photo->url;
            homework.thumb = photo->thumbUrl;
        }
        break;
    }
    Dictionary body;
    builder::addCommon(body, Cmd::kHomework, { Common::Cmd, Common::UserId, Common::AccountType, Common::SchoolId });
    body.set("classId", homework.classId);
    body.set("className", homework.className);
    body.set("subject", homework.subject);
    body.set("subjectId", homework.subjectId);
    if (!homework.content.empty())
        body.set("content", homework.content);
    body.set("dateTime", homework.dateTime);
    if (!homework.original.empty())
        body.set("original", homework.original);
    if (!homework.thumb.empty())
        body.set("thumb", homework.thumb);
    return builder::postRequest(ORBEndpoints::kHtml5, body, delegate, successSel, failSel);
}

ORBBuilderRequest ORBNavControl::getClassListWithDelegate(
    const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel)
{
    Query query { { "schoolId", number(builder::schoolId()) }, { "teacherId", number(builder::userId()) } };
    return builder::getRequest("webapp/base/tea/class_list", query, delegate, successSel, failSel);
}

ORBBuilderRequest ORBNavControl::getSubjectListWithDelegate(
    const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel)
{
    Dictionary body;
    builder::addCommon(body, Cmd::kSubjects, { Common::Cmd, Common::UserId, Common::AccountType, Common::SchoolId });
    return builder::postRequest(ORBEndpoints::kHtml5, body, delegate, successSel, failSel);
}

ORBBuilderRequest ORBNavControl::albumListWithDelegate(
    const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel, const Value& params)
{
    Query query { { "schoolId", number(builder::schoolId()) }, { "userId", number(builder::userId()) },
        { "accountType", number(builder::accountType()) }, { "areaAbb", builder::areaAbb() },
        { "page", integerParam(params, "page") }, { "pageSize", integerParam(params, "pageSize") } };
    auto request = builder::getRequest("webapp/photoAlbum/list", query, delegate, successSel, failSel);
    logUrl("album list url:%s\n", request);
    return request;
}

ORBBuilderRequest ORBNavControl::createOrUploadAlbumWithDelegate(const ORBDelegate& delegate, const Array& files,
    const RequestSelector& successSel, const RequestSelector& failSel, const Value& params, bool isCreate)
{
    Dictionary body;
    builder::addCommon(body, isCreate ? Cmd::kCreateAlbum : Cmd::kAddPhotos,
        { Common::Cmd, Common::UserId, Common::AccountType, Common::SchoolId, Common::AreaAbb });
    builder::copyParams(body, params, { "description" });
    builder::addCommon(body, nullptr, { Common::Platform });
    if (isCreate) {
        builder::copyParam(body, "album", params, "ablum");
        builder::copyParams(body, params, { "belongto" });
    } else {
        builder::copyParams(body, params, { "albumId" });
    }
    std::string joined;
    for (const Value& file : files) {
        auto photo = file.objectAs<PhotoInfo>();
        if (!photo || photo->url.empty())
            continue;
        if (!joined.empty())
            joined += ',';
        joined += photo->url;
    }
    body.set("photos", joined);
    platform::log("params:%s\n", builder::describeForLog(body).c_str());
    return builder::postRequest(ORBEndpoints::kHtml5, body, delegate, successSel, failSel);
}

ORBBuilderRequest ORBNavControl::getScheduleWithDelegate(const ORBDelegate& delegate, int classId, int weekDay,
    const RequestSelector& successSel, const RequestSelector& failSel)
{
    Query query { { "schoolId", number(builder::schoolId()) }, { "classId", number(classId) },
        { "areaAbb", builder::areaAbb() }, { "weekDay", number(weekDay) }, { "userId", number(builder::userId()) },
        { "accountType", number(builder::accountType()) } };
    return builder::getRequest("webapp/classcourse/list", query, delegate, successSel, failSel);
}

} // namespace core
