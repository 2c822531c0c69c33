#include "server/LessonSeed.h"

#include "server/LessonService.h"

namespace server::lessons {

using platform::Array;
using platform::Dictionary;
using platform::Value;

namespace {

    Value lector(int uid, int sid, const char* name, const char* intro)
    {
        return Value(Dictionary { { "uid", uid }, { "sid", sid }, { "name", name }, { "intro", intro },
            { "avatar", std::string("{base}lessons/img/lector-") + std::to_string(uid) + ".png" },
            { "allow_answer", 1 }, { "type", 2 } });
    }

    Value video(
        int uid, const char* name, int minutes, int views, int isFree, int isLock, const char* src, const Value& by)
    {
        Dictionary d { { "uid", uid }, { "name", name }, { "minutes", minutes }, { "views", views },
            { "is_free", isFree }, { "is_lock", isLock },
            { "preview", std::string("{base}lessons/img/video-") + std::to_string(uid) + ".png" }, { "lector", by } };
        // The service counts the plays of a video by the address its movie is fetched from.
        d.set("src", src ? Value(std::string(src) + "?video=" + std::to_string(uid)) : Value(std::string()));
        return Value(std::move(d));
    }

    const char* kMp4 = "{base}lessons/media/clip.mp4";
    const char* kHls = "{base}lessons/media/hls/index.m3u8";

} // namespace

const Value& users()
{
    static const Value made = [] {
        return Value(Array { Value(Dictionary { { "uid", 9 }, { "sid", LessonServiceKeys::kPortalSid },
            { "name", "成长课堂家长" }, { "intro", "" }, { "avatar", "{base}lessons/img/portal-user.png" },
            { "allow_answer", 0 }, { "type", 1 }, { "account", LessonServiceKeys::kPortalAccount },
            { "verify_state", 1 }, { "verify_message", "" }, { "access_token", LessonServiceKeys::kPortalAccessToken },
            { "message_unread_count", 2 } }) });
    }();
    return made;
}

const Value& subjects()
{
    static const Value made = [] {
        auto subject = [](int uid, const char* sid, const char* name, int type) {
            return Value(Dictionary { { "uid", uid }, { "sid", sid }, { "name", name },
                { "icon", std::string("{base}lessons/img/subject-") + sid + ".png" }, { "type", type } });
        };
        return Value(Array { subject(1, "s1", "数学", 2), subject(2, "s2", "语文", 3), subject(3, "s3", "英语", 6),
            subject(4, "s4", "物理", 1), subject(5, "s5", "化学", 4) });
    }();
    return made;
}

const Value& lessons()
{
    static const Value made = [] {
        Value li = lector(21, 0, "李明华", "小学数学高级教师，从教二十年，擅长用生活中的例子讲清楚数学道理。");
        Value zhou = lector(22, 0, "周晓雯", "英语教研组长，主持多项口语教学课题。");
        auto lesson
            = [](int uid, const char* subject, const char* name, const char* keyword, const char* intro, Array videos) {
                  Dictionary d { { "uid", uid }, { "subject_sid", subject }, { "name", name },
                      { "video_count", static_cast<int>(videos.size()) }, { "intro", intro } };
                  if (keyword)
                      d.set("keyword", keyword);
                  d.set("videos", Value(std::move(videos)));
                  return Value(std::move(d));
              };
        return Value(Array {
            lesson(101, "s1", "分数的初步认识", "分数 三年级",
                "通过分蛋糕、折纸等活动认识几分之一和几分之几，会读写简单的分数，能比较同分母分数的大小。"
                "课程共五个课件，前两个可免费观看，其余课件开通包月后即可学习。每个课件后都有练习，"
                "帮助孩子巩固所学内容。建议家长陪同孩子一起观看，并在生活中多举分数的例子。",
                Array { video(1001, "认识几分之一", 12, 1532, 1, 0, kMp4, li),
                    video(1002, "几分之几（分段播放）", 15, 987, 1, 0, kHls, li),
                    video(1003, "分数的大小比较", 14, 640, 0, 1, kMp4, li),
                    video(1004, "分数的简单计算", 16, 402, 1, 1, kMp4, li),
                    video(1005, "单元练习讲评", 10, 215, 1, 0, nullptr, li) }),
            lesson(102, "s1", "乘法口诀", "口诀 二年级", "从2的乘法口诀学到9的乘法口诀。",
                Array { video(1011, "2的乘法口诀", 8, 2210, 1, 0, kMp4, li) }),
            lesson(103, "s1", "长方形和正方形", "图形 周长", "认识长方形和正方形的特征，学会计算周长。", Array {}),
            lesson(104, "s1", "Math Fun 数学游戏", "游戏", "在游戏中练习口算。",
                Array { video(1041, "24点游戏", 9, 3120, 0, 0, kMp4, li) }),
            lesson(105, "s1", "认识'角'与\"边\"", nullptr, "", Array {}),
            lesson(201, "s2", "古诗两首", "古诗 背诵", "《静夜思》《春晓》的朗读与理解。",
                Array {
                    video(2011, "静夜思", 7, 1800, 1, 0, kMp4, zhou), video(2012, "春晓", 7, 1500, 0, 1, kMp4, zhou) }),
            lesson(202, "s2", "看图写话", "写话", "", Array {}),
            lesson(301, "s3", "Hello 字母歌", "ABC", "跟着儿歌认识26个字母。",
                Array { video(3011, "字母歌", 5, 4100, 1, 0, kHls, zhou) }),
        });
    }();
    return made;
}

const Value& liveVideos()
{
    static const Value made = [] {
        Value li = lector(21, 0, "李明华",
            "小学数学高级教师，从教二十年，擅长用生活中的例子讲清楚数学道理。曾获市级优秀教师称号，"
            "主讲的思维训练课深受学生和家长欢迎。每周二、四晚七点准时开讲，欢迎同学们准时收看，"
            "课后可在直播列表中回看已经结束的课程。");
        Value zhou = lector(22, 0, "周晓雯", "英语教研组长。");
        auto item = [](int uid, int order, const char* name, int state, const char* start, const char* src) {
            Dictionary d { { "uid", uid }, { "order", order }, { "name", name }, { "state", state }, { "intro", "" } };
            if (start)
                d.set("start_time", start);
            if (src)
                d.set("src", src);
            return Value(std::move(d));
        };
        auto series = [](int uid, const char* name, const Value* by, Value top, Array items) {
            Dictionary d { { "uid", uid }, { "name", name }, { "intro", "" },
                { "image", std::string("{base}lessons/img/live-") + std::to_string(uid) + ".png" },
                { "link", std::string("{base}lessons/site/live/") + std::to_string(uid) } };
            if (by)
                d.set("lector", *by);
            if (!top.isNull())
                d.set("top", std::move(top));
            d.set("items", Value(std::move(items)));
            return Value(std::move(d));
        };
        return Value(Array {
            series(501, "小学数学思维直播课", &li, item(5012, 2, "鸡兔同笼", 2, "2026-12-07 19:00:00", kHls),
                Array { item(5011, 1, "找规律", 3, "2026-11-30 19:00:00", kMp4),
                    item(5012, 2, "鸡兔同笼", 2, "2026-12-07 19:00:00", kHls),
                    item(5013, 3, "植树问题", 1, "2026-12-14 19:00:00", nullptr) }),
            series(
                502, "初中英语口语直播", &zhou, item(5021, 1, "自我介绍", 1, "2026-12-20 20:00:00", nullptr), Array {}),
            series(503, "家庭教育公开课", nullptr, item(5031, 1, "如何陪孩子写作业", 3, "2026-11-01 20:00:00", kMp4),
                Array { item(5031, 1, "如何陪孩子写作业", 3, "2026-11-01 20:00:00", kMp4),
                    item(5032, 2, "和孩子一起读书", 4, nullptr, nullptr) }),
        });
    }();
    return made;
}

} // namespace server::lessons
