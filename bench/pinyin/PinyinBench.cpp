// Converts and sorts an address book of 10,000 Chinese names by pinyin, the
// work the contact list does each time it is stored.
#include "foundation/codec/PinyinConverter.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

using namespace foundation;

namespace {

constexpr std::size_t kNames = 10000;

std::vector<std::string> splitCharacters(const std::string& text)
{
    std::vector<std::string> out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        out.push_back(text.substr(i, length));
        i += length;
    }
    return out;
}

// Names of one or two given characters after a common surname, the same every run.
std::vector<std::string> makeNames()
{
    const auto surnames = splitCharacters(
        "王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗郑梁谢宋唐许韩冯邓曹彭曾肖田董袁潘于蒋蔡余杜叶程苏魏吕丁任沈姚卢姜崔钟"
        "谭陆汪范金石廖贾夏韦付方白邹孟熊秦邱江尹薛闫段雷侯龙史陶黎贺顾毛郝龚邵万钱严覃武戴莫孔向汤");
    const auto given = splitCharacters("伟芳娜秀英敏静丽强磊军洋勇艳杰娟涛明超秀兰霞平刚桂英华玉萍红娥玲芬燕彬鹏辉建国"
                                       "志文斌宇浩然子涵梓轩欣怡雨萱思远嘉乐佳琪俊熙");
    std::mt19937 rng(2024);
    std::vector<std::string> names;
    names.reserve(kNames);
    for (std::size_t i = 0; i < kNames; ++i) {
        std::string name = surnames[rng() % surnames.size()] + given[rng() % given.size()];
        if (rng() % 3)
            name += given[rng() % given.size()];
        names.push_back(std::move(name));
    }
    return names;
}

void BM_ConvertAndSortNames(benchmark::State& state)
{
    const auto names = makeNames();
    PinyinConverter::initCache();
    for (auto _ : state) {
        std::vector<std::pair<std::string, const std::string*>> keyed;
        keyed.reserve(names.size());
        for (const auto& name : names)
            keyed.emplace_back(PinyinConverter::quickConvert(name), &name);
        std::sort(keyed.begin(), keyed.end());
        benchmark::DoNotOptimize(keyed.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * names.size()));
    state.SetLabel("items/s = names per second");
}
BENCHMARK(BM_ConvertAndSortNames)->Unit(benchmark::kMillisecond);

void BM_ConvertOnlyQuick(benchmark::State& state)
{
    const auto names = makeNames();
    PinyinConverter::initCache();
    for (auto _ : state) {
        for (const auto& name : names)
            benchmark::DoNotOptimize(PinyinConverter::quickConvert(name));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * names.size()));
}
BENCHMARK(BM_ConvertOnlyQuick)->Unit(benchmark::kMillisecond);

// The row-by-row search, for comparison with the cached lookup.
void BM_ConvertOnlyRowSearch(benchmark::State& state)
{
    const auto names = makeNames();
    for (auto _ : state) {
        for (std::size_t i = 0; i < 1000; ++i)
            benchmark::DoNotOptimize(PinyinConverter::convert(names[i]));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * 1000));
}
BENCHMARK(BM_ConvertOnlyRowSearch)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
