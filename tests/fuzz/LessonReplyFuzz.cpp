// libFuzzer target: a reply of the video-lesson service, as the portal
// screens read it. The input is a search text, a NUL byte, and the reply's
// body. The body goes through the envelope reader; its "data" (and each
// element of it when it is a list) through every model reader the screens
// use; the lessons read go through the lesson list's search.
//
// Besides not crashing, each reader keeps what it promises: only a whole code
// within the signed 32-bit range is a code, and only 0 is a success; a model
// comes from an object only; a subject has its text sid; a lesson's section
// letter is one whole character of its pinyin (or "#"); a portal user reads
// back from its archive as it was; the search keeps only matching lessons,
// sorted by their pinyin.
#include "content/lessons/APIRequest.h"
#include "content/lessons/GCModels.h"
#include "content/lessons/LessonSearch.h"
#include "platform/os/PlatformJson.h"
#include "platform/os/StringUtil.h"
#include "tests/fuzz/FuzzSupport.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace content;
using platform::Value;

namespace {

void check(bool holds)
{
    if (!holds)
        std::abort();
}

// The code the service meant, when the value is one: a whole number within
// the signed 32-bit range, worked out here on its own terms.
std::optional<std::int32_t> wholeCode(const Value& code)
{
    if (code.kind() == Value::Kind::Int) {
        long long whole = code.longLongValue();
        if (whole < std::numeric_limits<std::int32_t>::min() || whole > std::numeric_limits<std::int32_t>::max())
            return std::nullopt;
        return static_cast<std::int32_t>(whole);
    }
    if (code.kind() != Value::Kind::Double)
        return std::nullopt;
    double number = code.doubleValue();
    if (!std::isfinite(number) || std::floor(number) != number || number < -2147483648.0 || number > 2147483647.0)
        return std::nullopt;
    return static_cast<std::int32_t>(number);
}

void checkEnvelope(const platform::Bytes& body, const std::optional<GCResultInfo>& result)
{
    auto parsed = platform::PlatformJson::read(body);
    if (!parsed || !parsed->isDictionary()) {
        check(!result);
        return;
    }
    check(result.has_value());
    const platform::Dictionary& dict = *parsed->asDictionary();
    const Value& code = dict.get("code");
    if (!code.isNumber()) {
        check(result->code == -1 && !result->message && result->data.isNull() && !result->requestTime);
        check(!isSuccess(result));
        return;
    }
    auto meant = wholeCode(code);
    check(result->code == (meant ? *meant : GCResultInfo::kUnreadableCode));
    check(isSuccess(result) == (meant && *meant == 0));
    const auto* message = dict.get("message").asString();
    check(message ? result->message == *message : !result->message);
    check(result->data == dict.get("data"));
}

void checkUser(const Value& obj)
{
    auto user = GCUserInfo::instanceWithObj(obj);
    check(static_cast<bool>(user) == obj.isDictionary());
    if (!user)
        return;
    auto back = GCUserInfo::unarchive(user->archive());
    check(back != nullptr);
    check(back->uid == user->uid && back->sid == user->sid && back->name == user->name && back->intro == user->intro
        && back->avatar == user->avatar && back->allowAnswer == user->allowAnswer && back->type == user->type
        && back->account == user->account && back->verifyState == user->verifyState
        && back->verifyMessage == user->verifyMessage && back->accessToken == user->accessToken);
    check(back->messageUnreadCount == 0);
}

void checkSubject(const Value& obj)
{
    auto subject = GCSubjectInfo::instanceWithObj(obj);
    const auto* sid = obj.isDictionary() ? obj["sid"].asString() : nullptr;
    check(static_cast<bool>(subject) == (sid != nullptr));
    if (subject) {
        check(subject->sid == *sid);
        check(subject->isListed() == ((subject->type & 2) != 0));
    }
}

std::shared_ptr<GCLessonInfo> checkLesson(const Value& obj)
{
    auto lesson = GCLessonInfo::instanceWithObj(obj);
    check(static_cast<bool>(lesson) == obj.isDictionary());
    if (!lesson)
        return nullptr;
    check(static_cast<bool>(lesson->name()) == static_cast<bool>(lesson->namePy()));
    check(static_cast<bool>(lesson->keyword()) == static_cast<bool>(lesson->keywordPy()));
    const std::string& letter = lesson->nameFc();
    if (letter != "#") {
        // One whole character, the first of the pinyin.
        check(lesson->namePy() && platform::isValidUtf8(letter));
        check(platform::composedCharacters(letter).size() == 1);
        check(lesson->namePy()->compare(0, letter.size(), letter) == 0);
    }
    if (lesson->videos) {
        const auto* videos = obj["videos"].asArray();
        check(videos && lesson->videos->size() <= videos->size());
        for (const auto& video : *lesson->videos)
            check(video && video->isPlayable() == (video->isFree && !video->isLock));
    }
    return lesson;
}

void checkLive(const Value& obj)
{
    auto live = GCLiveVideoInfo::instanceWithObj(obj);
    check(static_cast<bool>(live) == obj.isDictionary());
    if (live && live->items)
        check(!live->items->empty());
}

void checkSearch(const std::string& text, const std::vector<std::shared_ptr<GCLessonInfo>>& lessons)
{
    LessonSearch search(text);
    auto kept = search.filter(lessons);
    std::size_t matching = 0;
    for (const auto& lesson : lessons)
        matching += search.isEmpty() || search.matches(*lesson) ? 1 : 0;
    check(kept.size() == matching);
    for (std::size_t i = 0; i < kept.size(); ++i) {
        check(search.isEmpty() || search.matches(*kept[i]));
        if (i == 0)
            continue;
        // Unnamed lessons first, then by pinyin.
        const auto& before = kept[i - 1]->namePy();
        const auto& after = kept[i]->namePy();
        if (!after)
            check(!before);
        else if (before)
            check(*before <= *after);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::quietLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzsupport::Input input(data, size);
    const std::string text = input.takeText();
    const std::string rest = input.rest();
    const platform::Bytes body(rest.begin(), rest.end());

    auto result = GCResultInfo::instanceWithObj(body);
    checkEnvelope(body, result);
    if (!result)
        return 0;

    // Login and the detail APIs answer one object; the list APIs a list of them.
    std::vector<const Value*> objects { &result->data };
    if (const auto* list = result->data.asArray()) {
        for (const auto& element : *list)
            objects.push_back(&element);
    }
    std::vector<std::shared_ptr<GCLessonInfo>> lessons;
    for (const Value* obj : objects) {
        checkUser(*obj);
        checkSubject(*obj);
        checkLive(*obj);
        if (auto lesson = checkLesson(*obj))
            lessons.push_back(std::move(lesson));
    }
    checkSearch(text, lessons);
    return 0;
}
