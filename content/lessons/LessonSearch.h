#pragma once

#include "content/lessons/GCModels.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace content {

// The lesson list's search. The text is a wildcard pattern matched anywhere
// in a lesson's name, name pinyin, keyword or keyword pinyin, ignoring case
// and accents: "*" any run of characters, "?" one, and every space (also the
// six-per-em space U+2006 a pinyin keyboard puts between syllables while
// composing) counts as "*". Every other character, quotes and backslashes
// included, stands for itself.
class LessonSearch final {
public:
    explicit LessonSearch(std::string_view text);

    // An empty pattern keeps every lesson.
    bool isEmpty() const { return pattern_.empty(); }
    // The pattern as matched, spaces already turned into "*".
    std::string pattern() const;
    bool matches(const GCLessonInfo& lesson) const;
    bool matchesText(std::string_view field) const;

    // The lessons that match, sorted by name pinyin (lessons without a name first).
    std::vector<std::shared_ptr<GCLessonInfo>> filter(const std::vector<std::shared_ptr<GCLessonInfo>>& lessons) const;

private:
    std::u32string pattern_;
};

} // namespace content
