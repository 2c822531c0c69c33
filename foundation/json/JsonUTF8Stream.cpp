#include "foundation/json/JsonUTF8Stream.h"

#include <cstring>

namespace foundation {

namespace {

    // Bytes that end a plain run inside a string: controls, '"' and '\'.
    struct FragmentStops {
        bool stop[256] {};
        constexpr FragmentStops()
        {
            for (int i = 0; i < 0x20; ++i)
                stop[i] = true;
            stop[static_cast<unsigned char>('"')] = true;
            stop[static_cast<unsigned char>('\\')] = true;
        }
    };
    constexpr FragmentStops kFragmentStops;

} // namespace

JsonUTF8Stream::JsonUTF8Stream()
{
    data_.reserve(4096);
    bytes_ = data_.data();
}

void JsonUTF8Stream::appendData(const std::uint8_t* bytes, std::size_t length)
{
    retainRemaining();
    if (index_ > 0) {
        if (index_ >= data_.size())
            data_.clear();
        else
            data_.erase(data_.begin(), data_.begin() + static_cast<std::ptrdiff_t>(index_));
        index_ = 0;
    }
    if (data_.empty() && length > 0) {
        bytes_ = bytes;
        length_ = length;
        borrowed_ = true;
        return;
    }
    if (length > 0)
        data_.insert(data_.end(), bytes, bytes + length);
    bytes_ = data_.data();
    length_ = data_.size();
}

void JsonUTF8Stream::retainRemaining()
{
    if (!borrowed_)
        return;
    data_.clear();
    if (index_ < length_)
        data_.assign(bytes_ + index_, bytes_ + length_);
    index_ = 0;
    bytes_ = data_.data();
    length_ = data_.size();
    borrowed_ = false;
}

bool JsonUTF8Stream::getNextUnichar(std::uint8_t* ch)
{
    if (index_ < length_)
        ++index_;
    return getUnichar(ch);
}

bool JsonUTF8Stream::getStringFragment(std::string_view* fragment)
{
    const std::uint8_t* p = bytes_;
    for (std::size_t i = index_; i < length_; ++i) {
        if (kFragmentStops.stop[p[i]]) {
            *fragment = std::string_view(reinterpret_cast<const char*>(p + index_), i - index_);
            index_ = i;
            return true;
        }
    }
    return false;
}

bool JsonUTF8Stream::skipCharacters(const char* chars, std::size_t length)
{
    if (!haveRemainingCharacters(length) || std::memcmp(bytes_ + index_, chars, length) != 0)
        return false;
    index_ += length;
    return true;
}

std::string JsonUTF8Stream::stringWithRange(std::size_t start, std::size_t length) const
{
    if (start > length_ || length_ - start < length || !isValidUTF8(bytes_ + start, length))
        return {};
    return std::string(reinterpret_cast<const char*>(bytes_ + start), length);
}

std::size_t JsonUTF8Stream::validSequenceLength(const std::uint8_t* s, std::size_t length)
{
    if (length == 0)
        return 0;
    std::uint8_t b0 = s[0];
    if (b0 < 0x80)
        return 1;
    auto cont = [&](std::size_t i) { return i < length && (s[i] & 0xC0) == 0x80; };
    if (b0 >= 0xC2 && b0 <= 0xDF)
        return cont(1) ? 2 : 0;
    if (b0 >= 0xE0 && b0 <= 0xEF) {
        if (length < 2)
            return 0;
        std::uint8_t b1 = s[1];
        // E0 needs A0.. (no overlong), ED needs ..9F (no surrogates).
        if ((b0 == 0xE0 && b1 < 0xA0) || (b0 == 0xED && b1 > 0x9F))
            return 0;
        return cont(1) && cont(2) ? 3 : 0;
    }
    if (b0 >= 0xF0 && b0 <= 0xF4) {
        if (length < 2)
            return 0;
        std::uint8_t b1 = s[1];
        // F0 needs 90.. (no overlong), F4 needs ..8F (nothing above U+10FFFF).
        if ((b0 == 0xF0 && b1 < 0x90) || (b0 == 0xF4 && b1 > 0x8F))
            return 0;
        return cont(1) && cont(2) && cont(3) ? 4 : 0;
    }
    return 0;
}

bool JsonUTF8Stream::isValidUTF8(const std::uint8_t* bytes, std::size_t length)
{
    std::size_t i = 0;
    while (i < length) {
        // Plain ASCII in words of eight bytes, the common case for replies.
        while (i + 8 <= length) {
            std::uint64_t word;
            std::memcpy(&word, bytes + i, 8);
            if (word & 0x8080808080808080ULL)
                break;
            i += 8;
        }
        if (i >= length)
            break;
        if (bytes[i] < 0x80) {
            ++i;
            continue;
        }
        std::size_t n = validSequenceLength(bytes + i, length - i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

void JsonUTF8Stream::appendCodePoint(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

} // namespace foundation
