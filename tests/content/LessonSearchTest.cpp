#include "content/lessons/LessonSearch.h"

#include <gtest/gtest.h>

namespace {

using content::GCLessonInfo;
using content::LessonSearch;

std::shared_ptr<GCLessonInfo> lesson(std::optional<std::string> name, std::optional<std::string> keyword = std::nullopt)
{
    auto made = std::make_shared<GCLessonInfo>();
    made->setName(std::move(name));
    made->setKeyword(std::move(keyword));
    return made;
}

std::vector<std::string> names(const std::vector<std::shared_ptr<GCLessonInfo>>& lessons)
{
    std::vector<std::string> out;
    for (const auto& l : lessons)
        out.push_back(l->name().value_or("<none>"));
    return out;
}

TEST(LessonSearch, SpacesAndTheComposingSpaceAreWildcardsAndCaseAndAccentsDoNotCount)
{
    auto fractions = lesson("分数的初步认识", "fen shu");
    EXPECT_EQ(LessonSearch("fen shuo").pattern(), "fen*shuo");
    EXPECT_TRUE(LessonSearch("fen chu").matches(*fractions)); // FENSHUODICHUBU...
    EXPECT_TRUE(LessonSearch("fen\u2006chu").matches(*fractions));
    EXPECT_TRUE(LessonSearch("FENSHUO").matches(*fractions));
    EXPECT_TRUE(LessonSearch("fēn shū").matches(*fractions));
    EXPECT_TRUE(LessonSearch("初步").matches(*fractions));
    EXPECT_TRUE(LessonSearch("f?n").matches(*fractions));
    EXPECT_FALSE(LessonSearch("chu fen").matches(*fractions));
    EXPECT_FALSE(LessonSearch("乘法").matches(*fractions));
    // A lesson without the field does not match on it.
    EXPECT_FALSE(LessonSearch("fen").matches(*lesson(std::nullopt)));
}

TEST(LessonSearch, QuotesAndBackslashesAreLiteral)
{
    auto quoted = lesson("认识'角'与\"边\"");
    EXPECT_TRUE(LessonSearch("'角'").matches(*quoted));
    EXPECT_TRUE(LessonSearch("\"边\"").matches(*quoted));
    EXPECT_FALSE(LessonSearch("\"角\"").matches(*quoted));
    EXPECT_FALSE(LessonSearch("\\").matches(*quoted));
    EXPECT_TRUE(LessonSearch("a\\b").matches(*lesson("a\\b")));
    EXPECT_FALSE(LessonSearch("') OR (1=1").matches(*quoted));
    EXPECT_FALSE(LessonSearch("[").matches(*quoted));
}

TEST(LessonSearch, KeepsTheMatchesSortedByNamePinyinUnnamedFirst)
{
    std::vector<std::shared_ptr<GCLessonInfo>> all { lesson("乘法口诀", "口诀"), lesson("分数的初步认识", "分数"),
        lesson(std::nullopt, "fen"), lesson("Math Fun 数学游戏", "游戏"), lesson("长方形和正方形") };
    EXPECT_EQ(names(LessonSearch("").filter(all)),
        // 乘 and 长 read SHENG and ZHANG: the converter takes the last reading.
        (std::vector<std::string> { "<none>", "分数的初步认识", "Math Fun 数学游戏", "乘法口诀", "长方形和正方形" }));
    EXPECT_EQ(names(LessonSearch("fen").filter(all)), (std::vector<std::string> { "<none>", "分数的初步认识" }));
    EXPECT_EQ(names(LessonSearch("kou jue").filter(all)), (std::vector<std::string> { "乘法口诀" }));
    EXPECT_TRUE(LessonSearch("物理").filter(all).empty());
}

} // namespace
