#include "content/library/EVModels.h"

#include "platform/os/DateFormat.h"

#include <algorithm>
#include <climits>

namespace content {

namespace {

    std::optional<std::string> textOf(const platform::Dictionary& dict, std::string_view key)
    {
        const auto& value = dict.get(key);
        if (const auto* text = value.asString())
            return *text;
        return std::nullopt;
    }

    long long integerOf(const platform::Dictionary& dict, std::string_view key, long long fallback = 0)
    {
        const auto& value = dict.get(key);
        return value.isNumber() ? value.longLongValue() : fallback;
    }

    // A count, a role or a score: past the 32-bit range it stays at its end
    // instead of wrapping into another number (a count of 10^12 is not
    // a negative one).
    int smallIntegerOf(const platform::Dictionary& dict, std::string_view key)
    {
        return int(std::clamp<long long>(integerOf(dict, key), INT_MIN, INT_MAX));
    }

    template <class T, class Make>
    std::vector<std::shared_ptr<T>> listOf(const platform::Value& value, Make make)
    {
        std::vector<std::shared_ptr<T>> out;
        if (const auto* items = value.asArray()) {
            for (const auto& item : *items) {
                if (auto made = make(item))
                    out.push_back(std::move(made));
            }
        }
        return out;
    }

    constexpr const char* kTimePattern = "yyyy-MM-dd HH:mm:ss";

} // namespace

std::optional<platform::Date> libraryTime(const platform::Value& value)
{
    const auto* text = value.asString();
    if (!text)
        return std::nullopt;
    return platform::DateFormatter(kTimePattern).dateFromString(*text);
}

std::string formatLibraryTime(const std::optional<platform::Date>& date, const char* pattern)
{
    return date ? platform::DateFormatter(pattern).stringFromDate(*date) : std::string();
}

std::shared_ptr<EVCommentInfo> EVCommentInfo::commentWithObj(const platform::Value& obj)
{
    const auto* dict = obj.asDictionary();
    if (!dict)
        return nullptr;
    auto comment = std::make_shared<EVCommentInfo>();
    comment->commentId = integerOf(*dict, "commentId");
    comment->content = textOf(*dict, "content");
    comment->userName = textOf(*dict, "userName");
    comment->userType = smallIntegerOf(*dict, "userType");
    comment->userPic = textOf(*dict, "userPic");
    comment->score = smallIntegerOf(*dict, "score");
    comment->commentTime = libraryTime(dict->get("commentTime"));
    return comment;
}

std::string EVCommentInfo::roleText() const
{
    if (userType == 1)
        return "教师";
    if (userType == 2)
        return "家长";
    return "学生";
}

std::shared_ptr<EVVideoInfo> EVVideoInfo::videoWithObj(const platform::Value& obj)
{
    const auto* dict = obj.asDictionary();
    if (!dict)
        return nullptr;
    auto video = std::make_shared<EVVideoInfo>();
    video->videoId = integerOf(*dict, "videoId");
    video->title = textOf(*dict, "title");
    video->createTime = libraryTime(dict->get("createTime"));
    video->picPath = textOf(*dict, "picPath");
    video->webSite = textOf(*dict, "webSite");
    video->remark = textOf(*dict, "remark");
    video->readCount = smallIntegerOf(*dict, "readCount");
    video->createrName = textOf(*dict, "createrName");
    if (dict->get("commentItems").isArray())
        video->commentItems = listOf<EVCommentInfo>(dict->get("commentItems"), &EVCommentInfo::commentWithObj);
    return video;
}

std::shared_ptr<EVGradeInfo> EVGradeInfo::gradeWithObj(const platform::Value& obj)
{
    const auto* dict = obj.asDictionary();
    if (!dict)
        return nullptr;
    auto grade = std::make_shared<EVGradeInfo>();
    grade->gradeBank = integerOf(*dict, "gradeBank");
    grade->gradeName = textOf(*dict, "gradeName");
    return grade;
}

std::shared_ptr<EVSubjectInfo> EVSubjectInfo::subjectWithObj(const platform::Value& obj)
{
    const auto* dict = obj.asDictionary();
    if (!dict)
        return nullptr;
    auto subject = std::make_shared<EVSubjectInfo>();
    subject->subjectId = integerOf(*dict, "subjectId");
    if (subject->subjectId == 0)
        return nullptr;
    subject->subjectName = textOf(*dict, "subjectName");
    subject->subjectPic = textOf(*dict, "subjectPic");
    subject->videoItems = listOf<EVVideoInfo>(dict->get("videoItems"), &EVVideoInfo::videoWithObj);
    return subject;
}

} // namespace content
