#include "server/Responder.h"

#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"
#include "platform/os/PlatformJson.h"
#include "platform/os/StringUtil.h"
#include "server/Compression.h"
#include "server/SchoolData.h"
#include "server/StaticMedia.h"

#include <algorithm>
#include <map>
#include <random>
#include <set>

namespace server {

using platform::Array;
using platform::Dictionary;
using platform::Value;

namespace {

    // Module path of every command code; a code sent to another module is refused.
    const std::vector<std::pair<std::string, std::string>> kCommands = {
        { "10001", "combine/sys" },
        { "10002", "combine/sys" },
        { "10003", "combine/sys" },
        { "10004", "combine/sys" },
        { "10005", "combine/sys" },
        { "10006", "combine/sys" },
        { "10007", "combine/sys" },
        { "10008", "combine/sys" },
        { "10009", "combine/sys" },
        { "10010", "combine/sys" },
        { "10011", "combine/sys" },
        { "10022", "combine/sys" },
        { "20101", "combine/rivu" },
        { "20102", "combine/rivu" },
        { "20103", "combine/rivu" },
        { "20104", "combine/rivu" },
        { "20105", "combine/rivu" },
        { "20106", "combine/rivu" },
        { "20107", "combine/rivu" },
        { "30101", "combine/address" },
        { "30102", "combine/address" },
        { "30104", "combine/address" },
        { "30105", "combine/address" },
        { "30106", "combine/address" },
        { "30107", "combine/address" },
        { "40001", "combine/html5" },
        { "40101", "combine/html5" },
        { "40102", "combine/html5" },
        { "40103", "combine/html5" },
        { "40201", "combine/html5" },
        { "40202", "combine/html5" },
        { "40301", "combine/html5" },
        { "40302", "combine/html5" },
        { "40401", "combine/html5" },
        { "40501", "combine/html5" },
        { "50001", "combine/magazine" },
        { "50002", "combine/magazine" },
        { "50003", "combine/magazine" },
        { "60001", "combine/jxsp" },
        { "60002", "combine/jxsp" },
        { "60003", "combine/jxsp" },
        { "60004", "combine/jxsp" },
        { "60005", "combine/jxsp" },
        { "60006", "combine/jxsp" },
        { "60007", "combine/jxsp" },
        { "60008", "combine/jxsp" },
        { "70001", "combine/ctd" },
        { "70002", "combine/ctd" },
        { "70003", "combine/ctd" },
        { "70004", "combine/ctd" },
    };

    const std::vector<std::string> kQueryRoutes = {
        "webapp/base/tea/active_type",
        "webapp/base/tea/class_list",
        "webapp/stucomment/comment_list",
        "webapp/stucomment/single_list",
        "webapp/jxq/sendComment",
        "webapp/stucomment/stu_list",
        "webapp/stucomment/stuinfo",
        "webapp/photoAlbum/list",
        "webapp/servicemsg/new",
        "webapp/notice/add",
        "webapp/classcourse/list",
        "webapp/jxq/weibo",
        "webapp/jxq/praise",
        "webapp/jxq/comment",
        "webapp/messagehis/list",
        "web/ctd/butCtd",
        "web/ctd/dial",
    };

    const std::set<std::string> kPhotoKinds = { "msgpic", "userpic", "weibopic", "homeworkpic" };

    // Reply column expressions shared by several answers.
    const std::string kAvatar = "COALESCE(p.avatar, '{base}static/avatar/' || p.person_id || '.png')";
    const std::string kThumb = "COALESCE(p.avatar, '{base}static/avatar/' || p.person_id || '-thumb.png')";
    const std::string kContactColumns = "p.person_id AS linkManId, p.name AS linkManName, c.remarks AS remarks, "
                                        "p.phone AS phone, "
        + kThumb + " AS thumbAvatar, " + kAvatar
        + " AS orgUserPic, p.person_type AS linkManType, p.is_customer AS isCustomer, "
          "CASE WHEN o.ctd_enable = 1 AND p.phone IS NOT NULL THEN '{base}web/ctd/dial?userId=' || c.owner_id "
          "|| '&linkManId=' || p.person_id END AS dialReq";
    const std::string kVideoColumns = "v.video_id AS videoId, v.title AS title, v.create_time AS createTime, "
                                      "'{base}static/img/video-' || v.video_id || '.png' AS picPath, "
                                      "'{base}static/video/' || v.video_id || '.mp4' AS webSite, v.remark AS remark, "
                                      "v.read_count AS readCount, v.creater_name AS createrName";
    const std::string kVideoCommentColumns
        = "comment_id AS commentId, content, user_name AS userName, user_type AS userType, "
          "'{base}static/avatar/' || user_id || '-thumb.png' AS userPic, score, comment_time AS commentTime";

    Dictionary envelope(int state, const std::string& message)
    {
        return Dictionary { { "resultState", state }, { "resultMsg", message } };
    }

    Reply jsonReply(Value value, int status = 200)
    {
        Reply reply;
        reply.status = status;
        reply.json = std::move(value);
        return reply;
    }

    Reply success(const std::string& message = "操作成功") { return jsonReply(Value(envelope(1, message))); }
    Reply failure(const std::string& message, int status = 200)
    {
        return jsonReply(Value(envelope(0, message)), status);
    }

    Reply withItems(Array items, Dictionary extra = {})
    {
        Dictionary reply = envelope(1, "");
        for (auto& [key, value] : extra)
            reply.set(key, value);
        reply.set("items", Value(std::move(items)));
        return jsonReply(Value(std::move(reply)));
    }

    Reply page(const std::string& contentType, std::string body, int status = 200)
    {
        Reply reply;
        reply.status = status;
        reply.contentType = contentType;
        reply.body = std::move(body);
        return reply;
    }

    Reply html(const std::string& title, const std::string& content, int status = 200)
    {
        return page("text/html; charset=UTF-8",
            "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + title + "</title></head><body><h1>" + title
                + "</h1>" + content + "</body></html>",
            status);
    }

    // Drops the keys whose column was NULL: a reply leaves absent what it does not know.
    Array compact(Array rows)
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
    void expandJsonColumns(Array& rows, std::initializer_list<const char*> keys)
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
    std::vector<std::string> splitList(const std::string& text)
    {
        std::vector<std::string> parts;
        for (auto& part : platform::split(text, ",")) {
            auto trimmed = platform::trimWhitespaceAndNewlines(part);
            if (!trimmed.empty())
                parts.push_back(trimmed);
        }
        return parts;
    }

    int clampPageSize(long long size, int fallback)
    {
        if (size <= 0)
            return fallback;
        return static_cast<int>(std::min<long long>(size, 1000));
    }

    std::string randomDigits(int count)
    {
        static std::mutex mutex;
        static std::mt19937_64 engine { std::random_device {}() };
        std::lock_guard guard(mutex);
        std::string out;
        for (int i = 0; i < count; ++i)
            out.push_back(static_cast<char>('0' + engine() % 10));
        return out;
    }

    std::string randomHex(int count)
    {
        static std::mutex mutex;
        static std::mt19937_64 engine { std::random_device {}() };
        std::lock_guard guard(mutex);
        std::string out;
        for (int i = 0; i < count; ++i)
            out.push_back("0123456789abcdef"[engine() % 16]);
        return out;
    }

    std::string htmlEscape(const std::string& text)
    {
        std::string out;
        for (char c : text) {
            switch (c) {
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '&':
                out += "&amp;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out.push_back(c);
            }
        }
        return out;
    }

} // namespace

// One request being answered: the request, the data and the handlers.
class Responder::Context final {
public:
    Context(SchoolData& data, const std::string& uploadDirectory, const IncomingRequest& request)
        : data_(data)
        , uploadDirectory_(uploadDirectory)
        , request_(request)
    {
    }

    Reply answer()
    {
        auto guard = data_.lock();
        const std::string& route = request_.route;
        if (!request_.underPull) {
            if (route == "mobile/userregister.do")
                return html("用户注册", "<p>请联系学校管理员开通账号。</p>");
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

private:
    // ----- request values -----

    const Value& body(std::string_view key) const { return request_.body[key]; }
    long long bodyInt(std::string_view key) const { return body(key).longLongValue(); }
    std::string bodyText(std::string_view key) const { return body(key).stringValue(); }

    std::optional<std::string> param(std::string_view name) const
    {
        for (const auto& [key, value] : request_.query) {
            if (key == name)
                return value;
        }
        return std::nullopt;
    }
    std::string paramText(std::string_view name) const { return param(name).value_or(""); }
    long long paramInt(std::string_view name) const { return platform::leadingIntegerOf(paramText(name)); }

    // ----- shared lookups -----

    std::optional<Dictionary> account(long long userId) const
    {
        return data_.row("SELECT a.user_id AS userId, p.name AS userName, p.person_type AS accountType, "
                         "a.school_id AS schoolId, s.name AS schoolName, s.area_abb AS areaAbb, "
                         "a.stu_sequence AS stuSequence, a.ctd_enable AS ctdEnable, a.login AS login "
                         "FROM account a JOIN person p ON p.person_id = a.user_id "
                         "JOIN school s ON s.school_id = a.school_id WHERE a.user_id = ?",
            { userId });
    }

    // The classes a user teaches, or the classes of the user's children (or own class).
    Array classesOf(long long userId) const
    {
        return data_.rows("SELECT class_id AS classId, class_name AS className FROM class WHERE class_id IN ("
                          "SELECT class_id FROM teacher_class WHERE teacher_id = ?1 "
                          "UNION SELECT class_id FROM student WHERE parent_id = ?1 "
                          "UNION SELECT class_id FROM student WHERE student_id = "
                          "(SELECT student_id FROM account WHERE user_id = ?1 AND student_id = ?1)) "
                          "ORDER BY class_id",
            { userId });
    }

    std::string nextId(const std::string& prefix, long long start)
    {
        auto stored = data_.scalar("SELECT value FROM meta WHERE key = ?", { "next_" + prefix });
        long long n = stored.isNull() ? start : platform::leadingIntegerOf(stored.stringValue());
        data_.exec("INSERT OR REPLACE INTO meta VALUES (?, ?)", { "next_" + prefix, std::to_string(n + 1) });
        return prefix + std::to_string(n);
    }

    void keep(const std::string& kind, long long userId, const Value& payload)
    {
        data_.insert("INSERT INTO submission (kind, user_id, payload, created) VALUES (?, ?, ?, ?)",
            { kind, userId, platform::PlatformJson::write(payload).value_or("null"), SchoolData::timeText() });
    }

    Reply notFound() const { return failure("接口不存在", 404); }

    // ----- commands -----

    using Handler = Reply (Context::*)();

    Reply command()
    {
        const std::string& cmd = request_.command;
        if (cmd.empty()) {
            if (request_.bodyUnreadable || (!request_.body.isDictionary() && !request_.body.isNull()))
                return failure("请求数据格式错误", 400);
            return success(); // the plain post of the common fields
        }
        auto module = std::find_if(kCommands.begin(), kCommands.end(), [&](auto& c) { return c.first == cmd; });
        if (module == kCommands.end())
            return failure("未知命令");
        if (module->second != request_.route)
            return failure("命令与模块不符");

        static const std::map<std::string, Handler> handlers = {
            { "10001", &Context::login },
            { "10002", &Context::logout },
            { "10003", &Context::findPassword },
            { "10004", &Context::resetPassword },
            { "10005", &Context::timePassword },
            { "10006", &Context::updateProfile },
            { "10007", &Context::changePassword },
            { "10008", &Context::plainUpdate },
            { "10009", &Context::plainUpdate },
            { "10010", &Context::requestCheckNumber },
            { "10011", &Context::confirmCheckNumber },
            { "10022", &Context::feedback },
            { "20101", &Context::pollMessages },
            { "20102", &Context::groupSend },
            { "20103", &Context::groupSendState },
            { "20104", &Context::groupResend },
            { "20105", &Context::reportStates },
            { "20106", &Context::templateTypes },
            { "20107", &Context::templates },
            { "30101", &Context::contactGroups },
            { "30102", &Context::groupContacts },
            { "30104", &Context::sendToOne },
            { "30105", &Context::ctdState },
            { "30106", &Context::addressPackage },
            { "30107", &Context::addressBook },
            { "40001", &Context::navigationMessages },
            { "40101", &Context::postWeibo },
            { "40102", &Context::deleteWeibo },
            { "40103", &Context::newWeiboCount },
            { "40201", &Context::createAlbum },
            { "40202", &Context::addPhotos },
            { "40301", &Context::homework },
            { "40302", &Context::subjects },
            { "40401", &Context::commentOrGrowth },
            { "40501", &Context::hotActivities },
            { "50001", &Context::magazines },
            { "50002", &Context::magazineIssue },
            { "50003", &Context::magazineOpened },
            { "60001", &Context::videoHome },
            { "60002", &Context::videoGrades },
            { "60003", &Context::videosBySubject },
            { "60004", &Context::videoDetail },
            { "60005", &Context::videosBySource },
            { "60006", &Context::videoSources },
            { "60007", &Context::addVideoComment },
            { "60008", &Context::videoComments },
            { "70001", &Context::ctdCheck },
            { "70002", &Context::ctdHistory },
            { "70003", &Context::ctdDial },
            { "70004", &Context::ctdHangUp },
        };
        static const std::set<std::string> beforeSignIn = { "10001", "10003", "10004", "10005", "10010", "10011" };
        if (!beforeSignIn.contains(cmd)) {
            user_ = account(bodyInt("userId"));
            if (!user_)
                return failure("用户信息出错，请重新登录");
        }
        return (this->*handlers.at(cmd))();
    }

    long long userId() const { return user_ ? user_->get("userId").longLongValue() : 0; }
    int userType() const { return user_ ? user_->get("accountType").intValue() : 0; }
    long long schoolId() const { return user_ ? user_->get("schoolId").longLongValue() : 0; }

    // sys

    Reply login()
    {
        std::string login = bodyText("account");
        std::string password = bodyText("psw");
        if (login.empty() || password.empty())
            return failure("请输入用户名和密码");
        auto accounts = data_.rows("SELECT a.user_id AS userId, p.name AS userName, 0 AS newMsgNum, "
                                   "'{base}html/ext/' || a.user_id || '.html' AS extendPageURL, "
                + kThumb + " AS thumbAvatar, " + kAvatar
                + " AS orgUserPic, s.name AS schoolName, a.school_id AS schoolId, a.stu_sequence AS stuSequence, "
                  "p.person_type AS accountType, s.area_abb AS areaAbb, a.ctd_enable AS ctdEnable, "
                  "a.password AS password "
                  "FROM account a JOIN person p ON p.person_id = a.user_id JOIN school s ON s.school_id = a.school_id "
                  "WHERE a.login = ? ORDER BY a.seq, a.user_id",
            { login });
        if (accounts.empty() || accounts.front()["password"].stringValue() != password)
            return failure("用户名或密码错误");
        for (auto& item : accounts) {
            auto* dict = item.asDictionary();
            dict->erase("password");
            dict->set("newMsgNum",
                data_
                    .scalar(
                        "SELECT COUNT(*) FROM message WHERE receiver_id = ? AND delivered = 0", { dict->get("userId") })
                    .intValue());
        }
        std::string session = randomHex(32);
        data_.exec("INSERT INTO session VALUES (?, ?, ?)", { session, login, SchoolData::timeText() });
        Dictionary reply = envelope(1, "登录成功");
        reply.set("sessionid", session);
        reply.set("items", Value(compact(std::move(accounts))));
        return jsonReply(Value(std::move(reply)));
    }

    Reply logout() { return success("退出成功"); }

    bool loginExists(const std::string& login) const
    {
        return !login.empty() && data_.scalar("SELECT COUNT(*) FROM account WHERE login = ?", { login }).intValue() > 0;
    }

    Reply findPassword()
    {
        if (!loginExists(bodyText("account")))
            return failure("账号不存在");
        return success("新密码已发送到您的手机");
    }

    Reply timePassword()
    {
        if (!loginExists(bodyText("account")))
            return failure("账号不存在");
        return success("动态密码已发送到您的手机，请注意查收");
    }

    Reply requestCheckNumber()
    {
        std::string mobile = bodyText("mobile");
        if (!loginExists(mobile))
            return failure("该手机号码未注册");
        std::string code = randomDigits(6);
        data_.exec("INSERT OR REPLACE INTO verify_code VALUES (?, ?, ?)", { mobile, code, SchoolData::timeText() });
        // No SMS here: the demo reads the check number from the server's output.
        platform::log("standin: check number for %s is %s\n", mobile.c_str(), code.c_str());
        return success("验证码已发送，请注意查收短信");
    }

    bool checkNumberMatches(const std::string& mobile, const std::string& code) const
    {
        auto stored = data_.scalar("SELECT code FROM verify_code WHERE mobile = ?", { mobile });
        return !code.empty() && stored.isString() && stored.stringValue() == code;
    }

    Reply confirmCheckNumber()
    {
        if (!checkNumberMatches(bodyText("mobile"), bodyText("validate")))
            return failure("验证码错误");
        return success("验证成功，新密码已通过短信发送");
    }

    Reply resetPassword()
    {
        std::string login = bodyText("account");
        if (!checkNumberMatches(login, bodyText("verCode")))
            return failure("验证码错误");
        if (bodyText("psw").empty())
            return failure("新密码不能为空");
        data_.exec("UPDATE account SET password = ? WHERE login = ?", { bodyText("psw"), login });
        return success("密码重置成功");
    }

    Reply updateProfile()
    {
        std::string name = bodyText("userName");
        std::string file = bodyText("file");
        if (!name.empty())
            data_.exec("UPDATE person SET name = ? WHERE person_id = ?", { name, userId() });
        if (!file.empty())
            data_.exec("UPDATE person SET avatar = ? WHERE person_id = ?", { file, userId() });
        auto row = data_.row("SELECT p.name AS userName, " + kAvatar + " AS orgUserPic, " + kThumb
                + " AS thumbAvatar FROM person p WHERE p.person_id = ?",
            { userId() });
        Dictionary reply = envelope(1, "修改成功");
        if (row) {
            for (auto& [key, value] : *row)
                reply.set(key, value);
        }
        return jsonReply(Value(std::move(reply)));
    }

    Reply changePassword()
    {
        auto stored = data_.scalar("SELECT password FROM account WHERE user_id = ?", { userId() });
        if (stored.stringValue() != bodyText("oldPsw"))
            return failure("原密码错误");
        if (bodyText("newPsw").empty())
            return failure("新密码不能为空");
        // Every account of the sign-in shares the password.
        data_.exec("UPDATE account SET password = ? WHERE login = ?", { bodyText("newPsw"), user_->get("login") });
        return success("密码修改成功");
    }

    Reply plainUpdate()
    {
        Dictionary reply = envelope(1, "操作成功");
        reply.set("updateTime", SchoolData::timeText());
        return jsonReply(Value(std::move(reply)));
    }

    Reply feedback()
    {
        if (bodyText("content").empty())
            return failure("反馈内容不能为空");
        keep("feedback", userId(), request_.body);
        return success("感谢您的反馈");
    }

    // rivu

    Reply pollMessages()
    {
        auto items = data_.rows("SELECT m.msg_id AS msgId, m.content AS content, "
                                "CASE WHEN m.group_msg_id IS NULL THEN 0 ELSE 1 END AS isGroupSend, "
                                "m.images AS images, m.audios AS audios, m.date_time AS dateTime, "
                                "m.template_id AS templateId, p.person_id AS linkManId, p.name AS linkManName, "
                                "(SELECT remarks FROM contact WHERE owner_id = m.receiver_id "
                                "AND person_id = m.sender_id LIMIT 1) AS remarks, p.phone AS phone, "
                + kThumb + " AS thumbAvatar, " + kAvatar
                + " AS orgUserPic, p.person_type AS linkManType, p.is_customer AS isCustomer "
                  "FROM message m JOIN person p ON p.person_id = m.sender_id "
                  "WHERE m.receiver_id = ? AND m.delivered = 0 ORDER BY m.date_time, m.msg_id",
            { userId() });
        expandJsonColumns(items, { "images", "audios" });
        data_.exec("UPDATE message SET delivered = 1 WHERE receiver_id = ? AND delivered = 0", { userId() });
        auto groupStates = data_.rows("SELECT g.msg_id AS msgId, g.content AS content, 1 AS isGroupSend, "
                                      "g.images AS images, g.audios AS audios, g.date_time AS dateTime, "
                                      "g.template_id AS templateId, "
                                      "(SELECT COUNT(*) FROM group_send_recipient r WHERE r.msg_id = g.msg_id "
                                      "AND r.read = 1) AS msgReadCount, "
                                      "(SELECT COUNT(*) FROM group_send_recipient r WHERE r.msg_id = g.msg_id "
                                      "AND r.read = 0) AS msgUnReadCount, "
                                      "(SELECT COUNT(*) FROM group_send_recipient r WHERE r.msg_id = g.msg_id "
                                      "AND r.sms_ok = 1) AS smsSuccessCount, "
                                      "(SELECT COUNT(*) FROM group_send_recipient r WHERE r.msg_id = g.msg_id "
                                      "AND r.sms_ok = 0) AS smsUnSuccessCount "
                                      "FROM group_send g WHERE g.sender_id = ? ORDER BY g.date_time DESC",
            { userId() });
        expandJsonColumns(groupStates, { "images", "audios" });
        Dictionary reply = envelope(1, "");
        reply.set("items", Value(compact(std::move(items))));
        reply.set("groupsendstat", Value(std::move(groupStates)));
        return jsonReply(Value(std::move(reply)));
    }

    bool hasContent() const
    {
        return !bodyText("content").empty() || body("images").count() > 0 || body("audios").count() > 0;
    }

    Value attachments(std::string_view key) const
    {
        const Value& list = body(key);
        return list.isArray() ? list : Value(Array {});
    }

    Reply groupSend()
    {
        if (!hasContent())
            return failure("消息内容不能为空");
        std::vector<long long> recipients;
        auto add = [&](long long person) {
            if (person > 0 && std::find(recipients.begin(), recipients.end(), person) == recipients.end())
                recipients.push_back(person);
        };
        if (const auto* groups = body("groupIdsItem").asArray()) {
            for (const auto& group : *groups) {
                for (auto& row : data_.rows("SELECT person_id FROM contact WHERE owner_id = ? AND group_id = ? "
                                            "ORDER BY seq",
                         { userId(), group["groupId"].stringValue() }))
                    add(row["person_id"].longLongValue());
            }
        }
        if (const auto* people = body("sendeeIdsItem").asArray()) {
            for (const auto& person : *people) {
                long long id = person["linkManId"].longLongValue();
                if (data_.scalar("SELECT COUNT(*) FROM person WHERE person_id = ?", { id }).intValue() > 0)
                    add(id);
            }
        }
        if (recipients.empty())
            return failure("请选择接收人");

        std::string images = platform::PlatformJson::write(attachments("images")).value_or("[]");
        std::string audios = platform::PlatformJson::write(attachments("audios")).value_or("[]");
        std::string msgId;
        int smsOk = 0;
        bool stored = data_.transaction([&] {
            msgId = nextId("G", 3001);
            std::string now = SchoolData::timeText();
            if (!data_.exec("INSERT INTO group_send VALUES (?, ?, ?, ?, ?, ?, ?)",
                    { msgId, userId(), bodyText("content"), images, audios, now, bodyInt("templateId") }))
                return false;
            for (long long person : recipients) {
                auto who = data_.row("SELECT phone, is_customer FROM person WHERE person_id = ?", { person });
                bool sms = who && who->get("phone").isString() && who->get("is_customer").intValue() == 1;
                smsOk += sms ? 1 : 0;
                if (!data_.exec("INSERT INTO group_send_recipient VALUES (?, ?, 0, ?)", { msgId, person, sms ? 1 : 0 }))
                    return false;
                // Recipients who use the app get it in their next poll.
                if (data_.scalar("SELECT COUNT(*) FROM account WHERE user_id = ?", { person }).intValue() > 0
                    && !data_.exec("INSERT INTO message VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, 0, 0, 0)",
                        { nextId("M", 2001), userId(), person, bodyText("content"), images, audios, now,
                            bodyInt("templateId"), msgId }))
                    return false;
            }
            return true;
        });
        if (!stored)
            return failure("发送失败，请重试");
        Dictionary reply = envelope(1, "发送成功");
        reply.set("msgId", msgId);
        reply.set("msgReadCount", 0);
        reply.set("msgUnReadCount", static_cast<int>(recipients.size()));
        reply.set("smsSuccessCount", smsOk);
        reply.set("smsUnSuccessCount", static_cast<int>(recipients.size()) - smsOk);
        return jsonReply(Value(std::move(reply)));
    }

    bool ownsGroupSend(const std::string& msgId) const
    {
        return data_.scalar("SELECT COUNT(*) FROM group_send WHERE msg_id = ? AND sender_id = ?", { msgId, userId() })
                   .intValue()
            > 0;
    }

    Reply groupSendState()
    {
        std::string msgId = bodyText("msgId");
        if (!ownsGroupSend(msgId))
            return failure("消息不存在");
        std::string column = bodyInt("type") == 2 ? "sms_ok" : "read";
        auto names = [&](int flag) {
            Array out;
            for (auto& row : data_.rows("SELECT p.name AS name FROM group_send_recipient r JOIN person p "
                                        "ON p.person_id = r.person_id WHERE r.msg_id = ? AND r."
                         + column + " = ? ORDER BY p.person_id",
                     { msgId, flag }))
                out.push_back(row["name"]);
            return out;
        };
        Dictionary reply = envelope(1, "");
        reply.set("readItems", Value(names(1)));
        reply.set("unReadItems", Value(names(0)));
        return jsonReply(Value(std::move(reply)));
    }

    Reply groupResend()
    {
        if (!ownsGroupSend(bodyText("msgId")))
            return failure("消息不存在");
        return success("操作成功");
    }

    Reply reportStates()
    {
        auto mark = [&](std::string_view key, const char* column) {
            if (const auto* ids = body(key).asArray()) {
                for (const auto& id : *ids) {
                    data_.exec(
                        std::string("UPDATE message SET ") + column + " = 1 WHERE msg_id = ? AND receiver_id = ?",
                        { id.stringValue(), userId() });
                }
            }
        };
        bool stored = data_.transaction([&] {
            mark("hasSend", "received");
            mark("hasRead", "received");
            mark("hasRead", "read");
            // A group send counts a recipient as read once the recipient's copy is.
            return data_.exec("UPDATE group_send_recipient SET read = 1 WHERE EXISTS (SELECT 1 FROM message m "
                              "WHERE m.group_msg_id = group_send_recipient.msg_id AND m.receiver_id = "
                              "group_send_recipient.person_id AND m.read = 1 AND m.receiver_id = ?)",
                { userId() });
        });
        return stored ? success("操作成功") : failure("操作失败");
    }

    Reply templateTypes()
    {
        std::string since = bodyText("dateTime");
        return withItems(data_.rows("SELECT title_id AS titleId, title_name AS titleName, title_type AS titleType, "
                                    "date_time AS dateTime FROM template_type WHERE date_time > ? ORDER BY title_id",
            { since }));
    }

    Reply templates()
    {
        std::string since = bodyText("dateTime");
        return withItems(data_.rows("SELECT msg_id AS msgId, msg_info AS msgInfo, msg_type AS msgType, "
                                    "date_time AS dateTime FROM template WHERE date_time > ? ORDER BY msg_id",
            { since }));
    }

    // address

    Array groupsOf(long long owner) const
    {
        return data_.rows("SELECT group_id AS groupId, name AS groupName, group_type AS groupType FROM contact_group "
                          "WHERE owner_id = ? ORDER BY seq",
            { owner });
    }

    Array contactsOf(long long owner, const std::string& groupId) const
    {
        return compact(data_.rows("SELECT " + kContactColumns
                + " FROM contact c JOIN person p ON p.person_id = c.person_id JOIN account o ON o.user_id = c.owner_id "
                  "WHERE c.owner_id = ? AND c.group_id = ? ORDER BY c.seq",
            { owner, groupId }));
    }

    Reply contactGroups()
    {
        Dictionary reply = envelope(1, "");
        reply.set("groupList", Value(groupsOf(userId())));
        return jsonReply(Value(std::move(reply)));
    }

    Reply groupContacts()
    {
        Dictionary reply = envelope(1, "");
        reply.set("manList", Value(contactsOf(userId(), bodyText("groupId"))));
        return jsonReply(Value(std::move(reply)));
    }

    Reply sendToOne()
    {
        long long target = bodyInt("linkManId");
        if (data_.scalar("SELECT COUNT(*) FROM person WHERE person_id = ?", { target }).intValue() == 0)
            return failure("联系人不存在");
        if (!hasContent())
            return failure("消息内容不能为空");
        std::string msgId = nextId("M", 2001);
        bool stored = data_.exec("INSERT INTO message VALUES (?, ?, ?, ?, ?, ?, ?, 0, NULL, 0, 0, 0)",
            { msgId, userId(), target, bodyText("content"),
                platform::PlatformJson::write(attachments("images")).value_or("[]"),
                platform::PlatformJson::write(attachments("audios")).value_or("[]"), SchoolData::timeText() });
        if (!stored)
            return failure("发送失败，请重试");
        Dictionary reply = envelope(1, "发送成功");
        reply.set("msgId", msgId);
        return jsonReply(Value(std::move(reply)));
    }

    Reply ctdState()
    {
        auto row = data_.row("SELECT package_time AS packageTime, remain_time AS remainTime FROM ctd_package "
                             "WHERE user_id = ?",
            { userId() });
        Dictionary reply = envelope(1, "");
        reply.set("packageTime", row ? row->get("packageTime") : Value(0));
        reply.set("remainTime", row ? row->get("remainTime") : Value(0));
        return jsonReply(Value(std::move(reply)));
    }

    Reply addressPackage()
    {
        Dictionary reply = envelope(1, "");
        reply.set("downUrl", "{base}files/addressbook/" + std::to_string(userId()) + ".json.gz");
        return jsonReply(Value(std::move(reply)));
    }

    Array wholeAddressBook(long long owner) const
    {
        Array groups;
        for (auto& group : groupsOf(owner)) {
            Dictionary entry = *group.asDictionary();
            entry.set("items", Value(contactsOf(owner, group["groupId"].stringValue())));
            groups.push_back(Value(std::move(entry)));
        }
        return groups;
    }

    Reply addressBook()
    {
        Reply reply = jsonReply(Value(wholeAddressBook(userId())));
        reply.addressBook = true;
        return reply;
    }

    // html5

    Reply navigationMessages()
    {
        auto items = data_.rows("SELECT event_type AS eventType, content, count, date_time AS dateTime "
                                "FROM nav_message WHERE date_time > ? ORDER BY date_time DESC",
            { bodyText("updateTime") });
        // The older message-box builder sends no "userName" and reads a bare
        // list; the dispatcher's command carries it and reads an envelope.
        if (!request_.body["userName"].isString())
            return jsonReply(Value(std::move(items)));
        return withItems(std::move(items));
    }

    Reply postWeibo()
    {
        if (bodyText("content").empty() && body("images").count() == 0)
            return failure("发表内容不能为空");
        long long weiboId = 0;
        bool stored = data_.transaction([&] {
            weiboId = data_.insert("INSERT INTO weibo (school_id, sender_id, pub_type, content, date_time) "
                                   "VALUES (?, ?, ?, ?, ?)",
                { schoolId(), userId(), bodyInt("pubType"), bodyText("content"), SchoolData::timeText() });
            if (weiboId == 0)
                return false;
            int seq = 0;
            for (const auto& image : attachments("images").asArray() ? *attachments("images").asArray() : Array {}) {
                if (!data_.exec("INSERT INTO weibo_image VALUES (?, ?, ?, ?)",
                        { weiboId, ++seq, image["original"].stringValue(), image["thumb"].stringValue() }))
                    return false;
            }
            return true;
        });
        if (!stored)
            return failure("发表失败，请重试");
        Dictionary reply = envelope(1, "发表成功");
        reply.set("weiboId", weiboId);
        return jsonReply(Value(std::move(reply)));
    }

    Reply deleteWeibo()
    {
        long long weiboId = bodyInt("weiboId");
        auto sender = data_.scalar("SELECT sender_id FROM weibo WHERE weibo_id = ? AND deleted = 0", { weiboId });
        if (sender.isNull())
            return failure("内容不存在或已删除");
        if (sender.longLongValue() != userId())
            return failure("只能删除自己发表的内容");
        data_.exec("UPDATE weibo SET deleted = 1 WHERE weibo_id = ?", { weiboId });
        return success("删除成功");
    }

    Reply newWeiboCount()
    {
        Dictionary reply = envelope(1, "");
        reply.set("total",
            data_
                .scalar("SELECT COUNT(*) FROM weibo WHERE school_id = ? AND deleted = 0 AND weibo_id > ?",
                    { schoolId(), bodyInt("weiboId") })
                .intValue());
        return jsonReply(Value(std::move(reply)));
    }

    bool addAlbumPhotos(long long albumId, const std::string& photos)
    {
        for (const auto& url : splitList(photos)) {
            if (!data_.exec("INSERT INTO album_photo (album_id, url, created) VALUES (?, ?, ?)",
                    { albumId, url, SchoolData::timeText() }))
                return false;
        }
        return true;
    }

    Reply createAlbum()
    {
        std::string name = bodyText("album");
        if (name.empty())
            return failure("相册名称不能为空");
        long long classId = bodyInt("belongto");
        if (data_.scalar("SELECT COUNT(*) FROM class WHERE class_id = ?", { classId }).intValue() == 0)
            return failure("请选择班级");
        long long albumId = 0;
        bool stored = data_.transaction([&] {
            albumId = data_.insert("INSERT INTO album (class_id, name, description, creator_id, created) "
                                   "VALUES (?, ?, ?, ?, ?)",
                { classId, name, bodyText("description"), userId(), SchoolData::timeText() });
            return albumId > 0 && addAlbumPhotos(albumId, bodyText("photos"));
        });
        if (!stored)
            return failure("相册创建失败");
        Dictionary reply = envelope(1, "相册创建成功");
        reply.set("albumId", albumId);
        return jsonReply(Value(std::move(reply)));
    }

    Reply addPhotos()
    {
        long long albumId = bodyInt("albumId");
        if (data_.scalar("SELECT COUNT(*) FROM album WHERE album_id = ?", { albumId }).intValue() == 0)
            return failure("相册不存在");
        if (!data_.transaction([&] { return addAlbumPhotos(albumId, bodyText("photos")); }))
            return failure("照片上传失败");
        return success("照片上传成功");
    }

    Reply homework()
    {
        if (bodyText("content").empty())
            return failure("作业内容不能为空");
        keep("homework", userId(), request_.body);
        return success("作业布置成功");
    }

    Reply subjects()
    {
        return withItems(data_.rows("SELECT subject_id AS subjectId, name AS subjectName FROM subject "
                                    "WHERE school_id = ? ORDER BY subject_id",
            { schoolId() }));
    }

    Reply commentOrGrowth()
    {
        // The student comment and the growth assistant share one code; the keys tell them apart.
        if (const auto* fields = request_.body.asDictionary(); fields && fields->contains("saleModalId")) {
            Dictionary reply = envelope(1, "");
            reply.set("jumpUrl", "{base}html/growth.html?saleModalId=" + std::to_string(bodyInt("saleModalId")));
            return jsonReply(Value(std::move(reply)));
        }
        auto students = splitList(bodyText("studentIdsStr"));
        if (students.empty())
            return failure("请选择学生");
        if (bodyText("comment").empty())
            return failure("点评内容不能为空");
        bool stored = data_.transaction([&] {
            for (const auto& student : students) {
                if (!data_.exec("INSERT INTO comment_history (student_id, teacher_id, content, rank, flag, date_time) "
                                "VALUES (?, ?, ?, ?, ?, ?)",
                        { platform::leadingIntegerOf(student), userId(), bodyText("comment"), bodyInt("rank"),
                            bodyInt("flag"), SchoolData::timeText() }))
                    return false;
            }
            return true;
        });
        return stored ? success("点评成功") : failure("点评失败");
    }

    Reply hotActivities()
    {
        return withItems(data_.rows("SELECT id, area_id AS areaId, town_id AS townId, title, content, "
                                    "create_time AS createTime, '{base}html/activity/' || id || '.html' AS htmlUrl "
                                    "FROM hot_activity ORDER BY create_time DESC"));
    }

    // magazine

    Reply magazines()
    {
        std::string since = bodyText("updateTime");
        const std::string columns = "m.name AS name, m.post_id AS postId, m.category AS category, "
                                    "'{base}static/img/cover-' || m.post_id || '.png' AS coverOriginal, "
                                    "'{base}static/img/cover-' || m.post_id || '-thumb.png' AS coverThumb, "
                                    "m.post_number AS postNumber, m.post_date AS postDate, "
                                    "m.read_number AS readNumber, m.state AS state, m.created_at AS createdAt, "
                                    "EXISTS (SELECT 1 FROM magazine_read r WHERE r.user_id = ? "
                                    "AND r.post_id = m.post_id) AS isRead";
        Array rows = since.empty()
            ? data_.rows("SELECT " + columns + " FROM magazine m WHERE m.state = 1 ORDER BY m.post_id", { userId() })
            : data_.rows("SELECT " + columns + " FROM magazine m WHERE m.changed_at > ? ORDER BY m.post_id",
                { userId(), since });
        Array items;
        for (auto& row : rows) {
            Dictionary item = *row.asDictionary();
            int status = item.get("isRead").intValue() ? 1 : 2;
            if (item.get("state").intValue() == 0)
                status = 0; // withdrawn: the client removes its copy
            else if (!since.empty() && item.get("createdAt").stringValue() <= since)
                status = 3; // changed since the client's copy
            for (const char* key : { "state", "createdAt", "isRead" })
                item.erase(key);
            // Keep the item keys in the order the list screen documents them.
            Value readNumber = item.get("readNumber");
            item.erase("readNumber");
            item.set("status", status);
            item.set("readNumber", readNumber);
            items.push_back(Value(std::move(item)));
        }
        Dictionary reply = envelope(1, "");
        reply.set("updateTime", data_.scalar("SELECT MAX(changed_at) FROM magazine"));
        reply.set("items", Value(std::move(items)));
        reply.set("readItems",
            Value(data_.rows("SELECT post_id AS postId, read_number AS readNumber FROM magazine WHERE state = 1 "
                             "ORDER BY post_id")));
        reply.set("adItems",
            Value(data_.rows("SELECT ad_name AS adName, '{base}static/img/ad-' || ad_id || '.png' AS adImage, "
                             "'{base}html/ad/' || ad_id || '.html' AS adUrl FROM magazine_ad ORDER BY ad_id")));
        return jsonReply(Value(std::move(reply)));
    }

    Reply magazineIssue()
    {
        long long postId = bodyInt("postId");
        if (data_.scalar("SELECT COUNT(*) FROM magazine WHERE post_id = ? AND state = 1", { postId }).intValue() == 0)
            return failure("期刊不存在");
        Array directories;
        std::vector<std::string> heads;
        for (auto& dir : data_.rows("SELECT directory_id AS directoryId, name AS directoryName, "
                                    "'{base}static/img/dir-' || directory_id || '.png' AS directoryLogo "
                                    "FROM magazine_directory WHERE post_id = ? ORDER BY seq",
                 { postId })) {
            Dictionary entry = *dir.asDictionary();
            auto chapters = data_.rows("SELECT chapter_id AS chapterId, category, title, "
                                       "'{base}static/img/chapter-' || chapter_id || '.png' AS headImage, "
                                       "is_head AS isHead FROM magazine_chapter WHERE directory_id = ? ORDER BY seq",
                { entry.get("directoryId") });
            for (auto& chapter : chapters) {
                auto* dict = chapter.asDictionary();
                if (dict->get("isHead").intValue())
                    heads.push_back(dict->get("chapterId").stringValue());
                dict->erase("isHead");
            }
            entry.set("chapters", Value(std::move(chapters)));
            directories.push_back(Value(std::move(entry)));
        }
        std::string headIds;
        for (const auto& id : heads)
            headIds += (headIds.empty() ? "" : ",") + id;
        Dictionary reply = envelope(1, "");
        reply.set("headChapterIds", headIds);
        reply.set("items", Value(std::move(directories)));
        return jsonReply(Value(std::move(reply)));
    }

    Reply magazineOpened()
    {
        long long postId = bodyInt("postId");
        if (data_.scalar("SELECT COUNT(*) FROM magazine WHERE post_id = ? AND state = 1", { postId }).intValue() == 0)
            return failure("期刊不存在");
        bool stored = data_.transaction([&] {
            return data_.exec("INSERT OR IGNORE INTO magazine_read VALUES (?, ?)", { userId(), postId })
                && data_.exec("UPDATE magazine SET read_number = read_number + 1 WHERE post_id = ?", { postId });
        });
        return stored ? success("操作成功") : failure("操作失败");
    }

    // jxsp

    int defaultGrade() const
    {
        auto grade = data_.scalar("SELECT MIN(grade_bank) FROM class WHERE class_id IN (SELECT class_id FROM "
                                  "teacher_class WHERE teacher_id = ?1 UNION SELECT class_id FROM student "
                                  "WHERE parent_id = ?1 OR student_id = ?1)",
            { userId() });
        return grade.isNull() ? 1 : grade.intValue();
    }

    Array videos(const std::string& where, const Array& args, int limit, int offset) const
    {
        Array all = args;
        all.push_back(limit);
        all.push_back(offset);
        return data_.rows(
            "SELECT " + kVideoColumns + " FROM video v WHERE " + where + " ORDER BY v.video_id LIMIT ? OFFSET ?", all);
    }

    Reply videoGrades()
    {
        return withItems(data_.rows("SELECT grade_bank AS gradeBank, grade_name AS gradeName FROM grade "
                                    "ORDER BY grade_bank"));
    }

    Reply videoHome()
    {
        long long grade = bodyInt("gradeBank");
        auto gradeRow = data_.row("SELECT grade_bank AS gradeBank, grade_name AS gradeName FROM grade "
                                  "WHERE grade_bank = ?",
            { grade });
        if (!gradeRow) {
            grade = defaultGrade();
            gradeRow = data_.row("SELECT grade_bank AS gradeBank, grade_name AS gradeName FROM grade "
                                 "WHERE grade_bank = ?",
                { grade });
        }
        Array subjects;
        for (auto& subject : data_.rows("SELECT subject_id AS subjectId, name AS subjectName, "
                                        "'{base}static/img/subject-' || subject_id || '.png' AS subjectPic "
                                        "FROM video_subject ORDER BY subject_id")) {
            Dictionary entry = *subject.asDictionary();
            entry.set("videoItems",
                Value(videos("v.grade_bank = ? AND v.subject_id = ? AND v.source = 1",
                    { grade, entry.get("subjectId") }, 4, 0)));
            subjects.push_back(Value(std::move(entry)));
        }
        Dictionary teachers { { "subjectId", -1 }, { "subjectName", "名师推荐" },
            { "subjectPic", "{base}static/img/subject-picks.png" },
            { "videoItems", Value(videos("v.source = 2", {}, 4, 0)) } };
        Dictionary reply = envelope(1, "");
        if (gradeRow)
            reply.set("grade", Value(*gradeRow));
        reply.set("subItems", Value(std::move(subjects)));
        reply.set("teaItem", Value(std::move(teachers)));
        return jsonReply(Value(std::move(reply)));
    }

    int pageOffset(int pageSize) const
    {
        long long pageNumber = std::max<long long>(1, bodyInt("page"));
        return static_cast<int>(std::min<long long>(pageNumber - 1, 100000) * pageSize);
    }

    Reply videosBySubject()
    {
        Dictionary reply = envelope(1, "");
        reply.set("videoItems",
            Value(videos("v.grade_bank = ? AND v.subject_id = ? AND v.source = 1",
                { bodyInt("gradeBank"), bodyInt("subjectId") }, 10, pageOffset(10))));
        return jsonReply(Value(std::move(reply)));
    }

    Reply videosBySource()
    {
        Dictionary reply = envelope(1, "");
        reply.set("videoItems", Value(videos("v.source = ?", { bodyInt("source") }, 10, pageOffset(10))));
        return jsonReply(Value(std::move(reply)));
    }

    Array videoCommentPage(long long videoId, int offset) const
    {
        return data_.rows("SELECT " + kVideoCommentColumns
                + " FROM video_comment WHERE video_id = ? ORDER BY comment_id DESC LIMIT 10 OFFSET ?",
            { videoId, offset });
    }

    Reply videoDetail()
    {
        long long videoId = bodyInt("videoId");
        data_.exec("UPDATE video SET read_count = read_count + 1 WHERE video_id = ?", { videoId });
        auto found = videos("v.video_id = ?", { videoId }, 1, 0);
        if (found.empty())
            return failure("视频不存在");
        Dictionary reply = envelope(1, "");
        for (auto& [key, value] : *found.front().asDictionary())
            reply.set(key, value);
        reply.set("commentItems", Value(videoCommentPage(videoId, 0)));
        return jsonReply(Value(std::move(reply)));
    }

    Reply videoSources()
    {
        return withItems(Array { Value(Dictionary { { "source", 1 }, { "sourceName", "同步课堂" } }),
            Value(Dictionary { { "source", 2 }, { "sourceName", "名师推荐" } }) });
    }

    Reply addVideoComment()
    {
        long long videoId = bodyInt("videoId");
        if (data_.scalar("SELECT COUNT(*) FROM video WHERE video_id = ?", { videoId }).intValue() == 0)
            return failure("视频不存在");
        if (platform::trimWhitespaceAndNewlines(bodyText("content")).empty())
            return failure("评论内容不能为空");
        long long score = std::clamp<long long>(bodyInt("score"), 0, 5);
        long long commentId
            = data_.insert("INSERT INTO video_comment (video_id, user_id, user_name, user_type, content, "
                           "score, comment_time) VALUES (?, ?, ?, ?, ?, ?, ?)",
                { videoId, userId(), user_->get("userName"), userType(), bodyText("content"), score,
                    SchoolData::timeText() });
        if (commentId == 0)
            return failure("评论发表失败");
        Dictionary reply = envelope(1, "评论发表成功");
        reply.set("commentId", commentId);
        return jsonReply(Value(std::move(reply)));
    }

    Reply videoComments()
    {
        Dictionary reply = envelope(1, "");
        reply.set("commentItems", Value(videoCommentPage(bodyInt("videoId"), pageOffset(10))));
        return jsonReply(Value(std::move(reply)));
    }

    // ctd

    bool ctdEnabled() const { return user_ && user_->get("ctdEnable").intValue() == 1; }

    Reply ctdCheck()
    {
        Dictionary reply
            = envelope(1, ctdEnabled() ? "点击拨号将由平台回拨您的手机，接通后再呼叫对方，通话免费。" : "");
        reply.set("status", ctdEnabled() ? 1 : 0);
        reply.set("dealResult", "您尚未开通点击拨号业务，请联系学校管理员开通。");
        return jsonReply(Value(std::move(reply)));
    }

    Reply ctdHistory()
    {
        return withItems(data_.rows("SELECT start_time AS starttime, state, callee, callee_phone AS calleephone, "
                                    "caller_type AS callertype, use_minute AS useminute, link_id AS linkId "
                                    "FROM call_history WHERE user_id = ? ORDER BY start_time DESC LIMIT 10 OFFSET ?",
            { userId(), pageOffset(10) }));
    }

    // Call start and end answer 0 when done and any other value with a reason.
    static Reply callAnswer(int state, const std::string& message)
    {
        return jsonReply(Value(envelope(state, message)));
    }

    Reply ctdDial()
    {
        std::string phone = bodyText("phone");
        if (!ctdEnabled())
            return callAnswer(2, "您尚未开通点击拨号业务");
        if (phone.empty())
            return callAnswer(1, "号码不能为空");
        auto remain = data_.scalar("SELECT remain_time FROM ctd_package WHERE user_id = ?", { userId() });
        if (remain.intValue() <= 0)
            return callAnswer(1, "通话时长不足，请充值");
        long long linkId = static_cast<long long>(body("linkId").doubleValue());
        auto callee = data_.scalar("SELECT name FROM person WHERE person_id = ?", { linkId });
        data_.insert("INSERT INTO call_history (user_id, start_time, state, callee, callee_phone, caller_type, "
                     "use_minute, link_id) VALUES (?, ?, '通话中', ?, ?, ?, 0, ?)",
            { userId(), SchoolData::timeText(), callee.isString() ? callee : Value(""), phone, bodyInt("type"),
                linkId });
        return callAnswer(0, "呼叫已发起，请注意接听来电");
    }

    Reply ctdHangUp()
    {
        if (!ctdEnabled())
            return callAnswer(2, "您尚未开通点击拨号业务");
        data_.transaction([&] {
            return data_.exec("UPDATE call_history SET state = '通话成功', use_minute = 1 WHERE id = (SELECT MAX(id) "
                              "FROM call_history WHERE user_id = ? AND state = '通话中')",
                       { userId() })
                && data_.exec(
                    "UPDATE ctd_package SET remain_time = MAX(remain_time - 1, 0) WHERE user_id = ?", { userId() });
        });
        return callAnswer(0, "通话已结束");
    }

    // ----- uploads -----

    Reply upload()
    {
        auto segments = platform::split(request_.route, "/"); // upload, kind, uid, type
        if (segments.size() != 4)
            return notFound();
        const std::string& kind = segments[1];
        bool voice = kind == "audio";
        if (!voice && !kPhotoKinds.contains(kind))
            return notFound();
        auto isNumber = [](const std::string& s) {
            return !s.empty() && s.size() < 12
                && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
        };
        if (!isNumber(segments[2]) || !isNumber(segments[3]))
            return failure("上传地址错误", 404);
        auto file
            = std::find_if(request_.parts.begin(), request_.parts.end(), [](auto& p) { return p.name == "file"; });
        if (file == request_.parts.end())
            return failure("没有收到文件", 400);

        // Stored under a name of our own; only a short alphanumeric extension survives.
        std::string extension;
        if (auto dot = file->fileName.rfind('.'); dot != std::string::npos) {
            std::string ext = file->fileName.substr(dot + 1);
            if (!ext.empty() && ext.size() <= 5 && std::all_of(ext.begin(), ext.end(), [](char c) {
                    return std::isalnum(static_cast<unsigned char>(c));
                }))
                extension = "." + platform::asciiToLower(ext);
        }
        if (extension.empty())
            extension = voice ? ".amr" : ".jpg";
        std::string stored = nextId(kind + "-", 1) + extension;
        std::string folder = platform::FileUtil::joinPath(uploadDirectory_, kind);
        platform::Error error;
        if (!platform::FileUtil::createDirectory(folder, &error)
            || !platform::FileUtil::write(platform::FileUtil::joinPath(folder, stored), file->content,
                platform::FileUtil::WriteMode::Atomic, &error))
            return failure("文件保存失败", 500);
        std::string contentType = file->contentType.empty() ? "application/octet-stream" : file->contentType;
        data_.insert("INSERT INTO upload (kind, user_id, account_type, original_name, stored_name, content_type, size, "
                     "created) VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
            { kind, platform::leadingIntegerOf(segments[2]), platform::leadingIntegerOf(segments[3]), file->fileName,
                stored, contentType, static_cast<long long>(file->content.size()), SchoolData::timeText() });
        Dictionary reply = envelope(1, "上传成功");
        if (voice) {
            reply.set("audio", "{base}files/audio/" + stored);
        } else {
            reply.set("original", "{base}files/" + kind + "/" + stored);
            reply.set("thumb", "{base}files/" + kind + "/thumb/" + stored);
        }
        return jsonReply(Value(std::move(reply)));
    }

    Reply storedFile(const std::string& kind, const std::string& name)
    {
        auto row = data_.row("SELECT content_type FROM upload WHERE kind = ? AND stored_name = ?", { kind, name });
        if (!row)
            return notFound();
        auto bytes = platform::FileUtil::read(
            platform::FileUtil::joinPath(platform::FileUtil::joinPath(uploadDirectory_, kind), name));
        if (!bytes)
            return failure("文件不存在", 404);
        return page(row->get("content_type").stringValue(), std::string(bytes->begin(), bytes->end()));
    }

    // ----- queries and files -----

    Reply query()
    {
        const std::string& route = request_.route;
        static const std::map<std::string, Handler> queries = {
            { "webapp/base/tea/active_type", &Context::activeTypes },
            { "webapp/base/tea/class_list", &Context::classList },
            { "webapp/stucomment/comment_list", &Context::suggestedComments },
            { "webapp/stucomment/single_list", &Context::commentHistory },
            { "webapp/jxq/sendComment", &Context::commentWeibo },
            { "webapp/stucomment/stu_list", &Context::studentsOfClass },
            { "webapp/stucomment/stuinfo", &Context::childrenOfFamily },
            { "webapp/photoAlbum/list", &Context::albumList },
            { "webapp/servicemsg/new", &Context::serviceMessage },
            { "webapp/notice/add", &Context::classNotice },
            { "webapp/classcourse/list", &Context::timetable },
            { "webapp/jxq/weibo", &Context::weiboFeed },
            { "webapp/jxq/praise", &Context::praiseWeibo },
            { "webapp/jxq/comment", &Context::weiboComments },
            { "webapp/messagehis/list", &Context::smsHistory },
            { "web/ctd/butCtd", &Context::openCtd },
            { "web/ctd/dial", &Context::callBack },
        };
        if (auto found = queries.find(route); found != queries.end())
            return (this->*found->second)();
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
                "<p>当前版本 " + htmlEscape(platform::replaceAll(segments[2], "_", "."))
                    + "</p>"
                      "<ul><li>新增成长期刊和教学视频</li><li>通讯录支持拼音检索</li><li>修复已知问题</li></ul>");
        return notFound();
    }

    // The account a query is for: "userId", else "teacherId", else "familyId".
    bool queryUser()
    {
        for (const char* key : { "userId", "teacherId", "familyId" }) {
            if (param(key)) {
                user_ = account(paramInt(key));
                return user_.has_value();
            }
        }
        return false;
    }

    Reply activeTypes()
    {
        if (!queryUser())
            return failure("用户信息出错，请重新登录");
        Array items { Value(Dictionary { { "type", 0 }, { "typeName", "全校" } }) };
        for (auto& c : classesOf(userId()))
            items.push_back(Value(Dictionary { { "type", c["classId"] }, { "typeName", c["className"] } }));
        return withItems(std::move(items));
    }

    Reply classList()
    {
        if (!queryUser())
            return failure("用户信息出错，请重新登录");
        return withItems(classesOf(userId()));
    }

    Reply suggestedComments()
    {
        // Stored order on purpose: sorting by "sort" is the client's job.
        return withItems(data_.rows("SELECT sort, type, content FROM suggest_comment ORDER BY rowid"));
    }

    Reply commentHistory()
    {
        long long student = paramInt("studentId");
        int pageSize = clampPageSize(paramInt("pageSize"), 10);
        long long pageNumber = std::max<long long>(1, paramInt("page"));
        auto total = data_.scalar("SELECT COUNT(*) FROM comment_history WHERE student_id = ?", { student });
        auto items = data_.rows("SELECT content, substr(date_time, 1, 10) AS dateTime, "
                                "'{base}static/img/rank-' || rank || '.png' AS rankIco, "
                                "substr(date_time, 12, 5) AS time FROM comment_history WHERE student_id = ? "
                                "ORDER BY date_time DESC, id DESC LIMIT ? OFFSET ?",
            { student, pageSize, std::min<long long>(pageNumber - 1, 100000) * pageSize });
        return withItems(std::move(items), Dictionary { { "total", total.intValue() } });
    }

    Reply commentWeibo()
    {
        if (!queryUser())
            return failure("用户信息出错，请重新登录");
        long long weiboId = paramInt("weiboId");
        if (data_.scalar("SELECT COUNT(*) FROM weibo WHERE weibo_id = ? AND deleted = 0", { weiboId }).intValue() == 0)
            return failure("内容不存在或已删除");
        if (platform::trimWhitespaceAndNewlines(paramText("comment")).empty())
            return failure("评论内容不能为空");
        data_.insert("INSERT INTO weibo_comment (weibo_id, sender_id, comment, date_time) VALUES (?, ?, ?, ?)",
            { weiboId, userId(), paramText("comment"), SchoolData::timeText() });
        return success("评论成功");
    }

    Array students(const std::string& where, long long key) const
    {
        return data_.rows("SELECT s.student_id AS studentId, p.name AS name, "
                          "'{base}static/avatar/' || s.student_id || '.png' AS pic FROM student s "
                          "JOIN person p ON p.person_id = s.student_id WHERE "
                + where + " ORDER BY s.student_id",
            { key });
    }

    Reply studentsOfClass() { return withItems(students("s.class_id = ?", paramInt("classId"))); }
    Reply childrenOfFamily() { return withItems(students("s.parent_id = ?", paramInt("familyId"))); }

    Reply albumList()
    {
        if (!queryUser())
            return failure("用户信息出错，请重新登录");
        int pageSize = clampPageSize(paramInt("pageSize"), 10);
        long long pageNumber = std::max<long long>(1, paramInt("page"));
        std::string classIds;
        for (auto& c : classesOf(userId()))
            classIds += (classIds.empty() ? "" : ",") + c["classId"].stringValue();
        return withItems(data_.rows("SELECT a.album_id AS albumId, a.name AS albumName, "
                                    "(SELECT COUNT(*) FROM album_photo f WHERE f.album_id = a.album_id) AS photosNum, "
                                    "c.class_name AS belongs, "
                                    "(SELECT url FROM album_photo f WHERE f.album_id = a.album_id ORDER BY f.id "
                                    "LIMIT 1) AS cover FROM album a JOIN class c ON c.class_id = a.class_id "
                                    "WHERE instr(',' || ? || ',', ',' || a.class_id || ',') > 0 "
                                    "ORDER BY a.album_id DESC LIMIT ? OFFSET ?",
            { classIds, pageSize, std::min<long long>(pageNumber - 1, 100000) * pageSize }));
    }

    Value queryAsValue() const
    {
        Dictionary values;
        for (const auto& [key, value] : request_.query)
            values.set(key, value);
        return Value(std::move(values));
    }

    Reply serviceMessage()
    {
        if (!queryUser())
            return failure("用户信息出错，请重新登录");
        if (platform::trimWhitespaceAndNewlines(paramText("content")).empty())
            return failure("内容不能为空");
        keep("servicemsg", userId(), queryAsValue());
        return success("发送成功");
    }

    Reply classNotice()
    {
        if (!queryUser())
            return failure("用户信息出错，请重新登录");
        if (paramText("title").empty())
            return failure("标题不能为空");
        keep("notice", userId(), queryAsValue());
        return success("通知发送成功");
    }

    Reply timetable()
    {
        return withItems(data_.rows("SELECT t.sort AS sort, t.period AS period, t.course AS course, "
                                    "p.name AS teacherName, "
                + kAvatar
                + " AS teacherPic FROM timetable t LEFT JOIN person p ON p.person_id = t.teacher_id "
                  "WHERE t.class_id = ? AND t.week_day = ? ORDER BY t.sort",
            { paramInt("classId"), paramInt("weekDay") }));
    }

    Reply weiboFeed()
    {
        if (!queryUser())
            return failure("用户信息出错，请重新登录");
        int pageSize = clampPageSize(paramInt("pageSize"), 10);
        long long pageNumber = std::max<long long>(1, paramInt("page"));
        // 1 every post of the school, 2 the teachers' posts, 3 posts to the user's classes.
        std::string filter = "1";
        long long type = paramInt("weiboType");
        if (type == 2)
            filter = "p.person_type = 1";
        else if (type == 3) {
            std::string classIds;
            for (auto& c : classesOf(userId()))
                classIds += "," + c["classId"].stringValue();
            filter = "instr('" + classIds + ",', ',' || w.pub_type || ',') > 0";
        }
        auto items = data_.rows("SELECT w.weibo_id AS weiboId, w.sender_id AS senderId, p.person_type AS senderType, "
                                "p.name AS senderName, w.content AS content, "
                + kAvatar + " AS orgUserPic, " + kThumb
                + " AS thumbAvatar, w.date_time AS dataTime, "
                  "(SELECT COUNT(*) FROM weibo_comment k WHERE k.weibo_id = w.weibo_id) AS commentNum, "
                  "w.praise AS praise FROM weibo w JOIN person p ON p.person_id = w.sender_id "
                  "WHERE w.school_id = ? AND w.deleted = 0 AND "
                + filter + " ORDER BY w.weibo_id DESC LIMIT ? OFFSET ?",
            { schoolId(), pageSize, std::min<long long>(pageNumber - 1, 100000) * pageSize });
        for (auto& item : items) {
            auto* dict = item.asDictionary();
            dict->set("images",
                Value(data_.rows("SELECT original, thumb FROM weibo_image WHERE weibo_id = ? ORDER BY seq",
                    { dict->get("weiboId") })));
        }
        return withItems(std::move(items));
    }

    Reply praiseWeibo()
    {
        if (!queryUser())
            return failure("用户信息出错，请重新登录");
        long long weiboId = paramInt("weiboId");
        if (data_.scalar("SELECT COUNT(*) FROM weibo WHERE weibo_id = ? AND deleted = 0", { weiboId }).intValue() == 0)
            return failure("内容不存在或已删除");
        data_.exec("UPDATE weibo SET praise = praise + 1 WHERE weibo_id = ?", { weiboId });
        return success("点赞成功");
    }

    Reply weiboComments()
    {
        int pageSize = clampPageSize(paramInt("pageSize"), 10);
        long long pageNumber = std::max<long long>(1, paramInt("page"));
        return withItems(data_.rows("SELECT k.weibo_id AS weiboId, k.sender_id AS senderId, "
                                    "p.person_type AS senderType, p.name AS senderName, k.comment AS comment, "
                + kAvatar + " AS orgUserPic, " + kThumb
                + " AS thumbAvatar, k.date_time AS dataTime FROM weibo_comment k "
                  "JOIN person p ON p.person_id = k.sender_id WHERE k.weibo_id = ? ORDER BY k.id LIMIT ? OFFSET ?",
            { paramInt("weiboId"), pageSize, std::min<long long>(pageNumber - 1, 100000) * pageSize }));
    }

    Reply smsHistory()
    {
        if (!queryUser())
            return failure("用户信息出错，请重新登录");
        int pageSize = clampPageSize(paramInt("pageSize"), 10);
        long long pageNumber = std::max<long long>(1, paramInt("page"));
        std::string pattern = "%" + paramText("key") + "%";
        const std::string where = "user_id = ? AND kind = ? AND (content LIKE ? OR sender_name LIKE ?)";
        Array args { userId(), paramInt("type"), pattern, pattern };
        auto total = data_.scalar("SELECT COUNT(*) FROM sms_history WHERE " + where, args);
        Array pageArgs = args;
        pageArgs.push_back(pageSize);
        pageArgs.push_back(std::min<long long>(pageNumber - 1, 100000) * pageSize);
        auto items = data_.rows("SELECT msg_id AS msgId, sender_id AS senderId, sender_name AS senderName, content, "
                                "date_time AS dateTime FROM sms_history WHERE "
                + where + " ORDER BY date_time DESC LIMIT ? OFFSET ?",
            pageArgs);
        return withItems(std::move(items), Dictionary { { "total", total.intValue() } });
    }

    Reply openCtd()
    {
        if (!queryUser())
            return failure("用户信息出错，请重新登录");
        bool stored = data_.transaction([&] {
            return data_.exec("UPDATE account SET ctd_enable = 1 WHERE user_id = ?", { userId() })
                && data_.exec("INSERT OR IGNORE INTO ctd_package VALUES (?, 300, 300)", { userId() });
        });
        return stored ? success("点击拨号业务开通成功") : failure("开通失败，请重试");
    }

    Reply callBack()
    {
        if (!queryUser())
            return failure("用户信息出错，请重新登录");
        if (!ctdEnabled())
            return failure("您尚未开通点击拨号业务");
        auto callee = data_.row("SELECT name, phone FROM person WHERE person_id = ?", { paramInt("linkManId") });
        if (!callee || !callee->get("phone").isString())
            return failure("该联系人没有电话号码");
        data_.insert("INSERT INTO call_history (user_id, start_time, state, callee, callee_phone, caller_type, "
                     "use_minute, link_id) VALUES (?, ?, '回拨中', ?, ?, 3, 0, ?)",
            { userId(), SchoolData::timeText(), callee->get("name"), callee->get("phone"), paramInt("linkManId") });
        return success("呼叫成功，请注意接听来电");
    }

    Reply staticMedia(const std::vector<std::string>& segments)
    {
        const std::string& name = segments.back();
        if (segments.size() == 3 && (segments[1] == "avatar" || segments[1] == "img")
            && platform::hasSuffix(name, ".png")) {
            bool thumb = platform::hasSuffix(name, "-thumb.png");
            std::string base = name.substr(0, name.size() - (thumb ? 10 : 4));
            return page("image/png", pngImage(segments[1] + "/" + base, thumb ? 48 : 160));
        }
        if (segments.size() == 3 && segments[1] == "audio" && platform::hasSuffix(name, ".amr"))
            return page("audio/amr", amrSilence(2));
        if (segments.size() == 3 && segments[1] == "video" && platform::hasSuffix(name, ".mp4"))
            return page("video/mp4", mp4Placeholder());
        return notFound();
    }

    Reply addressBookFile(const std::string& name)
    {
        if (!platform::hasSuffix(name, ".json.gz"))
            return notFound();
        long long owner = platform::leadingIntegerOf(name);
        if (!account(owner))
            return notFound();
        auto text = platform::PlatformJson::write(Value(wholeAddressBook(owner)));
        auto packed = text ? compress(*text, Compression::Gzip) : std::nullopt;
        if (!packed)
            return failure("压缩失败", 500);
        Reply reply = page("application/gzip", std::move(*packed));
        reply.contentType = "application/gzip";
        return reply;
    }

    Reply chapterPage(long long postId, long long chapterId)
    {
        auto chapter = data_.row("SELECT c.title AS title, c.body AS body FROM magazine_chapter c JOIN "
                                 "magazine_directory d ON d.directory_id = c.directory_id "
                                 "WHERE d.post_id = ? AND c.chapter_id = ?",
            { postId, chapterId });
        if (!chapter)
            return html("页面不存在", "<p>没有找到这篇文章。</p>", 404);
        return page("text/html; charset=UTF-8",
            "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>"
                + htmlEscape(chapter->get("title").stringValue()) + "</title></head><body>"
                + chapter->get("body").stringValue() + "</body></html>");
    }

    Reply htmlPage(const std::vector<std::string>& segments)
    {
        const std::string& name = segments.back();
        if (segments.size() == 2 && name == "growth.html")
            return html(
                "成长助手", "<p>成长套餐 " + htmlEscape(paramText("saleModalId")) + "：为孩子的成长保驾护航。</p>");
        if (segments.size() == 3 && segments[1] == "activity") {
            auto row = data_.row(
                "SELECT title, content FROM hot_activity WHERE id = ?", { platform::leadingIntegerOf(name) });
            if (row)
                return html(htmlEscape(row->get("title").stringValue()),
                    "<p>" + htmlEscape(row->get("content").stringValue()) + "</p>");
        }
        if (segments.size() == 3 && segments[1] == "ad") {
            auto row
                = data_.row("SELECT ad_name FROM magazine_ad WHERE ad_id = ?", { platform::leadingIntegerOf(name) });
            if (row)
                return html(htmlEscape(row->get("ad_name").stringValue()), "<p>详情请咨询学校。</p>");
        }
        if (segments.size() == 3 && segments[1] == "ext") {
            if (auto who = account(platform::leadingIntegerOf(name)))
                return html("我的主页", "<p>" + htmlEscape(who->get("userName").stringValue()) + "</p>");
        }
        return html("页面不存在", "<p>没有找到这个页面。</p>", 404);
    }

    SchoolData& data_;
    const std::string& uploadDirectory_;
    const IncomingRequest& request_;
    std::optional<Dictionary> user_;
};

Responder::Responder(SchoolData& data, std::string uploadDirectory)
    : data_(data)
    , uploadDirectory_(std::move(uploadDirectory))
{
}

Reply Responder::answer(const IncomingRequest& request)
{
    Context context(data_, uploadDirectory_, request);
    return context.answer();
}

const std::vector<std::pair<std::string, std::string>>& Responder::commands() { return kCommands; }

const std::vector<std::string>& Responder::queryRoutes() { return kQueryRoutes; }

} // namespace server
