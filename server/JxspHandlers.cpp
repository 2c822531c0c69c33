// The video library of "combine/jxsp".
#include "server/ResponderContext.h"

namespace server {

int RequestContext::defaultGrade() const
{
    auto grade = data_.scalar("SELECT MIN(grade_bank) FROM class WHERE class_id IN (SELECT class_id FROM "
                              "teacher_class WHERE teacher_id = ?1 UNION SELECT class_id FROM student "
                              "WHERE parent_id = ?1 OR student_id = ?1)",
        { userId() });
    return grade.isNull() ? 1 : grade.intValue();
}

Array RequestContext::videos(const std::string& where, const Array& args, int limit, int offset) const
{
    Array all = args;
    all.push_back(limit);
    all.push_back(offset);
    return data_.rows(
        "SELECT " + kVideoColumns + " FROM video v WHERE " + where + " ORDER BY v.video_id LIMIT ? OFFSET ?", all);
}

Reply RequestContext::videoGrades()
{
    return withItems(data_.rows("SELECT grade_bank AS gradeBank, grade_name AS gradeName FROM grade "
                                "ORDER BY grade_bank"));
}

Reply RequestContext::videoHome()
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
            Value(videos(
                "v.grade_bank = ? AND v.subject_id = ? AND v.source = 1", { grade, entry.get("subjectId") }, 4, 0)));
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

int RequestContext::pageOffset(int pageSize) const
{
    long long pageNumber = std::max<long long>(1, bodyInt("page"));
    return static_cast<int>(std::min<long long>(pageNumber - 1, 100000) * pageSize);
}

Reply RequestContext::videosBySubject()
{
    Dictionary reply = envelope(1, "");
    reply.set("videoItems",
        Value(videos("v.grade_bank = ? AND v.subject_id = ? AND v.source = 1",
            { bodyInt("gradeBank"), bodyInt("subjectId") }, 10, pageOffset(10))));
    return jsonReply(Value(std::move(reply)));
}

Reply RequestContext::videosBySource()
{
    Dictionary reply = envelope(1, "");
    reply.set("videoItems", Value(videos("v.source = ?", { bodyInt("source") }, 10, pageOffset(10))));
    return jsonReply(Value(std::move(reply)));
}

Array RequestContext::videoCommentPage(long long videoId, int offset) const
{
    return data_.rows("SELECT " + kVideoCommentColumns
            + " FROM video_comment WHERE video_id = ? ORDER BY comment_id DESC LIMIT 10 OFFSET ?",
        { videoId, offset });
}

Reply RequestContext::videoDetail()
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

Reply RequestContext::videoSources()
{
    return withItems(Array { Value(Dictionary { { "source", 1 }, { "sourceName", "同步课堂" } }),
        Value(Dictionary { { "source", 2 }, { "sourceName", "名师推荐" } }) });
}

Reply RequestContext::addVideoComment()
{
    long long videoId = bodyInt("videoId");
    if (data_.scalar("SELECT COUNT(*) FROM video WHERE video_id = ?", { videoId }).intValue() == 0)
        return failure("视频不存在");
    if (platform::trimWhitespaceAndNewlines(bodyText("content")).empty())
        return failure("评论内容不能为空");
    long long score = std::clamp<long long>(bodyInt("score"), 0, 5);
    long long commentId = data_.insert("INSERT INTO video_comment (video_id, user_id, user_name, user_type, content, "
                                       "score, comment_time) VALUES (?, ?, ?, ?, ?, ?, ?)",
        { videoId, userId(), user_->get("userName"), userType(), bodyText("content"), score, SchoolData::timeText() });
    if (commentId == 0)
        return failure("评论发表失败");
    Dictionary reply = envelope(1, "评论发表成功");
    reply.set("commentId", commentId);
    return jsonReply(Value(std::move(reply)));
}

Reply RequestContext::videoComments()
{
    Dictionary reply = envelope(1, "");
    reply.set("commentItems", Value(videoCommentPage(bodyInt("videoId"), pageOffset(10))));
    return jsonReply(Value(std::move(reply)));
}

} // namespace server
