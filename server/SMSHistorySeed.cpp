#include "server/MessagingSeed.h"

#include "server/SchoolData.h"

#include "platform/os/Log.h"

#include <iterator>
#include <string>

namespace server {

namespace {

    constexpr double kHour = 3600;

    struct Sender {
        int id;
        const char* name;
    };
    const Sender kSenders[] = {
        { 3001, "张伟" }, { 3002, "王芳" }, { 6003, "刘建华" }, { 6004, "陈丽" }, { 6005, "杨帆" },
        { 6006, "赵强" }, { 6007, "黄敏" },
    };
    const char* const kTexts[] = {
        "孩子今天的作业已经检查过了，请老师放心。",
        "请问明天的手工课需要带什么材料？",
        "孩子这两天有点咳嗽，麻烦老师多留意。",
        "周末的亲子阅读任务我们完成了，谢谢老师推荐的书。",
        "明天早上我们会晚到十分钟，特此说明。",
        "请问期中考试的具体时间定了吗？",
    };

} // namespace

bool seedSmsHistory(SchoolData& data)
{
    // 42 more received SMS, one every 17 hours back from now: with the three
    // of the first seed, 45 in all, three pages of 15.
    for (int i = 0; i < 42; ++i) {
        const Sender& sender = kSenders[i % std::size(kSenders)];
        const std::string text = std::string(kTexts[i % std::size(kTexts)]);
        if (!data.exec("INSERT INTO sms_history VALUES (?, 2001, 2, ?, ?, ?, ?)",
                { "S" + std::to_string(7201 + i), sender.id, sender.name, text,
                    SchoolData::timeText(-(i + 1) * 17 * kHour) })) {
            platform::log("standin: seeding the SMS history failed\n");
            return false;
        }
    }
    return true;
}

} // namespace server
