// Differential tests against independent JSON readers: Python's json module
// (with exact decimals) and jq. Thousands of generated documents, written by
// our writer, mutated into broken ones, or written by Python itself.
#include "JsonTestSupport.h"

#include "foundation/json/JsonParser.h"
#include "foundation/json/JsonWriter.h"
#include "tests/support/BuildPaths.h"
#include "tests/support/ProcessUtil.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

using platform::Array;
using platform::Dictionary;
using platform::Value;

namespace {

// A small deterministic generator, so failures reproduce everywhere.
class Random {
public:
    explicit Random(std::uint64_t seed)
        : state_(seed * 0x9E3779B97F4A7C15ULL + 1)
    {
    }
    std::uint64_t next()
    {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return state_;
    }
    std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }
    template <class T> const T& pick(const std::vector<T>& v) { return v[below(v.size())]; }

private:
    std::uint64_t state_;
};

std::string randomText(Random& rng)
{
    static const std::vector<std::string> pieces = { "a", "Z", " ", "家", "校", "通知", "😀", "𠀀", "\"", "\\", "/",
        "\n", "\t", "\b", "\f", "\r", std::string(1, '\0'), "\x1f", "\x7f", "é", "\xEF\xBF\xBF", "\u2028" };
    std::string s;
    for (std::size_t n = rng.below(10); n > 0; --n)
        s += rng.pick(pieces);
    return s;
}

Value randomNumber(Random& rng)
{
    static const std::vector<std::string> decimals
        = { "0.5", "-2.25", "0.1", "3.14159265358979323846", "1e-5", "12345678901234567890.123", "-0.000001", "1e100",
              "99999999999999999999999999999999999999", "18446744073709551616", "-9223372036854775809", "2.5e-120" };
    switch (rng.below(6)) {
    case 0:
        return Value(static_cast<long long>(rng.next()));
    case 1:
        return Value(static_cast<unsigned long long>(rng.next()));
    case 2:
        return Value(static_cast<long long>(rng.below(2001)) - 1000);
    case 3: {
        foundation::JsonParser parser;
        return parser.objectWithString("[" + rng.pick(decimals) + "]")[0];
    }
    case 4:
        return Value(static_cast<double>(static_cast<long long>(rng.below(1 << 20)) - (1 << 19)) / 64.0);
    default:
        return Value(rng.below(2) == 0);
    }
}

Value randomValue(Random& rng, int depth)
{
    std::size_t kind = rng.below(depth < 6 ? 9 : 5);
    switch (kind) {
    case 0:
        return Value();
    case 1:
    case 2:
        return randomNumber(rng);
    case 3:
    case 4:
        return Value(randomText(rng));
    case 5:
    case 6: {
        Array a;
        for (std::size_t n = rng.below(5); n > 0; --n)
            a.push_back(randomValue(rng, depth + 1));
        return a;
    }
    default: {
        Dictionary d;
        for (std::size_t n = rng.below(5); n > 0; --n)
            d.set(randomText(rng), randomValue(rng, depth + 1));
        return d;
    }
    }
}

// Breaks a document in the ways real input breaks: lost, doubled or changed
// bytes, cut ends, and splices of tokens that sit at the edge of the rules.
std::string mutate(Random& rng, std::string s)
{
    static const std::vector<std::string> splices
        = { "-.5", "1e999", "1e-129", "01", "1.", "\\ud800", "\\udc00", "\\ud83d\\ude00", "NaN", "-Infinity",
              "\xC0\xAF", "\xED\xA0\x80", "\xE4\xB8", "\xFF", "\t", ",", ":", "]", "}", "[", "{", "\"", "\\", "tru",
              "null", "123456789012345678901234567890123456789", "\xEF\xBB\xBF", std::string(40, '['), "-0", "1E+2" };
    for (std::size_t edits = 1 + rng.below(2); edits > 0; --edits) {
        std::size_t at = s.empty() ? 0 : rng.below(s.size() + 1);
        switch (rng.below(5)) {
        case 0:
            if (!s.empty() && at < s.size())
                s.erase(at, 1 + rng.below(3));
            break;
        case 1:
            if (!s.empty() && at < s.size())
                s[at] = static_cast<char>(rng.below(256));
            break;
        case 2:
            s.resize(at);
            break;
        default:
            s.insert(at, rng.pick(splices));
            break;
        }
    }
    return s;
}

// Runs a shell command: what it printed, after "<exit N>" when it failed.
std::string run(const std::string& command)
{
    auto result = testsupport::runCommand(command);
    if (result.status != 0)
        return "<exit " + std::to_string(result.status) + ">" + result.output;
    return result.output;
}

using testsupport::haveTool;
using testsupport::TempDir;

void writeRecords(const std::string& path, const std::vector<std::string>& docs)
{
    std::ofstream f(path, std::ios::binary);
    for (const auto& d : docs)
        f << d.size() << '\n' << d;
}

std::vector<std::string> readRecords(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::vector<std::string> docs;
    std::size_t n;
    while (docs.size() < 100000 && f >> n) {
        f.get();
        std::string d(n, '\0');
        f.read(d.data(), static_cast<std::streamsize>(n));
        docs.push_back(std::move(d));
    }
    return docs;
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        out.push_back(line);
    return out;
}

std::vector<std::string> pythonCheck(const TempDir& dir, const std::vector<std::string>& docs)
{
    writeRecords(dir.file("in.rec"), docs);
    std::string script = testsupport::sourcePath("tests/foundation/json/json_crosscheck.py");
    std::string status
        = run("python3 '" + script + "' check '" + dir.file("in.rec") + "' '" + dir.file("out.txt") + "'");
    EXPECT_EQ(status, "");
    std::ifstream f(dir.file("out.txt"), std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return lines(ss.str());
}

// The canonical form the script writes: our compact output, whose numbers
// are already plain integers and plain exact decimals.
std::string canonical(const Value& v)
{
    foundation::JsonWriter writer;
    auto text = writer.stringWithObject(v);
    return text ? *text : "<" + writer.error() + ">";
}

std::string sortedCanonical(const Value& v)
{
    foundation::JsonWriter writer;
    writer.setSortKeys(true);
    auto text = writer.stringWithObject(v);
    return text ? *text : "<" + writer.error() + ">";
}

// Why our parser refuses a document Python reads, by the script's reason.
bool explainedRefusal(const std::string& reason, const std::string& error)
{
    static const std::map<std::string, std::vector<std::string>> allowed = {
        { "scalar",
            { "Unexpected end of input", "Precision is too high", "Exponent out of range",
                "Token 'number' not expected before outer-most array or object",
                "Token 'string' not expected before outer-most array or object",
                "Token 'boolean' not expected before outer-most array or object",
                "Token 'null' not expected before outer-most array or object" } },
        { "deep", { "Input depth exceeds max depth of 32" } },
        { "precision", { "Precision is too high" } },
        { "exponent", { "Exponent out of range" } },
        { "nonfinite",
            { "Illegal start of token [N]", "Illegal start of token [I]", "No digits after initial minus" } },
        // A high surrogate escape near the end waits for its partner's six
        // bytes, so a short document ends while waiting.
        { "surrogate",
            { "Unexpected end of input", "Missing low character in surrogate pair",
                "Invalid low character in surrogate pair", "Invalid high character in surrogate pair" } },
    };
    auto it = allowed.find(reason);
    if (it == allowed.end())
        return false;
    for (const auto& e : it->second) {
        if (error == e)
            return true;
    }
    return false;
}

struct Tally {
    int same = 0, bothRefuse = 0, explained = 0, lenientMinus = 0;
};

void compareWithPython(const std::vector<std::string>& docs, const std::vector<std::string>& verdicts, Tally& tally)
{
    ASSERT_EQ(verdicts.size(), docs.size());
    for (std::size_t i = 0; i < docs.size(); ++i) {
        auto ours = jsontest::parse(docs[i]);
        const std::string& verdict = verdicts[i];
        if (verdict.rfind("OK ", 0) == 0) {
            ASSERT_FALSE(ours.value.isNull()) << "python read, we refused (" << ours.error << "): " << docs[i];
            ASSERT_EQ(canonical(ours.value), verdict.substr(3)) << docs[i];
            ++tally.same;
        } else if (verdict.rfind("DEV ", 0) == 0) {
            ASSERT_TRUE(ours.value.isNull()) << verdict << ": " << docs[i];
            ASSERT_TRUE(explainedRefusal(verdict.substr(4), ours.error))
                << verdict << " / " << ours.error << ": " << docs[i];
            ++tally.explained;
        } else {
            ASSERT_EQ(verdict, "ERR");
            if (ours.value.isNull()) {
                ++tally.bothRefuse;
            } else {
                // The one form we read that RFC 8259 has not: "-.5".
                ASSERT_NE(docs[i].find("-."), std::string::npos) << "we read, python refused: " << docs[i];
                ++tally.lenientMinus;
            }
        }
    }
}

} // namespace

TEST(JsonCrossCheck, OurDocumentsAndTheirMutationsAgainstPython)
{
    if (!haveTool("python3"))
        ORB_SKIP_WITHOUT_TOOL("python3 is not installed");
    TempDir dir;
    Random rng(20240611);
    std::vector<std::string> docs;
    for (int i = 0; i < 1500; ++i) {
        Value v = rng.below(2) ? Value(Array { randomValue(rng, 1) }) : randomValue(rng, 0);
        if (!v.isArray() && !v.isDictionary())
            v = Array { v };
        foundation::JsonWriter writer;
        writer.setHumanReadable(i % 4 == 0);
        writer.setSortKeys(i % 3 == 0);
        auto text = writer.stringWithObject(v);
        ASSERT_TRUE(text) << writer.error();
        // Our own reading gives back what was written (doubles come back as
        // the exact decimals their text names, so compare written forms).
        auto back = jsontest::parse(*text);
        ASSERT_EQ(sortedCanonical(back.value), sortedCanonical(v)) << *text << back.error;
        docs.push_back(*text);
    }
    const std::size_t written = docs.size();
    for (std::size_t i = 0; i < written * 2; ++i)
        docs.push_back(mutate(rng, docs[i % written]));
    // One of each deliberate difference, whatever the mutations happened to hit.
    for (const char* d : { "[-.5]", "{\"a\":-.25e1}", "7", "\"s\" ", "[1e400]", "[1e-200]", "[NaN]", "[-Infinity]",
             "[\"\\ud800x\"]", "[\"\\udc00\"]", "[1234567890123456789012345678901234567890]" })
        docs.push_back(d);
    docs.push_back(std::string(40, '[') + std::string(40, ']'));

    Tally tally;
    compareWithPython(docs, pythonCheck(dir, docs), tally);
    // The written documents are all read the same way by both.
    EXPECT_GE(tally.same, static_cast<int>(written));
    EXPECT_GT(tally.bothRefuse, 500);
    EXPECT_GT(tally.explained, 20);
    EXPECT_GT(tally.lenientMinus, 0);
}

TEST(JsonCrossCheck, DocumentsWrittenByPython)
{
    if (!haveTool("python3"))
        ORB_SKIP_WITHOUT_TOOL("python3 is not installed");
    TempDir dir;
    std::string script = testsupport::sourcePath("tests/foundation/json/json_crosscheck.py");
    ASSERT_EQ(run("python3 '" + script + "' write '" + dir.file("py.rec") + "' 11"), "");
    std::vector<std::string> docs = readRecords(dir.file("py.rec"));
    ASSERT_EQ(docs.size(), 1000u);
    Tally tally;
    compareWithPython(docs, pythonCheck(dir, docs), tally);
    EXPECT_GT(tally.same, 900);
    EXPECT_EQ(tally.bothRefuse, 0);
}

TEST(JsonCrossCheck, JqReadsEveryWrittenDocument)
{
    if (!haveTool("jq"))
        ORB_SKIP_WITHOUT_TOOL("jq is not installed");
    TempDir dir;
    Random rng(77);
    std::string stream;
    std::vector<std::size_t> pathCounts;
    // Counts every member and element below the top, as jq's `paths` does.
    std::function<std::size_t(const Value&)> paths = [&](const Value& v) -> std::size_t {
        std::size_t n = 0;
        if (auto a = v.asArray()) {
            for (const auto& x : *a)
                n += 1 + paths(x);
        } else if (auto d = v.asDictionary()) {
            for (const auto& [k, x] : *d)
                n += 1 + paths(x);
        }
        return n;
    };
    for (int i = 0; i < 500; ++i) {
        Value v = Array { randomValue(rng, 1), randomValue(rng, 1) };
        foundation::JsonWriter writer;
        writer.setHumanReadable(i % 2 == 0);
        auto text = writer.stringWithObject(v);
        ASSERT_TRUE(text);
        stream += *text + "\n";
        pathCounts.push_back(paths(v));
    }
    {
        std::ofstream f(dir.file("docs.json"), std::ios::binary);
        f << stream;
    }
    std::vector<std::string> counts = lines(run("jq -c '[paths] | length' '" + dir.file("docs.json") + "'"));
    ASSERT_EQ(counts.size(), pathCounts.size()) << (counts.empty() ? "" : counts[0]);
    for (std::size_t i = 0; i < counts.size(); ++i)
        EXPECT_EQ(counts[i], std::to_string(pathCounts[i])) << i;
}
