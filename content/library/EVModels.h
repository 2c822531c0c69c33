#pragma once

#include "platform/os/Value.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace content {

// The video library's objects as its screens read them from the platform's
// replies. A field is taken only when its JSON value has the expected kind;
// anything else leaves it at its initial value. Each is made from a
// dictionary only: the factories answer nothing for any other value.

struct EVCommentInfo {
    long long commentId = 0;
    std::optional<std::string> content;
    std::optional<std::string> userName;
    int userType = 0;
    std::optional<std::string> userPic;
    int score = 0;
    std::optional<platform::Date> commentTime;

    static std::shared_ptr<EVCommentInfo> commentWithObj(const platform::Value& obj);
    // "教师" for 1, "家长" for 2, "学生" for anything else.
    std::string roleText() const;
};

struct EVVideoInfo {
    long long videoId = 0;
    std::optional<std::string> title;
    std::optional<platform::Date> createTime;
    std::optional<std::string> picPath;
    std::optional<std::string> webSite;
    std::optional<std::string> remark;
    int readCount = 0;
    std::optional<std::string> createrName;
    // Only a reply that carried an array has a list: without one a posted
    // comment has nowhere to go on screen.
    std::optional<std::vector<std::shared_ptr<EVCommentInfo>>> commentItems;

    static std::shared_ptr<EVVideoInfo> videoWithObj(const platform::Value& obj);
};

struct EVGradeInfo {
    long long gradeBank = 0;
    std::optional<std::string> gradeName;

    static std::shared_ptr<EVGradeInfo> gradeWithObj(const platform::Value& obj);
};

struct EVSubjectInfo {
    long long subjectId = 0;
    std::optional<std::string> subjectName;
    std::optional<std::string> subjectPic;
    std::vector<std::shared_ptr<EVVideoInfo>> videoItems;

    // Nothing also for a subject whose id is missing or 0. A negative id is
    // the teachers' picks, listed with a request of their own.
    static std::shared_ptr<EVSubjectInfo> subjectWithObj(const platform::Value& obj);
};

// The library's times: "yyyy-MM-dd HH:mm:ss" in the device's zone.
std::optional<platform::Date> libraryTime(const platform::Value& value);
std::string formatLibraryTime(const std::optional<platform::Date>& date, const char* pattern);

} // namespace content
