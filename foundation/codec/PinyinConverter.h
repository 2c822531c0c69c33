#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace foundation {

// Pinyin spelling of Chinese text, for sorting, indexing and searching names.
// Texts are UTF-8 in and out; results are upper-case.
class PinyinConverter final {
public:
    // Each character the table knows becomes its syllable (the alphabetically
    // last one when it has several); characters up to U+00FE stay as they are;
    // everything else is dropped. 张三 gives "ZHANGSAN".
    static std::string quickConvert(std::string_view text);
    // Like quickConvert, but characters without a syllable stay in the text.
    static std::string stringConvert(std::string_view text);
    // Searches the table row by row for the GB 2312 ideographs of the text and
    // takes the first row holding each (the alphabetically first reading);
    // every other character stays as it is.
    static std::string convert(std::string_view text);

    // The process-wide lookup cache: built once on first use, freed by clearCache.
    static void initCache();
    static void clearCache();

    // The table itself, for callers that list or check syllables.
    static std::size_t rowCount();
    static std::string_view syllableAt(std::size_t row);
};

} // namespace foundation
