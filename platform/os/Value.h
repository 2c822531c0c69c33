#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

namespace platform {

class Value;

// Base of model records that travel inside parameter dictionaries. Values hold
// them by shared pointer; a record is never copied.
class Object {
public:
    virtual ~Object() = default;
    virtual std::string className() const { return "Object"; }
    virtual std::string description() const;
};

using Bytes = std::vector<std::uint8_t>;
// Makes room for `capacity` bytes. Room for many megabytes is asked of the
// system in huge pages where it gives them on request: filling it then
// costs a few hundred page faults instead of one per 4 KB.
void reserveBytes(Bytes& bytes, std::size_t capacity);
using Array = std::vector<Value>;

// A point in time: seconds since 1970-01-01 00:00:00 UTC.
struct Date {
    double seconds = 0;

    static Date now();
    static Date fromSeconds(double s) { return Date { s }; }
    double timeIntervalSince(Date other) const { return seconds - other.seconds; }
    Date addingSeconds(double s) const { return Date { seconds + s }; }
    auto operator<=>(const Date&) const = default;
};

// A dictionary with text keys that remembers insertion order. Setting an
// existing key replaces its value in place. Large dictionaries keep a hash
// index so that lookups stay cheap.
class Dictionary {
public:
    using Entry = std::pair<std::string, Value>;
    using const_iterator = std::vector<Entry>::const_iterator;
    using iterator = std::vector<Entry>::iterator;

    Dictionary() = default;
    Dictionary(std::initializer_list<Entry> entries);
    Dictionary(const Dictionary&);
    Dictionary(Dictionary&&) noexcept;
    Dictionary& operator=(const Dictionary&);
    Dictionary& operator=(Dictionary&&) noexcept;
    ~Dictionary();

    const Value* find(std::string_view key) const;
    Value* find(std::string_view key);
    bool contains(std::string_view key) const { return find(key) != nullptr; }
    // The value for the key, or the null value when absent.
    const Value& get(std::string_view key) const;

    void set(std::string key, Value value);
    bool erase(std::string_view key);
    void clear();

    // Defined after Value, which must be complete for the entry vector.
    std::size_t size() const;
    bool empty() const;
    std::vector<std::string> keys() const;

    const_iterator begin() const;
    const_iterator end() const;
    iterator begin();
    iterator end();

    // Equal when both hold the same keys with equal values, in any order.
    bool operator==(const Dictionary& other) const;

private:
    void rebuildIndex();
    std::vector<Entry> entries_;
    std::unique_ptr<std::unordered_map<std::string, std::size_t>> index_;
};

// The dynamic value that collections, server replies, parameters and stored
// settings are made of.
class Value {
public:
    enum class Kind { Null, Bool, Int, UInt, Double, Decimal, String, Data, Date, Array, Dictionary, Object };

    Value() = default;
    Value(std::nullptr_t) { }
    Value(bool b)
        : v_(b)
    {
    }
    Value(int i)
        : v_(static_cast<std::int64_t>(i))
    {
    }
    Value(long i)
        : v_(static_cast<std::int64_t>(i))
    {
    }
    Value(long long i)
        : v_(static_cast<std::int64_t>(i))
    {
    }
    Value(unsigned u)
        : v_(static_cast<std::uint64_t>(u))
    {
    }
    Value(unsigned long u)
        : v_(static_cast<std::uint64_t>(u))
    {
    }
    Value(unsigned long long u)
        : v_(static_cast<std::uint64_t>(u))
    {
    }
    Value(double d)
        : v_(d)
    {
    }
    Value(float f)
        : v_(static_cast<double>(f))
    {
    }
    Value(const char* s)
        : v_(std::string(s ? s : ""))
    {
    }
    Value(std::string s)
        : v_(std::move(s))
    {
    }
    Value(std::string_view s)
        : v_(std::string(s))
    {
    }
    Value(Bytes b)
        : v_(std::move(b))
    {
    }
    Value(platform::Date d)
        : v_(d)
    {
    }
    Value(platform::Array a)
        : v_(std::move(a))
    {
    }
    Value(platform::Dictionary d)
        : v_(std::move(d))
    {
    }
    Value(std::shared_ptr<platform::Object> o);
    template <class T>
        requires std::is_base_of_v<platform::Object, T>
    Value(std::shared_ptr<T> o)
        : Value(std::static_pointer_cast<platform::Object>(std::move(o)))
    {
    }

    // An exact decimal number kept as its text (for example "12345678901234567890.5").
    static Value decimal(std::string text);

    Kind kind() const;
    const char* kindName() const;

    bool isNull() const { return kind() == Kind::Null; }
    bool isBool() const { return kind() == Kind::Bool; }
    // Every numeric kind, booleans included (they are numbers on the phone).
    bool isNumber() const;
    bool isInteger() const { return kind() == Kind::Int || kind() == Kind::UInt; }
    bool isDouble() const { return kind() == Kind::Double; }
    bool isDecimal() const { return kind() == Kind::Decimal; }
    bool isString() const { return kind() == Kind::String; }
    bool isData() const { return kind() == Kind::Data; }
    bool isDate() const { return kind() == Kind::Date; }
    bool isArray() const { return kind() == Kind::Array; }
    bool isDictionary() const { return kind() == Kind::Dictionary; }
    bool isObject() const { return kind() == Kind::Object; }

    // Kind-checked access: null when the value has another kind.
    const bool* asBool() const { return std::get_if<bool>(&v_); }
    const std::string* asString() const { return std::get_if<std::string>(&v_); }
    const Bytes* asData() const { return std::get_if<Bytes>(&v_); }
    const platform::Date* asDate() const { return std::get_if<platform::Date>(&v_); }
    const platform::Array* asArray() const { return std::get_if<platform::Array>(&v_); }
    platform::Array* asArray() { return std::get_if<platform::Array>(&v_); }
    const platform::Dictionary* asDictionary() const { return std::get_if<platform::Dictionary>(&v_); }
    platform::Dictionary* asDictionary() { return std::get_if<platform::Dictionary>(&v_); }
    std::shared_ptr<platform::Object> asObject() const;
    template <class T> std::shared_ptr<T> objectAs() const { return std::dynamic_pointer_cast<T>(asObject()); }

    // Lenient readers, as the phone's numbers and texts answer them.
    // A number converts (doubles truncate toward zero); a text reads optional
    // leading white space, a sign and digits and stops at the first other
    // character; anything else reads as 0.
    int intValue() const;
    long long longLongValue() const;
    unsigned long long unsignedLongLongValue() const;
    double doubleValue() const;
    float floatValue() const { return static_cast<float>(doubleValue()); }
    // Numbers: non-zero. Texts: after white space and an optional sign, a
    // leading Y, y, T, t or a digit 1-9.
    bool boolValue() const;
    // Texts as they are, numbers as their description, anything else empty.
    std::string stringValue() const;

    // Shorthands that answer a shared null value on a missing key or index,
    // so chains like reply["items"][0]["name"] never fail.
    const Value& operator[](std::string_view key) const;
    const Value& operator[](const char* key) const { return (*this)[std::string_view(key)]; }
    const Value& operator[](std::size_t index) const;
    const Value& operator[](int index) const;
    // Element count of an array or dictionary, byte count of data or text, else 0.
    std::size_t count() const;

    // A readable rendering for logs and for binding values of no SQL kind.
    std::string description() const;

    bool operator==(const Value& other) const;
    bool operator!=(const Value& other) const { return !(*this == other); }

    static const Value& null();

private:
    struct DecimalText {
        std::string text;
        bool operator==(const DecimalText&) const = default;
    };
    std::variant<std::monostate, bool, std::int64_t, std::uint64_t, double, DecimalText, std::string, Bytes,
        platform::Date, platform::Array, platform::Dictionary, std::shared_ptr<platform::Object>>
        v_;
};

inline std::size_t Dictionary::size() const { return entries_.size(); }
inline bool Dictionary::empty() const { return entries_.empty(); }
inline Dictionary::const_iterator Dictionary::begin() const { return entries_.begin(); }
inline Dictionary::const_iterator Dictionary::end() const { return entries_.end(); }
inline Dictionary::iterator Dictionary::begin() { return entries_.begin(); }
inline Dictionary::iterator Dictionary::end() { return entries_.end(); }

// Parses a leading integer like the phone's text readers: skips white space,
// reads an optional sign and decimal digits, saturates on overflow.
long long leadingIntegerOf(std::string_view text);
// Parses a leading decimal number (digits, point, exponent); 0 when none.
double leadingDoubleOf(std::string_view text);
// The shortest text that reads back as the same double ("0.1", "1e+30", "3").
std::string formatDouble(double d);

} // namespace platform
