#include "server/LibrarySeed.h"

#include "server/LessonService.h"
#include "server/SchoolData.h"

#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"
#include "platform/os/StringUtil.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace server {

namespace {

    constexpr double kHour = 3600;
    constexpr int kGrade = 3;
    constexpr int kMaths = 2;
    constexpr int kFirstExtraVideo = 2301;
    constexpr int kExtraVideos = 12;
    constexpr int kCommentedVideo = 321;

    const char* const kTopics[] = { "两位数加减法", "认识时间", "长方形和正方形", "分数的初步认识", "万以内的加法",
        "测量", "倍的认识", "多位数乘一位数", "图形的周长", "数字编码", "搭配问题", "期末复习" };

    struct Commenter {
        int userId;
        const char* name;
        int type;
    };
    const Commenter kCommenters[] = { { 3001, "张伟", 2 }, { 3002, "王芳", 2 }, { 2002, "陈静", 1 },
        { 6001, "张小明", 3 }, { 6003, "刘建华", 2 } };
    const char* const kSayings[] = { "讲得很清楚，孩子一遍就听懂了。", "例题很有代表性，谢谢老师。",
        "节奏有点快，建议多看两遍。", "孩子说这节课最有意思。", "配套练习在哪里下载？", "老师的板书很工整。",
        "希望多出一些这样的课。" };

} // namespace

bool seedVideoLibrary(SchoolData& data)
{
    bool ok = true;
    auto run = [&](const std::string& sql, const platform::Array& args) {
        if (ok && !data.exec(sql, args)) {
            platform::log("standin: seeding the video library failed at %s\n", sql.c_str());
            ok = false;
        }
    };
    for (int n = 0; n < kExtraVideos; ++n) {
        int videoId = kFirstExtraVideo + n;
        std::string title = std::string("三年级数学 ") + kTopics[n];
        run("INSERT INTO video VALUES (?, ?, ?, 1, ?, ?, ?, ?, '陈静')",
            { videoId, kGrade, kMaths, title, SchoolData::timeText(-(n + 5) * 24 * kHour),
                title + "：知识点讲解、例题和课堂练习。", 40 + n * 13 });
    }
    // 23 comments: two full pages of ten and three on the third.
    for (int i = 0; i < 23; ++i) {
        const auto& who = kCommenters[i % std::size(kCommenters)];
        run("INSERT INTO video_comment (video_id, user_id, user_name, user_type, content, score, comment_time) "
            "VALUES (?, ?, ?, ?, ?, ?, ?)",
            { kCommentedVideo, who.userId, who.name, who.type,
                std::string(kSayings[i % std::size(kSayings)]) + "（第" + std::to_string(i + 1) + "条）", 1 + i % 5,
                SchoolData::timeText(-(23 - i) * kHour) });
    }
    return ok;
}

std::optional<Reply> libraryVideo(const IncomingRequest& request, const std::vector<std::string>& segments)
{
    if (segments.size() != 3 || segments[0] != "static" || segments[1] != "video"
        || !platform::hasSuffix(segments[2], ".mp4"))
        return std::nullopt;
    std::ifstream in(platform::FileUtil::joinPath(lessonMediaDirectory(), "clip.mp4"), std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    Reply reply;
    reply.contentType = "video/mp4";
    reply.body = bytes.str();
    reply.headers.emplace_back("Accept-Ranges", "bytes");
    // The HTTP layer cuts the asked range from the whole file.
    for (const auto& header : request.headers) {
        if (platform::equalsIgnoringAsciiCase(header.first, "Range"))
            reply.status = 206;
    }
    return reply;
}

} // namespace server
