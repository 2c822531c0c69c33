// The class tools of "combine/html5": class circle, albums, homework, comments, activities.
#include "server/ResponderContext.h"

namespace server {

Reply RequestContext::navigationMessages()
{
    // The notices of the signed-in person's role, newer than what the phone has seen.
    auto items = data_.rows("SELECT event_type AS eventType, content, count, date_time AS dateTime "
                            "FROM nav_message WHERE account_type = ? AND date_time > ? ORDER BY date_time DESC",
        { userType(), bodyText("updateTime") });
    // The older message-box builder sends no "userName" and reads a bare
    // list; the dispatcher's command carries it and reads an envelope.
    if (!request_.body["userName"].isString())
        return jsonReply(Value(std::move(items)));
    return withItems(std::move(items));
}

Reply RequestContext::postWeibo()
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

Reply RequestContext::deleteWeibo()
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

Reply RequestContext::newWeiboCount()
{
    Dictionary reply = envelope(1, "");
    reply.set("total",
        data_
            .scalar("SELECT COUNT(*) FROM weibo WHERE school_id = ? AND deleted = 0 AND weibo_id > ?",
                { schoolId(), bodyInt("weiboId") })
            .intValue());
    return jsonReply(Value(std::move(reply)));
}

bool RequestContext::addAlbumPhotos(long long albumId, const std::string& photos)
{
    for (const auto& url : splitList(photos)) {
        if (!data_.exec("INSERT INTO album_photo (album_id, url, created) VALUES (?, ?, ?)",
                { albumId, url, SchoolData::timeText() }))
            return false;
    }
    return true;
}

Reply RequestContext::createAlbum()
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

Reply RequestContext::addPhotos()
{
    long long albumId = bodyInt("albumId");
    if (data_.scalar("SELECT COUNT(*) FROM album WHERE album_id = ?", { albumId }).intValue() == 0)
        return failure("相册不存在");
    if (!data_.transaction([&] { return addAlbumPhotos(albumId, bodyText("photos")); }))
        return failure("照片上传失败");
    return success("照片上传成功");
}

Reply RequestContext::subjects()
{
    return withItems(data_.rows("SELECT subject_id AS subjectId, name AS subjectName FROM subject "
                                "WHERE school_id = ? ORDER BY subject_id",
        { schoolId() }));
}

Reply RequestContext::commentOrGrowth()
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

Reply RequestContext::hotActivities()
{
    return withItems(data_.rows("SELECT id, area_id AS areaId, town_id AS townId, title, content, "
                                "create_time AS createTime, '{base}html/activity/' || id || '.html' AS htmlUrl "
                                "FROM hot_activity ORDER BY create_time DESC"));
}

} // namespace server
