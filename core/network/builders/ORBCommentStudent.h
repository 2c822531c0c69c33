#pragma once

#include "core/network/builders/ORBBuilderFrame.h"

namespace core {

// The student-comment tool: the teacher's classes, the students of a class or
// of a family, suggested comments, sending a comment, a student's history.
class ORBCommentStudent final {
public:
    ORBCommentStudent() = delete;

    // A request for a ready address with the given method and the builders'
    // settings. An address that does not parse gives a request that fails
    // when started, without sending.
    static ORBBuilderRequest networkRequestWithUrlStr(const std::string& urlStr, const std::string& method,
        const ORBDelegate& delegate, const foundation::RequestSelector& success,
        const foundation::RequestSelector& fail);

    // params "studentId", "pageSize", "page", "type" (integers). The reply's
    // "total" and "items".
    static ORBBuilderRequest commentHistoryWidthDelegate(const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel,
        const platform::Value& params);
    static ORBBuilderRequest allClassesInfoWithDelegate(const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel);
    static ORBBuilderRequest studentInfoWithDelegate(const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel);
    // params "classId" (integer).
    static ORBBuilderRequest allStudentsInfoWithDelegate(const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel,
        const platform::Value& params);
    static ORBBuilderRequest allSuggestCommentsInfoWithDelegate(const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel,
        const platform::Value& params);
    // "40401": params "studentIds" (sent as "studentIdsStr"), "comment",
    // "rank", "flag", "classId", passed through.
    static ORBBuilderRequest commentStudentWithDelegate(const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel,
        const platform::Value& params);
};

} // namespace core
