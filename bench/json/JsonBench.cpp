// Parse and write throughput of reply-shaped documents through our codec and
// through nlohmann-json on the same bytes. Read the two as a ratio.
#include "foundation/json/JsonParser.h"
#include "foundation/json/JsonWriter.h"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace {

// Deterministic filler so every run measures the same bytes.
class Filler {
public:
    std::uint32_t next()
    {
        state_ = state_ * 1664525u + 1013904223u;
        return state_ >> 8;
    }
    template <std::size_t N> const char* pick(const char* const (&items)[N]) { return items[next() % N]; }

private:
    std::uint32_t state_ = 12345;
};

const char* const kSurnames[] = { "张", "王", "李", "赵", "刘", "陈", "杨", "黄", "周", "吴", "欧阳" };
const char* const kGiven[] = { "伟", "芳", "娜", "敏", "静", "丽", "强", "磊", "军", "洋", "子涵", "欣怡" };
const char* const kClasses[] = { "一年级一班", "二年级三班", "三年级二班", "四年级五班", "六年级一班" };
const char* const kSentences[] = { "各位家长好，明天上午八点在学校操场举行运动会，请孩子穿运动服。",
    "今天的数学作业是练习册第十二页到第十四页，请家长签字。", "本周五下午家长会改到三楼会议室，请准时参加。",
    "孩子今天在课堂上表现很好，积极回答问题！👍", "请于本周内缴纳午餐费，谢谢配合。",
    "Reminder: library books are due on Monday.", "期中考试成绩已发布，请登录查看。\n如有疑问请联系班主任。" };

std::string escapeJson(const std::string& s)
{
    std::string out;
    for (char c : s) {
        if (c == '\n')
            out += "\\n";
        else if (c == '"')
            out += "\\\"";
        else
            out += c;
    }
    return out;
}

std::string addressBook(std::size_t targetBytes)
{
    Filler f;
    std::string s = R"({"result":0,"msg":"成功","data":{"version":20240611,"contacts":[)";
    for (int i = 0; s.size() < targetBytes; ++i) {
        if (i)
            s += ',';
        std::string name = std::string(f.pick(kSurnames)) + f.pick(kGiven);
        s += R"({"userId":)" + std::to_string(100000 + i) + R"(,"name":")" + name + R"(","pinyin":"zhang wei",)"
            + R"("mobile":"13)" + std::to_string(100000000 + f.next() % 899999999) + R"(","classId":)"
            + std::to_string(f.next() % 40) + R"(,"className":")" + f.pick(kClasses) + R"(","role":)"
            + std::to_string(f.next() % 3) + R"(,"avatar":"http:\/\/127.0.0.1:8090\/avatar\/)" + std::to_string(i)
            + R"(.jpg","groups":[)" + std::to_string(f.next() % 100) + "," + std::to_string(f.next() % 100)
            + R"(],"isTeacher":)" + (f.next() % 5 == 0 ? "true" : "false") + R"(,"remark":null})";
    }
    s += "]}}";
    return s;
}

std::string messageList(std::size_t targetBytes)
{
    Filler f;
    std::string s = R"({"result":0,"msg":"成功","data":{"total":)" + std::to_string(targetBytes / 400) + R"(,"list":[)";
    for (int i = 0; s.size() < targetBytes; ++i) {
        if (i)
            s += ',';
        s += R"({"msgId":)" + std::to_string(7000000000LL + i) + R"(,"senderId":)" + std::to_string(f.next() % 5000)
            + R"(,"senderName":")" + f.pick(kSurnames) + f.pick(kGiven) + R"(老师","title":"通知 )" + std::to_string(i)
            + R"(","content":")" + escapeJson(f.pick(kSentences)) + escapeJson(f.pick(kSentences))
            + R"(","sendTime":"2024-06-11 08:)" + std::to_string(10 + f.next() % 50) + R"(:00","type":)"
            + std::to_string(f.next() % 6) + R"(,"score":)" + std::to_string(f.next() % 100) + "."
            + std::to_string(f.next() % 10) + R"(,"read":)" + (f.next() % 2 ? "true" : "false")
            + R"(,"photos":[{"url":"http:\/\/127.0.0.1:8090\/p\/)" + std::to_string(i)
            + R"(.jpg","w":640,"h":480}],"voice":null})";
    }
    s += "]}}";
    return s;
}

const std::string& document(int which)
{
    static const std::vector<std::string> docs = { addressBook(1 << 20), messageList(1 << 20), messageList(20 * 1024) };
    return docs[static_cast<std::size_t>(which)];
}

const char* const kNames[] = { "address book 1 MB", "message list 1 MB", "message box 20 KB" };

void ParseOurs(benchmark::State& state)
{
    const std::string& doc = document(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        foundation::JsonParser parser;
        platform::Value v = parser.objectWithString(doc);
        if (v.isNull())
            state.SkipWithError(parser.error().c_str());
        benchmark::DoNotOptimize(v);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * doc.size()));
    state.SetLabel(kNames[state.range(0)]);
}

void ParseNlohmann(benchmark::State& state)
{
    const std::string& doc = document(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        nlohmann::ordered_json v = nlohmann::ordered_json::parse(doc);
        benchmark::DoNotOptimize(v);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * doc.size()));
    state.SetLabel(kNames[state.range(0)]);
}

void WriteOurs(benchmark::State& state)
{
    const std::string& doc = document(static_cast<int>(state.range(0)));
    foundation::JsonParser parser;
    platform::Value v = parser.objectWithString(doc);
    std::size_t bytes = 0;
    for (auto _ : state) {
        foundation::JsonWriter writer;
        auto text = writer.stringWithObject(v);
        if (!text)
            state.SkipWithError(writer.error().c_str());
        else
            bytes = text->size();
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
    state.SetLabel(kNames[state.range(0)]);
}

void WriteNlohmann(benchmark::State& state)
{
    const std::string& doc = document(static_cast<int>(state.range(0)));
    nlohmann::ordered_json v = nlohmann::ordered_json::parse(doc);
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string text = v.dump();
        bytes = text.size();
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
    state.SetLabel(kNames[state.range(0)]);
}

BENCHMARK(ParseOurs)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK(ParseNlohmann)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK(WriteOurs)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK(WriteNlohmann)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
