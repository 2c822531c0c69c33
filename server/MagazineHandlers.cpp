// The e-magazine of "combine/magazine": issue list, tables of contents, reading counts.
#include "server/ResponderContext.h"

namespace server {

Reply RequestContext::magazines()
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
        : data_.rows(
            "SELECT " + columns + " FROM magazine m WHERE m.changed_at > ? ORDER BY m.post_id", { userId(), since });
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

Reply RequestContext::magazineIssue()
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

Reply RequestContext::magazineOpened()
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

} // namespace server
