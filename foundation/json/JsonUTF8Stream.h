#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace foundation {

// The byte buffer the tokeniser reads from. Input arrives in pieces; bytes
// already consumed are dropped on the next append, so an unfinished token
// keeps its bytes and is read again once more input is here.
//
// When nothing is pending, appended bytes are read where they lie instead of
// being copied; the owner calls retainRemaining() before those bytes may go
// away, which copies only the unread tail.
class JsonUTF8Stream final {
public:
    JsonUTF8Stream();
    JsonUTF8Stream(const JsonUTF8Stream&) = delete;
    JsonUTF8Stream& operator=(const JsonUTF8Stream&) = delete;

    void appendData(const std::uint8_t* bytes, std::size_t length);
    // Copies the unread bytes into the stream's own buffer, so that the
    // bytes given to the last appendData are no longer needed.
    void retainRemaining();

    // The byte at the current position; false past the end.
    bool getUnichar(std::uint8_t* ch) const
    {
        if (index_ >= length_)
            return false;
        *ch = bytes_[index_];
        return true;
    }
    // Advances one byte, then answers the byte there; false past the end.
    bool getNextUnichar(std::uint8_t* ch);
    // The bytes from the current position up to (not including) the first
    // byte below 0x20, a double quote or a backslash; the position moves to
    // that byte. False, with the position unchanged, when the buffer ends first.
    bool getStringFragment(std::string_view* fragment);
    void skip()
    {
        if (index_ < length_)
            ++index_;
    }
    void skipWhitespace()
    {
        while (index_ < length_
            && (bytes_[index_] == ' ' || bytes_[index_] == '\n' || bytes_[index_] == '\r' || bytes_[index_] == '\t'))
            ++index_;
    }
    bool haveRemainingCharacters(std::size_t count) const { return index_ <= length_ && length_ - index_ >= count; }
    // Compares the bytes at the position with the given ones and steps past
    // them when equal.
    bool skipCharacters(const char* chars, std::size_t length);
    // The bytes of the range as text; empty when the range is not valid UTF-8.
    std::string stringWithRange(std::size_t start, std::size_t length) const;

    std::size_t index() const { return index_; }
    void setIndex(std::size_t index) { index_ = index; }

    const std::uint8_t* bytes() const { return bytes_; }
    std::size_t length() const { return length_; }

    // Strict UTF-8 check (RFC 3629): no overlong forms, no encoded
    // surrogates, nothing above U+10FFFF, no stray or missing continuation bytes.
    static bool isValidUTF8(const std::uint8_t* bytes, std::size_t length);
    // Length of the valid sequence starting at bytes[0], or 0 when invalid.
    static std::size_t validSequenceLength(const std::uint8_t* bytes, std::size_t length);
    static void appendCodePoint(std::string& out, char32_t codePoint);

private:
    std::vector<std::uint8_t> data_;
    // The bytes being read: data_'s, or the caller's while borrowed_.
    const std::uint8_t* bytes_ = nullptr;
    std::size_t length_ = 0;
    bool borrowed_ = false;
    std::size_t index_ = 0;
};

} // namespace foundation
