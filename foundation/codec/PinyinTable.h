#pragma once

#include <cstddef>

namespace foundation {

// One syllable of the pinyin table and the characters read with it. The rows
// are in alphabetical order of their syllables; a character with several
// readings stands in several rows.
struct PinyinRow {
    const char* syllable;
    const char16_t* characters;
};

extern const PinyinRow kPinyinTable[];
extern const std::size_t kPinyinTableSize;

} // namespace foundation
