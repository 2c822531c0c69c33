// The address book at the ceiling the client takes, as the platform sends
// it: 481,000 people in 480 classes of about a thousand.
#pragma once

#include <string>

namespace benchsupport {

inline std::string person(int p)
{
    return R"({"linkManId":)" + std::to_string(100000 + p) + R"(,"linkManName":"张)" + std::to_string(p % 97)
        + R"(丰","phone":"137)" + std::to_string(10000000 + p)
        + R"(","thumbAvatar":"","orgUserPic":"","linkManType":1,"isCustomer":true})";
}

inline const std::string& bookAtTheCeiling()
{
    static const std::string book = [] {
        constexpr int kPeople = 481000;
        constexpr int kGroups = 480;
        std::string json = "[";
        json.reserve(std::size_t { 64 } << 20);
        for (int g = 0; g < kGroups; ++g) {
            json += std::string(g ? "," : "") + R"({"groupId":"CLS)" + std::to_string(1000 + g)
                + R"(","groupName":"班级)" + std::to_string(g) + R"(","groupType":2,"items":[)";
            for (int p = g; p < kPeople; p += kGroups)
                json += (p == g ? "" : ",") + person(p);
            json += "]}";
        }
        return json + "]";
    }();
    return book;
}

} // namespace benchsupport
