#include "platform/os/Error.h"
#include "platform/os/Log.h"
#include "platform/os/Value.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

using namespace platform;

namespace {

struct Record final : Object {
    int id = 7;
    std::string className() const override { return "Record"; }
};

TEST(Value, KindsAreKeptApart)
{
    EXPECT_TRUE(Value().isNull());
    EXPECT_TRUE(Value(true).isBool());
    EXPECT_TRUE(Value(true).isNumber());
    EXPECT_EQ(Value(3).kind(), Value::Kind::Int);
    EXPECT_EQ(Value(3u).kind(), Value::Kind::UInt);
    EXPECT_EQ(Value(0.5).kind(), Value::Kind::Double);
    EXPECT_EQ(Value::decimal("1.25").kind(), Value::Kind::Decimal);
    EXPECT_TRUE(Value("x").isString());
    EXPECT_TRUE(Value(Bytes { 1, 2 }).isData());
    EXPECT_TRUE(Value(Date { 5 }).isDate());
    EXPECT_TRUE(Value(Array {}).isArray());
    EXPECT_TRUE(Value(Dictionary {}).isDictionary());
    EXPECT_TRUE(Value(std::make_shared<Record>()).isObject());
    // A null record pointer is the null value, not an empty object.
    EXPECT_TRUE(Value(std::shared_ptr<Record>()).isNull());
}

TEST(Value, KindCheckedAccessRefusesOtherKinds)
{
    Value number(12);
    EXPECT_EQ(number.asString(), nullptr);
    EXPECT_EQ(number.asDictionary(), nullptr);
    Value text("12");
    ASSERT_NE(text.asString(), nullptr);
    EXPECT_EQ(*text.asString(), "12");
    auto rec = Value(std::make_shared<Record>()).objectAs<Record>();
    ASSERT_TRUE(rec);
    EXPECT_EQ(rec->id, 7);
    EXPECT_FALSE(Value(std::make_shared<Record>()).objectAs<Error>());
}

TEST(Value, LenientIntegerReaders)
{
    EXPECT_EQ(Value("  -42abc").intValue(), -42);
    EXPECT_EQ(Value("+17").intValue(), 17);
    EXPECT_EQ(Value("abc").intValue(), 0);
    EXPECT_EQ(Value("").intValue(), 0);
    EXPECT_EQ(Value("99999999999").intValue(), std::numeric_limits<int>::max());
    EXPECT_EQ(Value("-99999999999").intValue(), std::numeric_limits<int>::min());
    EXPECT_EQ(Value("99999999999999999999999").longLongValue(), std::numeric_limits<long long>::max());
    EXPECT_EQ(Value(3.9).intValue(), 3);
    EXPECT_EQ(Value(-3.9).intValue(), -3);
    EXPECT_EQ(Value(true).intValue(), 1);
    EXPECT_EQ(Value(Array { 1 }).intValue(), 0);
    EXPECT_EQ(Value::decimal("12.75").intValue(), 12);
    EXPECT_DOUBLE_EQ(Value("2.5e1xyz").doubleValue(), 25.0);
    EXPECT_EQ(Value(std::numeric_limits<unsigned long long>::max()).unsignedLongLongValue(),
        std::numeric_limits<unsigned long long>::max());
}

TEST(Value, BoolOfTextsAndNumbers)
{
    EXPECT_TRUE(Value("YES").boolValue());
    EXPECT_TRUE(Value(" true").boolValue());
    EXPECT_TRUE(Value("-5").boolValue());
    EXPECT_TRUE(Value("007").boolValue());
    EXPECT_FALSE(Value("0").boolValue());
    EXPECT_FALSE(Value("no").boolValue());
    EXPECT_FALSE(Value("").boolValue());
    EXPECT_TRUE(Value(0.25).boolValue());
    EXPECT_FALSE(Value(0).boolValue());
}

TEST(Value, StringValueAndDescription)
{
    EXPECT_EQ(Value(12).stringValue(), "12");
    EXPECT_EQ(Value(0.1).stringValue(), "0.1");
    EXPECT_EQ(Value(2.0).stringValue(), "2");
    EXPECT_EQ(Value::decimal("1.50").stringValue(), "1.50");
    EXPECT_EQ(Value(Array {}).stringValue(), "");
    EXPECT_EQ(Value().description(), "<null>");
    EXPECT_EQ(Value(Bytes { 0xde, 0xad, 0xbe, 0xef, 0x01 }).description(), "<deadbeef 01>");
    Dictionary d { { "a", 1 }, { "b c", Array { "x", 2 } } };
    EXPECT_EQ(Value(d).description(), "{\n    a = 1;\n    \"b c\" = (\n        x,\n        2\n    );\n}");
    EXPECT_EQ(Value(Date { 0 }).description(), "1970-01-01 00:00:00 +0000");
}

TEST(Value, SubscriptsNeverFail)
{
    Value reply(Dictionary { { "items", Array { Dictionary { { "name", "Li" } } } } });
    EXPECT_EQ(reply["items"][0]["name"].stringValue(), "Li");
    EXPECT_TRUE(reply["items"][5]["name"].isNull());
    EXPECT_TRUE(reply["missing"]["deeper"].isNull());
    EXPECT_TRUE(reply["items"][-1].isNull());
    EXPECT_TRUE(Value(3)["x"].isNull());
    EXPECT_EQ(reply["items"].count(), 1u);
}

TEST(Value, EqualityAcrossIntegerKinds)
{
    EXPECT_EQ(Value(5), Value(5u));
    EXPECT_NE(Value(-1), Value(std::numeric_limits<unsigned long long>::max()));
    EXPECT_EQ(Value(2), Value(2.0));
    EXPECT_NE(Value("2"), Value(2));
    EXPECT_NE(Value(true), Value(1));
    auto r = std::make_shared<Record>();
    EXPECT_EQ(Value(r), Value(r));
    EXPECT_NE(Value(r), Value(std::make_shared<Record>()));
}

TEST(Dictionary, KeepsInsertionOrderAndReplacesInPlace)
{
    Dictionary d;
    for (int i = 0; i < 40; ++i)
        d.set("k" + std::to_string(39 - i), i);
    d.set("k39", "first");
    EXPECT_EQ(d.size(), 40u);
    EXPECT_EQ(d.begin()->first, "k39");
    EXPECT_EQ(d.get("k39").stringValue(), "first");
    EXPECT_TRUE(d.erase("k20"));
    EXPECT_FALSE(d.erase("k20"));
    EXPECT_FALSE(d.contains("k20"));
    EXPECT_EQ(d.get("k0").intValue(), 39);
    EXPECT_EQ(d.size(), 39u);
    Dictionary copy = d;
    copy.set("k0", 1);
    EXPECT_EQ(d.get("k0").intValue(), 39);
    EXPECT_EQ(copy.get("k0").intValue(), 1);
    Dictionary reordered { { "b", 2 }, { "a", 1 } };
    EXPECT_EQ(reordered, (Dictionary { { "a", 1 }, { "b", 2 } }));
}

TEST(Error, DescriptionAndUnderlyingError)
{
    Error plain("TestDomain", 4);
    EXPECT_EQ(plain.localizedDescription(), "The operation couldn't be completed. (TestDomain error 4.)");
    auto inner = std::make_shared<Error>(Error::withDescription(kPosixErrorDomain, 57, "Socket is not connected"));
    Dictionary info { { kLocalizedDescriptionKey, "outer" }, { kUnderlyingErrorKey, Value(inner) } };
    Error outer("TestDomain", 1, info);
    EXPECT_EQ(outer.localizedDescription(), "outer");
    ASSERT_TRUE(outer.underlyingError());
    EXPECT_EQ(outer.underlyingError()->code(), 57);
}

TEST(Log, CaptureSeesExactTexts)
{
    LogCapture capture;
    log("line %i,%i#%s\n", 12, 1, "no such table: x");
    ASSERT_EQ(capture.lines().size(), 1u);
    EXPECT_EQ(capture.lines()[0], "line 12,1#no such table: x\n");
    EXPECT_TRUE(capture.contains("no such table"));
    EXPECT_EQ(format("%05.1f|%s", 3.14159, "x"), "003.1|x");
}

} // namespace

// The mapping of /proc/self/smaps that holds an address, as its lines.
static std::vector<std::string> mappingHolding(const void* address)
{
    std::ifstream smaps("/proc/self/smaps");
    std::vector<std::string> lines;
    bool inside = false;
    for (std::string line; std::getline(smaps, line);) {
        unsigned long from = 0, to = 0;
        if (std::sscanf(line.c_str(), "%lx-%lx ", &from, &to) == 2 && line.find(' ') > line.find('-')) {
            if (inside)
                break;
            auto at = reinterpret_cast<unsigned long>(address);
            inside = at >= from && at < to;
        }
        if (inside)
            lines.push_back(line);
    }
    return lines;
}

TEST(ReserveBytes, KeepsTheContentAndAsksHugePagesForALargeReservation)
{
    platform::Bytes small { 1, 2, 3 };
    platform::reserveBytes(small, 100);
    EXPECT_GE(small.capacity(), 100u);
    EXPECT_EQ(small, (platform::Bytes { 1, 2, 3 }));

    platform::Bytes large { 7, 8 };
    platform::reserveBytes(large, 24 * 1024 * 1024);
    ASSERT_GE(large.capacity(), 24u * 1024 * 1024);
    EXPECT_EQ(large, (platform::Bytes { 7, 8 }));
    std::ifstream setting("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string modes;
    std::getline(setting, modes);
    if (modes.find("[never]") != std::string::npos || modes.empty())
        GTEST_SKIP() << "this system gives no huge pages";
    // The middle of the reservation lies in a mapping marked for huge pages.
    auto lines = mappingHolding(large.data() + large.capacity() / 2);
    ASSERT_FALSE(lines.empty());
    bool marked = false; // "hg": asked for huge pages
    for (const auto& line : lines)
        marked = marked || (line.find("VmFlags:") == 0 && line.find(" hg") != std::string::npos);
    EXPECT_TRUE(marked) << lines.front();
}
