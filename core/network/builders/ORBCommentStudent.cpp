#include "core/network/builders/ORBCommentStudent.h"

#include "core/network/ORBRequestBuilder.h"
#include "core/session/ORBEndpoints.h"
#include "platform/os/Log.h"

using foundation::RequestSelector;

namespace core {

using builder::Common;
using platform::Dictionary;
using platform::Value;
using Cmd = ORBEndpoints::Cmd;
using Query = std::vector<std::pair<std::string, std::string>>;

namespace {
    std::string number(long long n) { return std::to_string(n); }
    std::string integerParam(const Value& params, const char* key) { return number(params[key].intValue()); }

    // The query methods share one road: their address is built with each
    // value encoded as a query component, then made into a request.
    ORBBuilderRequest queryRequest(const char* logFormat, const std::string& path, const Query& query,
        const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel)
    {
        std::string address = ORBEndpoints::pullAddress(path) + "?" + ORBRequestBuilder::joinQuery(query);
        platform::log(logFormat, address.c_str());
        return ORBCommentStudent::networkRequestWithUrlStr(address, "GET", delegate, successSel, failSel);
    }
} // namespace

ORBBuilderRequest ORBCommentStudent::networkRequestWithUrlStr(const std::string& urlStr, const std::string& method,
    const ORBDelegate& delegate, const RequestSelector& success, const RequestSelector& fail)
{
    return builder::addressRequest(urlStr, method.c_str(), delegate, success, fail);
}

ORBBuilderRequest ORBCommentStudent::commentHistoryWidthDelegate(
    const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel, const Value& params)
{
    Query query { { "schoolId", number(builder::schoolId()) }, { "studentId", integerParam(params, "studentId") },
        { "areaAbb", builder::areaAbb() }, { "pageSize", integerParam(params, "pageSize") },
        { "page", integerParam(params, "page") }, { "accountType", number(builder::accountType()) },
        { "userId", number(builder::userId()) }, { "type", integerParam(params, "type") } };
    return queryRequest("url str:%s\n", "webapp/stucomment/single_list", query, delegate, successSel, failSel);
}

ORBBuilderRequest ORBCommentStudent::allClassesInfoWithDelegate(
    const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel)
{
    Query query { { "schoolId", number(builder::schoolId()) }, { "teacherId", number(builder::userId()) } };
    return queryRequest("all classes url:%s\n", "webapp/base/tea/class_list", query, delegate, successSel, failSel);
}

ORBBuilderRequest ORBCommentStudent::studentInfoWithDelegate(
    const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel)
{
    Query query { { "schoolId", number(builder::schoolId()) }, { "familyId", number(builder::userId()) },
        { "areaAbb", builder::areaAbb() } };
    return queryRequest("student list:%s\n", "webapp/stucomment/stuinfo", query, delegate, successSel, failSel);
}

ORBBuilderRequest ORBCommentStudent::allStudentsInfoWithDelegate(
    const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel, const Value& params)
{
    Query query { { "schoolId", number(builder::schoolId()) }, { "classId", integerParam(params, "classId") },
        { "areaAbb", builder::areaAbb() } };
    return queryRequest("student list:%s\n", "webapp/stucomment/stu_list", query, delegate, successSel, failSel);
}

ORBBuilderRequest ORBCommentStudent::allSuggestCommentsInfoWithDelegate(
    const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel, const Value& params)
{
    Query query { { "schoolId", number(builder::schoolId()) }, { "classId", integerParam(params, "classId") },
        { "areaAbb", builder::areaAbb() } };
    return queryRequest("student list:%s\n", "webapp/stucomment/comment_list", query, delegate, successSel, failSel);
}

ORBBuilderRequest ORBCommentStudent::commentStudentWithDelegate(
    const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel, const Value& params)
{
    Dictionary body;
    builder::addCommon(
        body, Cmd::kCommentStudents, { Common::Cmd, Common::UserId, Common::AccountType, Common::SchoolId });
    builder::copyParam(body, "studentIdsStr", params, "studentIds");
    builder::addCommon(body, nullptr, { Common::AreaAbb });
    builder::copyParams(body, params, { "comment", "rank", "flag", "classId" });
    builder::addCommon(body, nullptr, { Common::Platform });
    platform::log("url:%s, dic:%s\n", ORBEndpoints::pullAddress(ORBEndpoints::kHtml5).c_str(),
        builder::describeForLog(body).c_str());
    return builder::postRequest(ORBEndpoints::kHtml5, body, delegate, successSel, failSel);
}

} // namespace core
