// Stand-ins for the carrier's own web pages that the client opens in its web
// page screens: instant messaging, its group chat (a path of the same host)
// and mail. They live under "carrier/" of the stand-in; the client is told
// that base instead of the carrier's (see the client's carrier addresses).
#include "server/ResponderContext.h"

#include <optional>
#include <utility>
#include <vector>

namespace server {

namespace {

Reply carrierHtml(const std::string& title, const std::string& body)
{
    return page("text/html; charset=UTF-8",
        "<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
        "<meta name=\"viewport\" content=\"width=device-width\"><title>"
            + title
            + "</title><style>body{font-family:sans-serif;margin:0;background:#f4f6f8;color:#2e3540}"
              "header{background:#2b7fd4;color:#fff;padding:14px 16px;font-size:18px}"
              "li{background:#fff;margin:8px 12px;padding:12px;border-radius:6px;list-style:none}"
              "ul{padding:0}p{margin:12px 16px;color:#6a727c}li a{display:block;color:inherit;text-decoration:none}"
              "a.back{color:#fff;text-decoration:none;margin-right:12px}.from{color:#6a727c;font-size:13px}"
              "</style></head><body>"
            + body + "</body></html>");
}

// The mail's folders, each a page of its own under the mail page; a folder
// without mail says so.
struct MailFolder {
    const char* path;
    const char* name;
    std::vector<std::pair<const char*, const char*>> mails; // sender, subject
};

const std::vector<MailFolder>& mailFolders()
{
    static const std::vector<MailFolder> folders {
        { "inbox", "收件箱",
            { { "学校办公室", "家长会通知" }, { "陈静", "三年级数学期中复习资料" }, { "星河通信", "本月账单" } } },
        { "drafts", "草稿箱", {} },
        { "sent", "已发送", { { "李建国", "回复：家长会通知" } } },
    };
    return folders;
}

Reply mailHome()
{
    std::string body = "<header>Nimbus邮箱</header><ul>";
    for (const auto& folder : mailFolders()) {
        body += std::string("<li><a href=\"") + folder.path + "/\">" + folder.name;
        if (std::string(folder.path) == "inbox")
            body += "（" + std::to_string(folder.mails.size()) + "）";
        body += "</a></li>";
    }
    return carrierHtml("Nimbus邮箱", body + "</ul>");
}

std::optional<Reply> mailFolder(const std::string& path)
{
    for (const auto& folder : mailFolders()) {
        if (path != folder.path)
            continue;
        std::string body = std::string("<header><a class=\"back\" href=\"../\">‹ 邮箱</a>") + folder.name + "</header>";
        if (folder.mails.empty())
            return carrierHtml(folder.name, body + "<p>没有邮件</p>");
        body += "<ul>";
        for (const auto& [from, subject] : folder.mails)
            body += std::string("<li>") + subject + "<div class=\"from\">" + from + "</div></li>";
        return carrierHtml(folder.name, body + "</ul>");
    }
    return std::nullopt;
}

} // namespace

Reply RequestContext::carrierPage()
{
    std::string route = request_.route.substr(std::string("carrier").size());
    if (platform::hasSuffix(route, "/index.html"))
        route.resize(route.size() - std::string("/index.html").size());
    if (route == "/pigeon")
        return carrierHtml("鸽笺",
            "<header>鸽笺</header><ul><li>李建国：明天的家长会改到三点</li><li>陈静：数学作业已布置</li></ul>"
            "<p><a href=\"parley/\">进入畅谈</a></p>");
    if (route == "/pigeon/parley")
        return carrierHtml("畅谈", "<header>畅谈</header><ul><li>三年级二班家长群（32人）</li><li>教研组（8人）</li></ul>");
    if (route == "/nimbus")
        return mailHome();
    if (platform::hasPrefix(route, "/nimbus/")) {
        if (auto folder = mailFolder(route.substr(std::string("/nimbus/").size())))
            return *folder;
    }
    // A page that gives itself no title.
    if (route == "/untitled")
        return carrierHtml("", "<p>这个页面没有标题。</p>");
    // A page that offers the click-to-dial service.
    if (route == "/ctd")
        return carrierHtml("开通点击拨号", "<p><a id=\"open\" href=\"/ctd/ctdOpen\">立即开通</a></p>");
    return html("页面不存在", "<p>没有这个页面。</p>", 404);
}

} // namespace server
