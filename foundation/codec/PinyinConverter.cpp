#include "foundation/codec/PinyinConverter.h"

#include "foundation/codec/PinyinTable.h"

#include <algorithm>
#include <cstdint>
#include <iconv.h>
#include <locale.h>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>
#include <wctype.h>

namespace foundation {

namespace {

    constexpr char32_t kReplacement = 0xFFFD;
    constexpr char32_t kKeptLimit = 254; // quickConvert keeps codes up to here as they are

    // The lookup cache: for every code between the smallest and the largest
    // character of the table, the last row that holds it (or kNoRow).
    struct PinyinCache {
        static constexpr std::int16_t kNoRow = -1;
        char32_t minCode = 0;
        char32_t maxCode = 0;
        std::vector<std::int16_t> rows;

        std::int16_t rowOf(char32_t code) const
        {
            if (code < minCode || code > maxCode)
                return kNoRow;
            return rows[code - minCode];
        }
    };

    std::mutex cacheMutex;
    std::shared_ptr<const PinyinCache> cache;

    std::shared_ptr<const PinyinCache> buildCache()
    {
        auto built = std::make_shared<PinyinCache>();
        char32_t minCode = 0xFFFF;
        char32_t maxCode = 0;
        for (std::size_t row = 0; row < kPinyinTableSize; ++row) {
            for (const char16_t* p = kPinyinTable[row].characters; *p; ++p) {
                minCode = std::min<char32_t>(minCode, *p);
                maxCode = std::max<char32_t>(maxCode, *p);
            }
        }
        if (minCode > maxCode)
            return built;
        built->minCode = minCode;
        built->maxCode = maxCode;
        built->rows.assign(maxCode - minCode + 1, PinyinCache::kNoRow);
        // Later rows overwrite earlier ones, so a character with several readings
        // keeps its alphabetically last row.
        for (std::size_t row = 0; row < kPinyinTableSize; ++row) {
            for (const char16_t* p = kPinyinTable[row].characters; *p; ++p)
                built->rows[*p - minCode] = static_cast<std::int16_t>(row);
        }
        return built;
    }

    std::shared_ptr<const PinyinCache> currentCache()
    {
        std::lock_guard lock(cacheMutex);
        if (!cache)
            cache = buildCache();
        return cache;
    }

    // Decodes one code point; malformed input yields U+FFFD and moves one byte on.
    char32_t nextCodePoint(std::string_view text, std::size_t& pos)
    {
        const auto lead = static_cast<unsigned char>(text[pos]);
        if (lead < 0x80) {
            ++pos;
            return lead;
        }
        int length = 0;
        char32_t code = 0;
        char32_t minimum = 0;
        if ((lead & 0xE0) == 0xC0) {
            length = 2;
            code = lead & 0x1F;
            minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            code = lead & 0x0F;
            minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            code = lead & 0x07;
            minimum = 0x10000;
        } else {
            ++pos;
            return kReplacement;
        }
        if (pos + length > text.size()) {
            ++pos;
            return kReplacement;
        }
        for (int i = 1; i < length; ++i) {
            const auto next = static_cast<unsigned char>(text[pos + i]);
            if ((next & 0xC0) != 0x80) {
                ++pos;
                return kReplacement;
            }
            code = (code << 6) | (next & 0x3F);
        }
        if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            ++pos;
            return kReplacement;
        }
        pos += length;
        return code;
    }

    void appendUtf8(std::string& out, char32_t code)
    {
        if (code < 0x80) {
            out.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (code >> 6)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (code >> 12)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (code >> 18)));
            out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }

    // Upper case of one code point, by the C library's Unicode tables; the
    // program's locale may be "C", so a UTF-8 locale is opened for this alone.
    char32_t upperCase(char32_t code)
    {
        if (code < 0x80)
            return (code >= 'a' && code <= 'z') ? code - 'a' + 'A' : code;
        static const locale_t utf8 = [] {
            locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
            return loc ? loc : newlocale(LC_CTYPE_MASK, "en_US.UTF-8", static_cast<locale_t>(nullptr));
        }();
        if (!utf8)
            return code;
        return static_cast<char32_t>(towupper_l(static_cast<wint_t>(code), utf8));
    }

    void appendUpper(std::string& out, char32_t code)
    {
        if (code == 0xDF) { // ß has no single upper-case letter
            out += "SS";
            return;
        }
        appendUtf8(out, upperCase(code));
    }

    void appendSyllable(std::string& out, std::size_t row)
    {
        for (const char* p = kPinyinTable[row].syllable; *p; ++p)
            out.push_back((*p >= 'a' && *p <= 'z') ? static_cast<char>(*p - 'a' + 'A') : *p);
    }

    std::string convertWithCache(std::string_view text, bool keepUnknown)
    {
        const auto lookup = currentCache();
        std::string out;
        out.reserve(text.size() * 2);
        std::size_t pos = 0;
        while (pos < text.size()) {
            const char32_t code = nextCodePoint(text, pos);
            if (code <= kKeptLimit) {
                appendUpper(out, code);
                continue;
            }
            const std::int16_t row = lookup->rowOf(code);
            if (row != PinyinCache::kNoRow)
                appendSyllable(out, static_cast<std::size_t>(row));
            else if (keepUnknown)
                appendUpper(out, code);
        }
        return out;
    }

    // The GB 18030 bytes of one character, or nothing when it cannot be encoded.
    class Gb18030Encoder final {
    public:
        Gb18030Encoder()
            : cd_(iconv_open("GB18030", "UTF-32LE"))
        {
        }
        ~Gb18030Encoder()
        {
            if (cd_ != reinterpret_cast<iconv_t>(-1))
                iconv_close(cd_);
        }
        Gb18030Encoder(const Gb18030Encoder&) = delete;
        Gb18030Encoder& operator=(const Gb18030Encoder&) = delete;

        std::string encode(char32_t code)
        {
            if (cd_ == reinterpret_cast<iconv_t>(-1))
                return {};
            char in[4] = { static_cast<char>(code & 0xFF), static_cast<char>((code >> 8) & 0xFF),
                static_cast<char>((code >> 16) & 0xFF), static_cast<char>((code >> 24) & 0xFF) };
            char out[8];
            char* inPtr = in;
            char* outPtr = out;
            std::size_t inLeft = sizeof in;
            std::size_t outLeft = sizeof out;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1))
                return {};
            return std::string(out, static_cast<std::size_t>(outPtr - out));
        }

    private:
        iconv_t cd_;
    };

    bool rowHolds(std::size_t row, char32_t code)
    {
        for (const char16_t* p = kPinyinTable[row].characters; *p; ++p) {
            if (*p == code)
                return true;
        }
        return false;
    }

} // namespace

std::string PinyinConverter::quickConvert(std::string_view text) { return convertWithCache(text, false); }

std::string PinyinConverter::stringConvert(std::string_view text)
{
    initCache();
    return convertWithCache(text, true);
}

std::string PinyinConverter::convert(std::string_view text)
{
    if (text.empty())
        return {};
    Gb18030Encoder encoder;
    std::string out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char32_t code = nextCodePoint(text, pos);
        if (code < 0x80) {
            appendUpper(out, code);
            continue;
        }
        const std::string encoded = encoder.encode(code);
        // Only the GB 2312 ideograph area (lead bytes 0xB0 to 0xF7) is searched.
        const auto lead = encoded.empty() ? 0 : static_cast<unsigned char>(encoded[0]);
        bool found = false;
        if (encoded.size() == 2 && lead >= 0xB0 && lead <= 0xF7) {
            for (std::size_t row = 0; row < kPinyinTableSize && !found; ++row) {
                if (rowHolds(row, code)) {
                    appendSyllable(out, row);
                    found = true;
                }
            }
        }
        if (!found)
            appendUpper(out, code);
    }
    return out;
}

void PinyinConverter::initCache() { currentCache(); }

void PinyinConverter::clearCache()
{
    std::lock_guard lock(cacheMutex);
    cache.reset();
}

std::size_t PinyinConverter::rowCount() { return kPinyinTableSize; }

std::string_view PinyinConverter::syllableAt(std::size_t row)
{
    return row < kPinyinTableSize ? std::string_view(kPinyinTable[row].syllable) : std::string_view();
}

} // namespace foundation
