#include "server/LessonSite.h"
#include "server/LessonSeed.h"
#include "server/SchoolData.h"

#include "platform/os/StringUtil.h"

namespace server {

using platform::Value;

namespace {

    constexpr const char* kSitePrefix = "/mobile2/pull/lessons/site/";

    std::string escape(const std::string& text)
    {
        std::string out;
        for (char c : text) {
            switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
            }
        }
        return out;
    }

    std::string page(const std::string& title, const std::string& body)
    {
        return "<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
               "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
               "<title>"
            + escape(title)
            + "</title><style>"
              "body{margin:0;font-family:sans-serif;background:#f2f4f0;color:#3a3f36}"
              "header{background:linear-gradient(135deg,#96d23c,#46962a);color:#fff;padding:22px 16px}"
              "header h1{margin:0;font-size:24px}header p{margin:6px 0 0;font-size:13px;opacity:.9}"
              "h2{font-size:16px;color:#7fc410;margin:16px 16px 8px;border-bottom:2px solid #7fc410;padding-bottom:6px}"
              "ul{list-style:none;margin:0;padding:0 12px}"
              "li{background:#fff;margin:0 0 8px;border-radius:6px;padding:12px 14px}"
              "a{color:#3a3f36;text-decoration:none;font-weight:bold}"
              // A row that leads somewhere is its link from edge to edge.
              "li>a{display:block;margin:-12px -14px;padding:12px 14px}"
              ".meta{display:block;font-weight:normal;font-size:12px;color:#8a9284;margin-top:4px}"
              ".tag{float:right;font-size:12px;color:#7fc410;font-weight:normal}"
              "</style></head><body>"
            + body + "</body></html>";
    }

    Reply htmlReply(std::string html, int status = 200)
    {
        Reply reply;
        reply.status = status;
        reply.contentType = "text/html; charset=UTF-8";
        reply.body = std::move(html);
        return reply;
    }

    std::string text(const Value& value, const char* key)
    {
        return value[key].isString() ? value[key].stringValue() : "";
    }

    Reply home()
    {
        std::string body
            = "<header><h1>云端讲堂</h1><p>名师微课与直播，在家也能好好学</p></header><h2>学科课程</h2><ul>";
        for (const Value& subject : *lessons::subjects().asArray()) {
            if ((subject["type"].intValue() & 2) == 0)
                continue;
            body += "<li><a href=\"" + std::string(kSitePrefix) + "subject/" + escape(text(subject, "sid")) + "\">"
                + escape(text(subject, "name")) + "</a></li>";
        }
        body += "</ul><h2>直播课堂</h2><ul>";
        for (const Value& live : *lessons::liveVideos().asArray()) {
            body += "<li><a href=\"" + std::string(kSitePrefix) + "live/" + std::to_string(live["uid"].intValue())
                + "\">" + escape(text(live, "name")) + "<span class=\"meta\">讲师 "
                + escape(text(live["lector"], "name")) + "</span></a></li>";
        }
        return htmlReply(page("云端讲堂", body + "</ul>"));
    }

    Reply subjectPage(const std::string& sid)
    {
        std::string name;
        for (const Value& subject : *lessons::subjects().asArray()) {
            if (text(subject, "sid") == sid)
                name = text(subject, "name");
        }
        if (name.empty())
            return htmlReply(page("云端讲堂", "<h2>没有这个学科</h2>"), 404);
        std::string body = "<header><h1>" + escape(name) + "课程</h1><p>云端讲堂</p></header><ul>";
        for (const Value& lesson : *lessons::lessons().asArray()) {
            if (text(lesson, "subject_sid") != sid)
                continue;
            body += "<li><a href=\"" + std::string(kSitePrefix) + "lesson/" + std::to_string(lesson["uid"].intValue())
                + "\">" + escape(text(lesson, "name")) + "<span class=\"tag\">"
                + std::to_string(lesson["video_count"].intValue()) + "个课件</span><span class=\"meta\">"
                + escape(text(lesson, "intro")) + "</span></a></li>";
        }
        return htmlReply(page(name + "课程", body + "</ul>"));
    }

    Reply lessonPage(long long uid)
    {
        for (const Value& lesson : *lessons::lessons().asArray()) {
            if (lesson["uid"].longLongValue() != uid)
                continue;
            std::string body = "<header><h1>" + escape(text(lesson, "name")) + "</h1><p>"
                + escape(text(lesson, "intro")) + "</p></header><h2>课件列表</h2><ul>";
            for (const Value& video : *lesson["videos"].asArray()) {
                bool free = video["is_free"].intValue() != 0 && video["is_lock"].intValue() == 0;
                body += "<li>" + escape(text(video, "name")) + "<span class=\"tag\">" + (free ? "免费" : "包月")
                    + "</span><span class=\"meta\">时长 " + std::to_string(video["minutes"].intValue())
                    + "分钟</span></li>";
            }
            return htmlReply(page(text(lesson, "name"), body + "</ul>"));
        }
        return htmlReply(page("云端讲堂", "<h2>没有这个课程</h2>"), 404);
    }

    Reply livePage(long long uid)
    {
        for (const Value& live : *lessons::liveVideos().asArray()) {
            if (live["uid"].longLongValue() != uid)
                continue;
            std::string body = "<header><h1>" + escape(text(live, "name")) + "</h1><p>讲师 "
                + escape(text(live["lector"], "name")) + "</p></header><h2>直播列表</h2><ul>";
            for (const Value& item : *live["items"].asArray()) {
                int state = item["state"].intValue();
                const char* label = state == 2 ? "正在直播" : state == 3 ? "已结束" : "即将热播";
                body += "<li>" + std::to_string(item["order"].intValue()) + "." + escape(text(item, "name"))
                    + "<span class=\"tag\">" + label + "</span><span class=\"meta\">" + escape(text(item, "start_time"))
                    + "</span></li>";
            }
            return htmlReply(page(text(live, "name"), body + "</ul>"));
        }
        return htmlReply(page("云端讲堂", "<h2>没有这个直播</h2>"), 404);
    }

} // namespace

std::optional<Reply> answerLessonSite(const IncomingRequest& request)
{
    if (request.method != "GET" && request.method != "HEAD")
        return std::nullopt;
    if (!request.underPull)
        return request.route.empty() ? std::optional(home()) : std::nullopt;
    auto segments = platform::split(request.route, "/");
    if (segments.size() != 4 || segments[0] != "lessons" || segments[1] != "site")
        return std::nullopt;
    if (segments[2] == "subject")
        return subjectPage(segments[3]);
    if (segments[2] == "lesson")
        return lessonPage(platform::leadingIntegerOf(segments[3]));
    if (segments[2] == "live")
        return livePage(platform::leadingIntegerOf(segments[3]));
    return std::nullopt;
}

} // namespace server
