#include "platform/os/Uuid.h"

#include <gtest/gtest.h>

#include <set>
#include <string_view>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// 8-4-4-4-12 upper-case hexadecimal, version 4, variant 10xx.
bool isUuidForm(const std::string& text)
{
    if (text.size() != 36)
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c != '-')
                return false;
        } else if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
            return false;
        }
    }
    return text[14] == '4' && std::string_view("89AB").find(text[19]) != std::string_view::npos;
}

TEST(Uuid, UpperCaseVersion4Form)
{
    for (int i = 0; i < 200; ++i) {
        std::string id = platform::makeUuidString();
        EXPECT_EQ(id.size(), 36u);
        EXPECT_TRUE(isUuidForm(id)) << id;
    }
}

TEST(Uuid, NoTwoAlike)
{
    // Several threads at once, as form bodies are built on the network thread.
    std::vector<std::vector<std::string>> made(4);
    std::vector<std::thread> threads;
    for (auto& list : made) {
        threads.emplace_back([&list] {
            for (int i = 0; i < 2000; ++i)
                list.push_back(platform::makeUuidString());
        });
    }
    for (auto& t : threads)
        t.join();
    std::set<std::string> seen;
    for (const auto& list : made)
        seen.insert(list.begin(), list.end());
    EXPECT_EQ(seen.size(), 8000u);
}

TEST(Uuid, GloballyUniqueStrings)
{
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        std::string text = platform::globallyUniqueString();
        EXPECT_TRUE(isUuidForm(text.substr(0, 36))) << text;
        EXPECT_NE(text.find("-" + std::to_string(getpid()) + "-"), std::string::npos) << text;
        // Usable as a file name as it is.
        EXPECT_EQ(text.find_first_not_of("0123456789ABCDEF-"), std::string::npos) << text;
        seen.insert(text);
    }
    EXPECT_EQ(seen.size(), 1000u);
}

} // namespace
