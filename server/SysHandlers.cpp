// Account commands of "combine/sys": sign-in, passwords, profile, feedback.
#include "server/ResponderContext.h"

namespace server {

Reply RequestContext::login()
{
    std::string login = bodyText("account");
    std::string password = bodyText("psw");
    if (login.empty() || password.empty())
        return failure("请输入用户名和密码");
    auto accounts = data_.rows("SELECT a.user_id AS userId, " + kAccountName
            + " AS userName, 0 AS newMsgNum, "
              "'{base}html/ext/' || a.user_id || '.html' AS extendPageURL, "
            + kAccountThumb + " AS thumbAvatar, " + kAccountAvatar
            + " AS orgUserPic, s.name AS schoolName, a.school_id AS schoolId, a.stu_sequence AS stuSequence, "
              "p.person_type AS accountType, s.area_abb AS areaAbb, a.ctd_enable AS ctdEnable, "
              "a.password AS password "
              "FROM account a JOIN person p ON p.person_id = a.user_id JOIN school s ON s.school_id = a.school_id "
              "LEFT JOIN person child ON child.person_id = a.student_id "
              "WHERE a.login = ? ORDER BY a.seq, a.user_id",
        { login });
    if (accounts.empty() || accounts.front()["password"].stringValue() != password)
        return failure("用户名或密码错误");
    for (auto& item : accounts) {
        auto* dict = item.asDictionary();
        dict->erase("password");
        dict->set("newMsgNum",
            data_
                .scalar("SELECT COUNT(*) FROM message WHERE receiver_id = ? AND delivered = 0", { dict->get("userId") })
                .intValue());
    }
    std::string session = randomHex(32);
    data_.exec("INSERT INTO session VALUES (?, ?, ?)", { session, login, SchoolData::timeText() });
    Dictionary reply = envelope(1, "登录成功");
    reply.set("sessionid", session);
    reply.set("items", Value(compact(std::move(accounts))));
    return jsonReply(Value(std::move(reply)));
}

bool RequestContext::loginExists(const std::string& login) const
{
    return !login.empty() && data_.scalar("SELECT COUNT(*) FROM account WHERE login = ?", { login }).intValue() > 0;
}

Reply RequestContext::findPassword()
{
    if (!loginExists(bodyText("account")))
        return failure("账号不存在");
    return success("新密码已发送到您的手机");
}

Reply RequestContext::timePassword()
{
    if (!loginExists(bodyText("account")))
        return failure("账号不存在");
    return success("动态密码已发送到您的手机，请注意查收");
}

Reply RequestContext::requestCheckNumber()
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

bool RequestContext::checkNumberMatches(const std::string& mobile, const std::string& code) const
{
    auto stored = data_.scalar("SELECT code FROM verify_code WHERE mobile = ?", { mobile });
    return !code.empty() && stored.isString() && stored.stringValue() == code;
}

Reply RequestContext::confirmCheckNumber()
{
    if (!checkNumberMatches(bodyText("mobile"), bodyText("validate")))
        return failure("验证码错误");
    return success("验证成功，新密码已通过短信发送");
}

Reply RequestContext::resetPassword()
{
    std::string login = bodyText("account");
    if (!checkNumberMatches(login, bodyText("verCode")))
        return failure("验证码错误");
    if (bodyText("psw").empty())
        return failure("新密码不能为空");
    data_.exec("UPDATE account SET password = ? WHERE login = ?", { bodyText("psw"), login });
    return success("密码重置成功");
}

Reply RequestContext::updateProfile()
{
    std::string name = bodyText("userName");
    std::string file = bodyText("file");
    // The account's name carries the child's after the person's own; a name
    // sent back as shown is the person's name with that part, kept once.
    auto child = data_.scalar("SELECT child.name FROM account a JOIN person p ON p.person_id = a.user_id "
                              "JOIN person child ON child.person_id = a.student_id "
                              "WHERE a.user_id = ? AND p.person_type = 2",
        { userId() });
    if (child.isString()) {
        std::string shown = "（" + child.stringValue() + "）";
        if (name.size() > shown.size() && platform::hasSuffix(name, shown))
            name.resize(name.size() - shown.size());
    }
    if (!name.empty())
        data_.exec("UPDATE person SET name = ? WHERE person_id = ?", { name, userId() });
    if (!file.empty())
        data_.exec("UPDATE person SET avatar = ? WHERE person_id = ?", { file, userId() });
    auto row = data_.row("SELECT " + kAccountName + " AS userName, " + kAccountAvatar + " AS orgUserPic, "
            + kAccountThumb
            + " AS thumbAvatar FROM account a JOIN person p ON p.person_id = a.user_id "
              "LEFT JOIN person child ON child.person_id = a.student_id WHERE a.user_id = ?",
        { userId() });
    Dictionary reply = envelope(1, "修改成功");
    if (row) {
        for (auto& [key, value] : *row)
            reply.set(key, value);
        // A new avatar's addresses, as the upload answered them.
        if (!file.empty()) {
            reply.set("original", row->get("orgUserPic"));
            reply.set("thumb", row->get("thumbAvatar"));
        }
    }
    return jsonReply(Value(std::move(reply)));
}

Reply RequestContext::changePassword()
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

Reply RequestContext::plainUpdate()
{
    Dictionary reply = envelope(1, "操作成功");
    reply.set("updateTime", SchoolData::timeText());
    return jsonReply(Value(std::move(reply)));
}

Reply RequestContext::feedback()
{
    if (bodyText("content").empty())
        return failure("反馈内容不能为空");
    keep("feedback", userId(), request_.body);
    return success("感谢您的反馈");
}

} // namespace server
