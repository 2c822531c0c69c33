// Queries under "webapp/" and "web/", and the pages and media the replies point at.
#include "server/ResponderContext.h"
#include "server/LibrarySeed.h"

namespace server {

// The account a query is for: "userId", else "teacherId", else "familyId".
bool RequestContext::queryUser()
{
    for (const char* key : { "userId", "teacherId", "familyId" }) {
        if (param(key)) {
            user_ = account(paramInt(key));
            return user_.has_value();
        }
    }
    return false;
}

Reply RequestContext::activeTypes()
{
    Array items { Value(Dictionary { { "type", 0 }, { "typeName", "全校" } }) };
    for (auto& c : classesOf(userId()))
        items.push_back(Value(Dictionary { { "type", c["classId"] }, { "typeName", c["className"] } }));
    return withItems(std::move(items));
}

Reply RequestContext::classList() { return withItems(classesOf(userId())); }

Reply RequestContext::suggestedComments()
{
    // Stored order on purpose: sorting by "sort" is the client's job.
    return withItems(data_.rows("SELECT sort, type, content FROM suggest_comment ORDER BY rowid"));
}

Reply RequestContext::commentHistory()
{
    long long student = paramInt("studentId");
    int pageSize = clampPageSize(paramInt("pageSize"), 10);
    long long pageNumber = std::max<long long>(1, paramInt("page"));
    auto total = data_.scalar("SELECT COUNT(*) FROM comment_history WHERE student_id = ?", { student });
    auto items = data_.rows("SELECT content, substr(date_time, 1, 10) AS dateTime, "
                            "CAST(rank AS TEXT) AS rankIco, "
                            "substr(date_time, 12, 5) AS time FROM comment_history WHERE student_id = ? "
                            "ORDER BY date_time DESC, id DESC LIMIT ? OFFSET ?",
        { student, pageSize, std::min<long long>(pageNumber - 1, 100000) * pageSize });
    return withItems(std::move(items), Dictionary { { "total", total.intValue() } });
}

Reply RequestContext::commentWeibo()
{
    long long weiboId = paramInt("weiboId");
    if (data_.scalar("SELECT COUNT(*) FROM weibo WHERE weibo_id = ? AND deleted = 0", { weiboId }).intValue() == 0)
        return failure("内容不存在或已删除");
    if (platform::trimWhitespaceAndNewlines(paramText("comment")).empty())
        return failure("评论内容不能为空");
    data_.insert("INSERT INTO weibo_comment (weibo_id, sender_id, comment, date_time) VALUES (?, ?, ?, ?)",
        { weiboId, userId(), paramText("comment"), SchoolData::timeText() });
    return success("评论成功");
}

Array RequestContext::students(const std::string& where, long long key) const
{
    return data_.rows("SELECT s.student_id AS studentId, p.name AS name, "
                      "'{base}static/avatar/' || s.student_id || '.png' AS pic FROM student s "
                      "JOIN person p ON p.person_id = s.student_id WHERE "
            + where + " ORDER BY s.student_id",
        { key });
}

Reply RequestContext::albumList()
{
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

Value RequestContext::queryAsValue() const
{
    Dictionary values;
    for (const auto& [key, value] : request_.query)
        values.set(key, value);
    return Value(std::move(values));
}

Reply RequestContext::timetable()
{
    // Parents and students ask without a class: theirs is the child's, or their own.
    long long classId = paramInt("classId");
    if (classId == 0) {
        long long user = paramInt("userId");
        classId = data_.scalar("SELECT class_id FROM student WHERE student_id = ? OR parent_id = ? "
                               "ORDER BY student_id LIMIT 1",
                           { user, user })
                      .intValue();
    }
    return withItems(data_.rows("SELECT t.sort AS sort, t.period AS period, t.course AS course, "
                                "p.name AS teacherName, "
            + kAvatar
            + " AS teacherPic FROM timetable t LEFT JOIN person p ON p.person_id = t.teacher_id "
              "WHERE t.class_id = ? AND t.week_day = ? ORDER BY t.sort",
        { classId, paramInt("weekDay") }));
}

Reply RequestContext::weiboFeed()
{
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
            Value(data_.rows(
                "SELECT original, thumb FROM weibo_image WHERE weibo_id = ? ORDER BY seq", { dict->get("weiboId") })));
    }
    return withItems(std::move(items));
}

Reply RequestContext::praiseWeibo()
{
    long long weiboId = paramInt("weiboId");
    if (data_.scalar("SELECT COUNT(*) FROM weibo WHERE weibo_id = ? AND deleted = 0", { weiboId }).intValue() == 0)
        return failure("内容不存在或已删除");
    data_.exec("UPDATE weibo SET praise = praise + 1 WHERE weibo_id = ?", { weiboId });
    return success("点赞成功");
}

Reply RequestContext::weiboComments()
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

Reply RequestContext::smsHistory()
{
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

Reply RequestContext::openCtd()
{
    bool stored = data_.transaction([&] {
        return data_.exec("UPDATE account SET ctd_enable = 1 WHERE user_id = ?", { userId() })
            && data_.exec("INSERT OR IGNORE INTO ctd_package VALUES (?, 300, 300)", { userId() });
    });
    return stored ? success("点击拨号业务开通成功") : failure("开通失败，请重试");
}

Reply RequestContext::callBack()
{
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

Reply RequestContext::staticMedia(const std::vector<std::string>& segments)
{
    const std::string& name = segments.back();
    if (segments.size() == 3 && (segments[1] == "avatar" || segments[1] == "img")
        && platform::hasSuffix(name, ".png")) {
        bool thumb = platform::hasSuffix(name, "-thumb.png");
        std::string base = name.substr(0, name.size() - (thumb ? 10 : 4));
        // Thumbnails fill a 50-point box at scale 2, the large picture a
        // phone-wide browser: drawn smaller they look blurred.
        int size = thumb ? kAvatarThumbPixels : kAvatarPixels;
        if (segments[1] == "avatar") {
            long long personId = platform::leadingIntegerOf(base);
            auto person = data_.scalar("SELECT name FROM person WHERE person_id = ?", { personId });
            if (person.isString() && std::to_string(personId) == base)
                return page("image/png", avatarImage("avatar/" + base, avatarMark(person.stringValue()), size));
        }
        if (segments[1] == "img") {
            if (auto drawn = magazinePicture(base, thumb))
                return std::move(*drawn);
        }
        return page("image/png", pngImage(segments[1] + "/" + base, size));
    }
    if (segments.size() == 3 && segments[1] == "audio" && platform::hasSuffix(name, ".amr"))
        return page("audio/amr", amrSilence(2));
    if (segments.size() == 3 && segments[1] == "video" && platform::hasSuffix(name, ".mp4"))
        return libraryVideo(request_, segments).value_or(page("video/mp4", mp4Placeholder()));
    if (segments.size() == 3 && segments[1] == "photos") {
        if (auto photo = photoMedia(name))
            return page(photo->contentType, std::move(photo->body), photo->status);
    }
    return notFound();
}

Reply RequestContext::addressBookFile(const std::string& name)
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

Reply RequestContext::chapterPage(long long postId, long long chapterId)
{
    auto chapter = data_.row("SELECT c.title AS title, c.body AS body FROM magazine_chapter c JOIN "
                             "magazine_directory d ON d.directory_id = c.directory_id "
                             "WHERE d.post_id = ? AND c.chapter_id = ?",
        { postId, chapterId });
    if (!chapter)
        return html("页面不存在", "<p>没有找到这篇文章。</p>", 404);
    return page("text/html; charset=UTF-8",
        magazineChapterDocument(chapterId, chapter->get("title").stringValue(), chapter->get("body").stringValue()));
}

Reply RequestContext::htmlPage(const std::vector<std::string>& segments)
{
    const std::string& name = segments.back();
    if (segments.size() == 2 && name == "growth.html")
        return html("成长助手", "<p>成长套餐 " + platform::htmlEscaped(paramText("saleModalId")) + "：为孩子的成长保驾护航。</p>");
    if (segments.size() == 3 && segments[1] == "activity") {
        auto row
            = data_.row("SELECT title, content FROM hot_activity WHERE id = ?", { platform::leadingIntegerOf(name) });
        if (row)
            return html(platform::htmlEscaped(row->get("title").stringValue()),
                "<p>" + platform::htmlEscaped(row->get("content").stringValue()) + "</p>");
    }
    if (segments.size() == 3 && segments[1] == "ad") {
        auto row = data_.row("SELECT ad_name FROM magazine_ad WHERE ad_id = ?", { platform::leadingIntegerOf(name) });
        if (row)
            return html(platform::htmlEscaped(row->get("ad_name").stringValue()), "<p>详情请咨询学校。</p>");
    }
    if (segments.size() == 3 && segments[1] == "ext") {
        if (auto who = account(platform::leadingIntegerOf(name)))
            return html("我的主页", "<p>" + platform::htmlEscaped(who->get("userName").stringValue()) + "</p>");
    }
    return html("页面不存在", "<p>没有找到这个页面。</p>", 404);
}

} // namespace server
