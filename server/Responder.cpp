#include "server/Responder.h"

#include "server/LessonService.h"
#include "server/ResponderContext.h"

namespace server {

namespace {

    // Every command and query the server answers: the command code or the
    // query path, the module a command must be posted to (none for a query),
    // the handler, and whether the request must name a known account ("userId"
    // of a command body; "userId", "teacherId" or "familyId" of a query).
    struct Route {
        const char* key;
        const char* module;
        RequestContext::Handler handler;
        bool needsAccount;
    };

    using C = RequestContext;

    const std::vector<Route>& routes()
    {
        static const std::vector<Route> table = {
            { "10001", "combine/sys", &C::login, false },
            { "10002", "combine/sys", &C::logout, true },
            { "10003", "combine/sys", &C::findPassword, false },
            { "10004", "combine/sys", &C::resetPassword, false },
            { "10005", "combine/sys", &C::timePassword, false },
            { "10006", "combine/sys", &C::updateProfile, true },
            { "10007", "combine/sys", &C::changePassword, true },
            { "10008", "combine/sys", &C::plainUpdate, true },
            { "10009", "combine/sys", &C::plainUpdate, true },
            { "10010", "combine/sys", &C::requestCheckNumber, false },
            { "10011", "combine/sys", &C::confirmCheckNumber, false },
            { "10022", "combine/sys", &C::feedback, true },
            { "20101", "combine/rivu", &C::pollMessages, true },
            { "20102", "combine/rivu", &C::groupSend, true },
            { "20103", "combine/rivu", &C::groupSendState, true },
            { "20104", "combine/rivu", &C::groupResend, true },
            { "20105", "combine/rivu", &C::reportStates, true },
            { "20106", "combine/rivu", &C::templateTypes, true },
            { "20107", "combine/rivu", &C::templates, true },
            { "30101", "combine/address", &C::contactGroups, true },
            { "30102", "combine/address", &C::groupContacts, true },
            { "30104", "combine/address", &C::sendToOne, true },
            { "30105", "combine/address", &C::ctdState, true },
            { "30106", "combine/address", &C::addressPackage, true },
            { "30107", "combine/address", &C::addressBook, true },
            { "40001", "combine/html5", &C::navigationMessages, true },
            { "40101", "combine/html5", &C::postWeibo, true },
            { "40102", "combine/html5", &C::deleteWeibo, true },
            { "40103", "combine/html5", &C::newWeiboCount, true },
            { "40201", "combine/html5", &C::createAlbum, true },
            { "40202", "combine/html5", &C::addPhotos, true },
            { "40301", "combine/html5", &C::homework, true },
            { "40302", "combine/html5", &C::subjects, true },
            { "40401", "combine/html5", &C::commentOrGrowth, true },
            { "40501", "combine/html5", &C::hotActivities, true },
            { "50001", "combine/magazine", &C::magazines, true },
            { "50002", "combine/magazine", &C::magazineIssue, true },
            { "50003", "combine/magazine", &C::magazineOpened, true },
            { "60001", "combine/jxsp", &C::videoHome, true },
            { "60002", "combine/jxsp", &C::videoGrades, true },
            { "60003", "combine/jxsp", &C::videosBySubject, true },
            { "60004", "combine/jxsp", &C::videoDetail, true },
            { "60005", "combine/jxsp", &C::videosBySource, true },
            { "60006", "combine/jxsp", &C::videoSources, true },
            { "60007", "combine/jxsp", &C::addVideoComment, true },
            { "60008", "combine/jxsp", &C::videoComments, true },
            { "70001", "combine/ctd", &C::ctdCheck, true },
            { "70002", "combine/ctd", &C::ctdHistory, true },
            { "70003", "combine/ctd", &C::ctdDial, true },
            { "70004", "combine/ctd", &C::ctdHangUp, true },
            { "webapp/base/tea/active_type", nullptr, &C::activeTypes, true },
            { "webapp/base/tea/class_list", nullptr, &C::classList, true },
            { "webapp/stucomment/comment_list", nullptr, &C::suggestedComments, false },
            { "webapp/stucomment/single_list", nullptr, &C::commentHistory, false },
            { "webapp/jxq/sendComment", nullptr, &C::commentWeibo, true },
            { "webapp/stucomment/stu_list", nullptr, &C::studentsOfClass, false },
            { "webapp/stucomment/stuinfo", nullptr, &C::childrenOfFamily, false },
            { "webapp/photoAlbum/list", nullptr, &C::albumList, true },
            { "webapp/servicemsg/new", nullptr, &C::serviceMessage, true },
            { "webapp/notice/add", nullptr, &C::classNotice, true },
            { "webapp/classcourse/list", nullptr, &C::timetable, false },
            { "webapp/jxq/weibo", nullptr, &C::weiboFeed, true },
            { "webapp/jxq/praise", nullptr, &C::praiseWeibo, true },
            { "webapp/jxq/comment", nullptr, &C::weiboComments, false },
            { "webapp/messagehis/list", nullptr, &C::smsHistory, true },
            { "web/ctd/butCtd", nullptr, &C::openCtd, true },
            { "web/ctd/dial", nullptr, &C::callBack, true },
            { "webapp/page/schoolnotice/list", nullptr, &C::pageSchoolNotices, true },
            { "webapp/page/schoolnotice/detail", nullptr, &C::pageSchoolNotice, true },
            { "webapp/page/classnotice/list", nullptr, &C::pageClassNotices, true },
            { "webapp/page/classnotice/detail", nullptr, &C::pageClassNotice, true },
            { "webapp/page/homework/list", nullptr, &C::pageHomework, true },
            { "webapp/page/attendance/class", nullptr, &C::pageAttendanceOfClass, true },
            { "webapp/page/attendance/student", nullptr, &C::pageAttendanceOfStudent, true },
            { "webapp/page/service/list", nullptr, &C::pageServiceMessages, true },
            { "webapp/page/comment/students", nullptr, &C::pageCommentStudents, true },
            { "webapp/photoAlbum/albums", nullptr, &C::albumPages, true },
            { "webapp/photoAlbum/photos", nullptr, &C::albumPhotos, true },
            { "webapp/photoAlbum/recent", nullptr, &C::recentPhotos, true },
        };
        return table;
    }

    const Route* findRoute(const std::string& key, bool command)
    {
        for (const Route& route : routes()) {
            if ((route.module != nullptr) == command && key == route.key)
                return &route;
        }
        return nullptr;
    }

} // namespace

Reply RequestContext::answer()
{
    auto guard = data_.lock();
    if (auto lesson = answerLessonService(request_, data_))
        return std::move(*lesson);
    const std::string& route = request_.route;
    if (!request_.underPull) {
        if (route == "mobile/userregister.do")
            return html("用户注册", "<p>请联系学校管理员开通账号。</p>");
        if (route == "carrier" || platform::hasPrefix(route, "carrier/"))
            return carrierPage();
        return notFound();
    }
    if (request_.method == "POST" && platform::hasPrefix(route, "combine/"))
        return command();
    if (request_.method == "POST" && platform::hasPrefix(route, "upload/"))
        return upload();
    if (request_.method == "GET" || request_.method == "HEAD")
        return query();
    return failure("不支持的请求方法", 405);
}

Reply RequestContext::command()
{
    const std::string& cmd = request_.command;
    if (cmd.empty()) {
        if (request_.bodyUnreadable || (!request_.body.isDictionary() && !request_.body.isNull()))
            return failure("请求数据格式错误", 400);
        return success(); // the plain post of the common fields
    }
    const Route* route = findRoute(cmd, true);
    if (!route)
        return failure("未知命令");
    if (route->module != request_.route)
        return failure("命令与模块不符");
    if (route->needsAccount) {
        user_ = account(bodyInt("userId"));
        if (!user_)
            return failure("用户信息出错，请重新登录");
    }
    return (this->*route->handler)();
}

Reply RequestContext::query()
{
    const std::string& route = request_.route;
    if (const Route* found = findRoute(route, false)) {
        if (found->needsAccount && !queryUser())
            return failure("用户信息出错，请重新登录");
        return (this->*found->handler)();
    }
    auto segments = platform::split(route, "/");
    if (segments.size() >= 2 && segments[0] == "static")
        return staticMedia(segments);
    if (segments.size() == 3 && segments[0] == "files" && segments[1] == "addressbook")
        return addressBookFile(segments[2]);
    if (segments.size() == 3 && segments[0] == "files")
        return storedFile(segments[1], segments[2]);
    if (segments.size() == 4 && segments[0] == "files" && segments[2] == "thumb")
        return storedFile(segments[1], segments[3]);
    if (segments.size() == 3 && segments[0] == "magazine")
        return chapterPage(platform::leadingIntegerOf(segments[1]), platform::leadingIntegerOf(segments[2]));
    if (segments.size() >= 2 && segments[0] == "html")
        return htmlPage(segments);
    if (segments.size() == 3 && segments[0] == "f" && segments[1] == "version")
        return html("版本历史",
            "<p>当前版本 " + platform::htmlEscaped(platform::replaceAll(segments[2], "_", "."))
                + "</p>"
                  "<ul><li>新增成长期刊和教学视频</li><li>通讯录支持拼音检索</li><li>修复已知问题</li></ul>");
    return notFound();
}

std::optional<std::string> RequestContext::param(std::string_view name) const
{
    for (const auto& [key, value] : request_.query) {
        if (key == name)
            return value;
    }
    return std::nullopt;
}

std::optional<Dictionary> RequestContext::account(long long userId) const
{
    return data_.row("SELECT a.user_id AS userId, p.name AS userName, p.person_type AS accountType, "
                     "a.school_id AS schoolId, s.name AS schoolName, s.area_abb AS areaAbb, "
                     "a.stu_sequence AS stuSequence, a.ctd_enable AS ctdEnable, a.login AS login "
                     "FROM account a JOIN person p ON p.person_id = a.user_id "
                     "JOIN school s ON s.school_id = a.school_id WHERE a.user_id = ?",
        { userId });
}

// The classes a user teaches, or the classes of the user's children (or own class).
Array RequestContext::classesOf(long long userId) const
{
    return data_.rows("SELECT class_id AS classId, class_name AS className FROM class WHERE class_id IN ("
                      "SELECT class_id FROM teacher_class WHERE teacher_id = ?1 "
                      "UNION SELECT class_id FROM student WHERE parent_id = ?1 "
                      "UNION SELECT class_id FROM student WHERE student_id = "
                      "(SELECT student_id FROM account WHERE user_id = ?1 AND student_id = ?1)) "
                      "ORDER BY class_id",
        { userId });
}

std::string RequestContext::nextId(const std::string& prefix, long long start)
{
    auto stored = data_.scalar("SELECT value FROM meta WHERE key = ?", { "next_" + prefix });
    long long n = stored.isNull() ? start : platform::leadingIntegerOf(stored.stringValue());
    data_.exec("INSERT OR REPLACE INTO meta VALUES (?, ?)", { "next_" + prefix, std::to_string(n + 1) });
    return prefix + std::to_string(n);
}

void RequestContext::keep(const std::string& kind, long long userId, const Value& payload)
{
    data_.insert("INSERT INTO submission (kind, user_id, payload, created) VALUES (?, ?, ?, ?)",
        { kind, userId, platform::PlatformJson::write(payload).value_or("null"), SchoolData::timeText() });
}

Responder::Responder(SchoolData& data, std::string uploadDirectory)
    : data_(data)
    , uploadDirectory_(std::move(uploadDirectory))
{
}

Reply Responder::answer(const IncomingRequest& request)
{
    RequestContext context(data_, uploadDirectory_, request);
    return context.answer();
}

const std::vector<std::pair<std::string, std::string>>& Responder::commands()
{
    static const std::vector<std::pair<std::string, std::string>> list = [] {
        std::vector<std::pair<std::string, std::string>> out;
        for (const Route& route : routes()) {
            if (route.module)
                out.emplace_back(route.key, route.module);
        }
        return out;
    }();
    return list;
}

const std::vector<std::string>& Responder::queryRoutes()
{
    static const std::vector<std::string> list = [] {
        std::vector<std::string> out;
        for (const Route& route : routes()) {
            if (!route.module)
                out.emplace_back(route.key);
        }
        return out;
    }();
    return list;
}

} // namespace server
