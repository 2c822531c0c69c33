#include "platform/os/Value.h"

#include <cctype>
#include <charconv>
#include <ctime>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <sys/mman.h>

namespace platform {

namespace {
constexpr std::size_t kIndexThreshold = 12;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

bool needsQuotes(const std::string& s)
{
    if (s.empty())
        return true;
    for (unsigned char c : s) {
        if (!(std::isalnum(c) || c == '_' || c == '.' || c == '/' || c >= 0x80))
            return true;
    }
    return false;
}

std::string quoted(const std::string& s)
{
    std::string out = "\"";
    for (char c : s) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            out += c;
        }
    }
    out += '"';
    return out;
}

void describe(const Value& v, std::string& out, int indent);

void pad(std::string& out, int indent) { out.append(static_cast<std::size_t>(indent) * 4, ' '); }

void describe(const Value& v, std::string& out, int indent)
{
    if (auto a = v.asArray()) {
        out += "(\n";
        for (std::size_t i = 0; i < a->size(); ++i) {
            pad(out, indent + 1);
            describe((*a)[i], out, indent + 1);
            if (i + 1 < a->size())
                out += ',';
            out += '\n';
        }
        pad(out, indent);
        out += ')';
        return;
    }
    if (auto d = v.asDictionary()) {
        out += "{\n";
        for (const auto& [key, value] : *d) {
            pad(out, indent + 1);
            out += needsQuotes(key) ? quoted(key) : key;
            out += " = ";
            describe(value, out, indent + 1);
            out += ";\n";
        }
        pad(out, indent);
        out += '}';
        return;
    }
    if (auto s = v.asString()) {
        out += needsQuotes(*s) ? quoted(*s) : *s;
        return;
    }
    out += v.description();
}
} // namespace

std::string Object::description() const { return "<" + className() + ">"; }

Date Date::now()
{
    using namespace std::chrono;
    return Date { duration<double>(system_clock::now().time_since_epoch()).count() };
}

// ---- Dictionary

Dictionary::Dictionary(std::initializer_list<Entry> entries)
{
    for (const auto& e : entries)
        set(e.first, e.second);
}

Dictionary::Dictionary(const Dictionary& other)
    : entries_(other.entries_)
{
    if (other.index_)
        rebuildIndex();
}

Dictionary::Dictionary(Dictionary&& other) noexcept
    : entries_(std::move(other.entries_))
    , index_(std::move(other.index_))
{
    other.entries_.clear();
}

Dictionary& Dictionary::operator=(const Dictionary& other)
{
    if (this != &other) {
        entries_ = other.entries_;
        index_.reset();
        if (other.index_)
            rebuildIndex();
    }
    return *this;
}

Dictionary& Dictionary::operator=(Dictionary&& other) noexcept
{
    if (this != &other) {
        entries_ = std::move(other.entries_);
        index_ = std::move(other.index_);
        other.entries_.clear();
    }
    return *this;
}

Dictionary::~Dictionary() = default;

void Dictionary::rebuildIndex()
{
    if (entries_.size() < kIndexThreshold) {
        index_.reset();
        return;
    }
    index_ = std::make_unique<std::unordered_map<std::string, std::size_t>>();
    index_->reserve(entries_.size() * 2);
    for (std::size_t i = 0; i < entries_.size(); ++i)
        (*index_)[entries_[i].first] = i;
}

const Value* Dictionary::find(std::string_view key) const
{
    return const_cast<Dictionary*>(this)->find(key);
}

Value* Dictionary::find(std::string_view key)
{
    if (index_) {
        auto it = index_->find(std::string(key));
        return it == index_->end() ? nullptr : &entries_[it->second].second;
    }
    for (auto& e : entries_) {
        if (e.first == key)
            return &e.second;
    }
    return nullptr;
}

const Value& Dictionary::get(std::string_view key) const
{
    const Value* v = find(key);
    return v ? *v : Value::null();
}

void Dictionary::set(std::string key, Value value)
{
    if (Value* existing = find(key)) {
        *existing = std::move(value);
        return;
    }
    entries_.emplace_back(std::move(key), std::move(value));
    if (index_)
        (*index_)[entries_.back().first] = entries_.size() - 1;
    else if (entries_.size() >= kIndexThreshold)
        rebuildIndex();
}

bool Dictionary::erase(std::string_view key)
{
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->first == key) {
            entries_.erase(it);
            if (index_)
                rebuildIndex();
            return true;
        }
    }
    return false;
}

void Dictionary::clear()
{
    entries_.clear();
    index_.reset();
}

std::vector<std::string> Dictionary::keys() const
{
    std::vector<std::string> out;
    out.reserve(entries_.size());
    for (const auto& e : entries_)
        out.push_back(e.first);
    return out;
}

bool Dictionary::operator==(const Dictionary& other) const
{
    if (size() != other.size())
        return false;
    for (const auto& [key, value] : entries_) {
        const Value* o = other.find(key);
        if (!o || !(*o == value))
            return false;
    }
    return true;
}

// ---- Value

Value::Value(std::shared_ptr<platform::Object> o)
{
    if (o)
        v_ = std::move(o);
}

Value Value::decimal(std::string text)
{
    Value v;
    v.v_ = DecimalText { std::move(text) };
    return v;
}

Value::Kind Value::kind() const { return static_cast<Kind>(v_.index()); }

const char* Value::kindName() const
{
    static const char* names[] = { "null", "bool", "int", "uint", "double", "decimal", "string", "data", "date",
        "array", "dictionary", "object" };
    return names[v_.index()];
}

bool Value::isNumber() const
{
    switch (kind()) {
    case Kind::Bool:
    case Kind::Int:
    case Kind::UInt:
    case Kind::Double:
    case Kind::Decimal:
        return true;
    default:
        return false;
    }
}

std::shared_ptr<platform::Object> Value::asObject() const
{
    if (auto p = std::get_if<std::shared_ptr<platform::Object>>(&v_))
        return *p;
    return nullptr;
}

long long Value::longLongValue() const
{
    switch (kind()) {
    case Kind::Bool:
        return std::get<bool>(v_) ? 1 : 0;
    case Kind::Int:
        return std::get<std::int64_t>(v_);
    case Kind::UInt:
        return static_cast<long long>(std::get<std::uint64_t>(v_));
    case Kind::Double: {
        double d = std::get<double>(v_);
        if (std::isnan(d))
            return 0;
        if (d >= 9.2233720368547758e18)
            return std::numeric_limits<long long>::max();
        if (d <= -9.2233720368547758e18)
            return std::numeric_limits<long long>::min();
        return static_cast<long long>(d);
    }
    case Kind::Decimal: {
        double d = leadingDoubleOf(std::get<DecimalText>(v_).text);
        if (d >= 9.2233720368547758e18)
            return std::numeric_limits<long long>::max();
        if (d <= -9.2233720368547758e18)
            return std::numeric_limits<long long>::min();
        return static_cast<long long>(d);
    }
    case Kind::String:
        return leadingIntegerOf(std::get<std::string>(v_));
    default:
        return 0;
    }
}

int Value::intValue() const
{
    long long v = longLongValue();
    if (kind() == Kind::String) {
        // Texts saturate to the 32-bit range.
        if (v > std::numeric_limits<int>::max())
            return std::numeric_limits<int>::max();
        if (v < std::numeric_limits<int>::min())
            return std::numeric_limits<int>::min();
        return static_cast<int>(v);
    }
    // Numbers narrow the way a C cast of the stored integer does.
    return static_cast<int>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(v)));
}

unsigned long long Value::unsignedLongLongValue() const
{
    if (kind() == Kind::UInt)
        return std::get<std::uint64_t>(v_);
    return static_cast<unsigned long long>(longLongValue());
}

double Value::doubleValue() const
{
    switch (kind()) {
    case Kind::Bool:
        return std::get<bool>(v_) ? 1.0 : 0.0;
    case Kind::Int:
        return static_cast<double>(std::get<std::int64_t>(v_));
    case Kind::UInt:
        return static_cast<double>(std::get<std::uint64_t>(v_));
    case Kind::Double:
        return std::get<double>(v_);
    case Kind::Decimal:
        return leadingDoubleOf(std::get<DecimalText>(v_).text);
    case Kind::String:
        return leadingDoubleOf(std::get<std::string>(v_));
    default:
        return 0;
    }
}

bool Value::boolValue() const
{
    if (auto s = asString()) {
        std::size_t i = 0;
        while (i < s->size() && isSpace((*s)[i]))
            ++i;
        if (i < s->size() && ((*s)[i] == '+' || (*s)[i] == '-'))
            ++i;
        while (i < s->size() && (*s)[i] == '0')
            ++i;
        if (i >= s->size())
            return false;
        char c = (*s)[i];
        return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
    }
    if (kind() == Kind::Double)
        return std::get<double>(v_) != 0.0;
    if (kind() == Kind::Decimal)
        return doubleValue() != 0.0;
    return longLongValue() != 0;
}

std::string Value::stringValue() const
{
    if (auto s = asString())
        return *s;
    if (isNumber())
        return description();
    return {};
}

const Value& Value::operator[](std::string_view key) const
{
    if (auto d = asDictionary())
        return d->get(key);
    return null();
}

const Value& Value::operator[](std::size_t index) const
{
    if (auto a = asArray()) {
        if (index < a->size())
            return (*a)[index];
    }
    return null();
}

const Value& Value::operator[](int index) const
{
    if (index < 0)
        return null();
    return (*this)[static_cast<std::size_t>(index)];
}

std::size_t Value::count() const
{
    switch (kind()) {
    case Kind::Array:
        return std::get<platform::Array>(v_).size();
    case Kind::Dictionary:
        return std::get<platform::Dictionary>(v_).size();
    case Kind::Data:
        return std::get<Bytes>(v_).size();
    case Kind::String:
        return std::get<std::string>(v_).size();
    default:
        return 0;
    }
}

std::string Value::description() const
{
    switch (kind()) {
    case Kind::Null:
        return "<null>";
    case Kind::Bool:
        return std::get<bool>(v_) ? "1" : "0";
    case Kind::Int:
        return std::to_string(std::get<std::int64_t>(v_));
    case Kind::UInt:
        return std::to_string(std::get<std::uint64_t>(v_));
    case Kind::Double:
        return formatDouble(std::get<double>(v_));
    case Kind::Decimal:
        return std::get<DecimalText>(v_).text;
    case Kind::String:
        return std::get<std::string>(v_);
    case Kind::Data: {
        const Bytes& b = std::get<Bytes>(v_);
        std::string out = "<";
        char buf[3];
        for (std::size_t i = 0; i < b.size(); ++i) {
            if (i && i % 4 == 0)
                out += ' ';
            std::snprintf(buf, sizeof buf, "%02x", b[i]);
            out += buf;
        }
        out += '>';
        return out;
    }
    case Kind::Date: {
        double s = std::get<platform::Date>(v_).seconds;
        std::time_t t = static_cast<std::time_t>(std::floor(s));
        std::tm tm {};
        gmtime_r(&t, &tm);
        char buf[64];
        std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S +0000", &tm);
        return buf;
    }
    case Kind::Array:
    case Kind::Dictionary: {
        std::string out;
        describe(*this, out, 0);
        return out;
    }
    case Kind::Object: {
        auto o = asObject();
        return o ? o->description() : "<null>";
    }
    }
    return {};
}

bool Value::operator==(const Value& other) const
{
    // Numbers compare by value across integer kinds, as the phone's numbers do.
    if (isInteger() && other.isInteger()) {
        if (kind() == other.kind())
            return v_ == other.v_;
        const Value& s = kind() == Kind::Int ? *this : other;
        const Value& u = kind() == Kind::UInt ? *this : other;
        std::int64_t sv = std::get<std::int64_t>(s.v_);
        return sv >= 0 && static_cast<std::uint64_t>(sv) == std::get<std::uint64_t>(u.v_);
    }
    if ((isInteger() && other.isDouble()) || (isDouble() && other.isInteger()))
        return doubleValue() == other.doubleValue();
    return v_ == other.v_;
}

const Value& Value::null()
{
    static const Value n;
    return n;
}

long long leadingIntegerOf(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    unsigned long long acc = 0;
    const unsigned long long limit
        = negative ? static_cast<unsigned long long>(std::numeric_limits<long long>::max()) + 1ULL
                   : static_cast<unsigned long long>(std::numeric_limits<long long>::max());
    bool saturated = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        unsigned digit = static_cast<unsigned>(text[i] - '0');
        if (acc > (limit - digit) / 10) {
            saturated = true;
            acc = limit;
        } else if (!saturated) {
            acc = acc * 10 + digit;
        }
    }
    if (negative)
        return acc == limit ? std::numeric_limits<long long>::min() : -static_cast<long long>(acc);
    return static_cast<long long>(acc);
}

double leadingDoubleOf(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i]))
        ++i;
    std::size_t start = i;
    if (i < text.size() && text[i] == '+')
        start = ++i;
    double out = 0;
    auto res = std::from_chars(text.data() + start, text.data() + text.size(), out);
    if (res.ec == std::errc::result_out_of_range) {
        bool negative = start < text.size() && text[start] == '-';
        return negative ? -HUGE_VAL : HUGE_VAL;
    }
    if (res.ec != std::errc())
        return 0;
    return out;
}

std::string formatDouble(double d)
{
    if (std::isnan(d))
        return "nan";
    if (std::isinf(d))
        return d > 0 ? "inf" : "-inf";
    if (d == std::floor(d) && std::fabs(d) < 1e15) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.0f", d);
        if (std::signbit(d) && d == 0)
            return "-0";
        return buf;
    }
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, d);
    return std::string(buf, res.ptr);
}

void reserveBytes(Bytes& bytes, std::size_t capacity)
{
    constexpr std::uintptr_t kHugePage = 2 * 1024 * 1024;
    bytes.reserve(capacity);
    const auto start = reinterpret_cast<std::uintptr_t>(bytes.data());
    const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t end = (start + bytes.capacity()) & ~(kHugePage - 1);
    if (bytes.capacity() >= 4 * kHugePage && end > first)
        ::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}

} // namespace platform
