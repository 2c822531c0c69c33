// Stand-ins for the carrier's own web pages that the client opens in its web
// page screens: instant messaging, its group chat (a path of the same host)
// and mail. They live under "carrier/" of the stand-in; the client is told
// that base instead of the carrier's (see the client's carrier addresses).
#include "server/ResponderContext.h"

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
              "ul{padding:0}p{margin:12px 16px;color:#6a727c}</style></head><body>"
            + body + "</body></html>");
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
        return carrierHtml("Nimbus邮箱", "<header>Nimbus邮箱</header><ul><li>收件箱（3）</li><li>草稿箱</li><li>已发送</li></ul>");
    // A page that gives itself no title.
    if (route == "/untitled")
        return carrierHtml("", "<p>这个页面没有标题。</p>");
    // A page that offers the click-to-dial service.
    if (route == "/ctd")
        return carrierHtml("开通点击拨号", "<p><a id=\"open\" href=\"/ctd/ctdOpen\">立即开通</a></p>");
    return html("页面不存在", "<p>没有这个页面。</p>", 404);
}

} // namespace server
