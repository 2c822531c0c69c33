#include "content/lessons/LessonSearch.h"

#include "platform/os/StringUtil.h"

#include <algorithm>

namespace content {

namespace {

    constexpr char32_t kSixPerEmSpace = 0x2006;

    // Latin letters with accents become their plain letter (the pinyin tone
    // marks included); everything is compared in lower case.
    char32_t fold(char32_t c)
    {
        static const std::u32string accented = U"àáâãäåāăǎèéêëēĕěìíîïīĭǐòóôõöōŏǒùúûüūŭǔǖǘǚǜçñńňýÿ"
                                               U"ÀÁÂÃÄÅĀĂǍÈÉÊËĒĔĚÌÍÎÏĪĬǏÒÓÔÕÖŌŎǑÙÚÛÜŪŬǓǕǗǙǛÇÑŃŇÝŸ";
        static const std::u32string plain = U"aaaaaaaaaeeeeeeeiiiiiiioooooooouuuuuuuuuuucnnnyy"
                                            U"aaaaaaaaaeeeeeeeiiiiiiioooooooouuuuuuuuuuucnnnyy";
        if (c < 0x80)
            return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
        auto at = accented.find(c);
        if (at != std::u32string::npos)
            return plain[at];
        auto lower = platform::codePoints(platform::toLower(platform::utf8FromCodePoint(c)));
        return lower.size() == 1 ? lower[0] : c;
    }

    std::u32string folded(std::string_view text)
    {
        std::u32string out = platform::codePoints(text);
        for (auto& c : out)
            c = fold(c);
        return out;
    }

    // Wildcard match of the whole text, iterative with one backtrack point.
    bool wildcard(const std::u32string& pattern, const std::u32string& text)
    {
        std::size_t p = 0, t = 0, star = std::u32string::npos, mark = 0;
        while (t < text.size()) {
            if (p < pattern.size() && (pattern[p] == U'?' || (pattern[p] != U'*' && pattern[p] == text[t]))) {
                ++p;
                ++t;
            } else if (p < pattern.size() && pattern[p] == U'*') {
                star = p++;
                mark = t;
            } else if (star != std::u32string::npos) {
                p = star + 1;
                t = ++mark;
            } else {
                return false;
            }
        }
        while (p < pattern.size() && pattern[p] == U'*')
            ++p;
        return p == pattern.size();
    }

} // namespace

LessonSearch::LessonSearch(std::string_view text)
{
    for (char32_t c : platform::codePoints(text))
        pattern_.push_back(c == kSixPerEmSpace || c == U' ' ? U'*' : fold(c));
}

std::string LessonSearch::pattern() const
{
    std::string out;
    for (char32_t c : pattern_)
        out += platform::utf8FromCodePoint(c);
    return out;
}

bool LessonSearch::matchesText(std::string_view field) const { return wildcard(U"*" + pattern_ + U"*", folded(field)); }

bool LessonSearch::matches(const GCLessonInfo& lesson) const
{
    for (const auto* field : { &lesson.name(), &lesson.namePy(), &lesson.keyword(), &lesson.keywordPy() }) {
        if (*field && matchesText(**field))
            return true;
    }
    return false;
}

std::vector<std::shared_ptr<GCLessonInfo>> LessonSearch::filter(
    const std::vector<std::shared_ptr<GCLessonInfo>>& lessons) const
{
    std::vector<std::shared_ptr<GCLessonInfo>> kept;
    for (const auto& lesson : lessons) {
        if (lesson && (isEmpty() || matches(*lesson)))
            kept.push_back(lesson);
    }
    std::stable_sort(kept.begin(), kept.end(), [](const auto& a, const auto& b) {
        if (!a->namePy() || !b->namePy())
            return !a->namePy() && b->namePy();
        return *a->namePy() < *b->namePy();
    });
    return kept;
}

} // namespace content
