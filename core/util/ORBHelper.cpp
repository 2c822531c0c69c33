#include "core/util/ORBHelper.h"

#include "core/session/MyAccountInfo.h"
#include "platform/crypto/TripleDes.h"
#include "platform/os/AppPaths.h"
#include "platform/os/DateFormat.h"
#include "platform/os/Log.h"
#include "platform/os/StringUtil.h"
#include "platform/os/UserDefaults.h"

namespace core {

namespace {

    int currentUid()
    {
        auto account = MyAccountInfo::currentAccount();
        return account ? account->uid : 0;
    }

    // The value a missing setting starts with; null for the numbers without one.
    platform::Value defaultForKey(int key)
    {
        switch (key) {
        case 0:
        case 1:
        case ORBHelper::kMagazineUpdateTime:
            return platform::Value(std::string());
        case ORBHelper::kZoneNavigationType:
            return platform::Value(-1);
        case ORBHelper::kMagazineHasAds:
            return platform::Value(false);
        case ORBHelper::kMagazineShowsGuide:
            return platform::Value(true);
        default:
            return {};
        }
    }

    const char* writePattern(int type)
    {
        switch (type) {
        case 0:
            return "yyyy-MM-dd HH:mm:ss";
        case 2:
            return "yyyy";
        case 3:
            return "MM";
        case 4:
            return "dd";
        case 5:
            return "MM月dd日 HH:mm";
        default:
            return "yyyy-MM-dd";
        }
    }

    // Reading knows no "MM月dd日" form: type 5 reads the plain date like any other type.
    const char* readPattern(int type) { return type == 5 ? "yyyy-MM-dd" : writePattern(type); }

    bool isEmojiSequence(const std::u16string& units)
    {
        if (units.empty())
            return false;
        char16_t first = units[0];
        if (first >= 0xD800 && first <= 0xDBFF) {
            if (units.size() < 2)
                return false;
            char32_t cp = 0x10000 + ((static_cast<char32_t>(first) - 0xD800) << 10)
                + (static_cast<char32_t>(units[1]) - 0xDC00);
            return cp >= 0x1D000 && cp <= 0x1F77F;
        }
        if (units.size() >= 2)
            return units[1] == 0x20E3;
        char16_t u = first;
        if ((u >= 0x2100 && u <= 0x27FF) || (u >= 0x2B05 && u <= 0x2B07) || (u >= 0x2934 && u <= 0x2935)
            || (u >= 0x3297 && u <= 0x3299))
            return true;
        switch (u) {
        case 0x00A9:
        case 0x00AE:
        case 0x2B1B:
        case 0x2B1C:
        case 0x2B50:
        case 0x2B55:
        case 0x3030:
        case 0x303D:
            return true;
        default:
            return false;
        }
    }

} // namespace

std::string ORBHelper::userDefaultKey(int key) { return platform::format("user_default_%d_%d", currentUid(), key); }

platform::Value ORBHelper::userDefaultForKey(int key)
{
    auto defaults = platform::UserDefaults::standard();
    std::string name = userDefaultKey(key);
    platform::Value stored = defaults->objectForKey(name);
    if (!stored.isNull())
        return stored;
    platform::Value initial = defaultForKey(key);
    // A number without a default stays absent: writing null would only remove nothing.
    if (initial.isNull())
        return {};
    userDefaultSettingForKey(key, initial);
    return defaults->objectForKey(name);
}

void ORBHelper::userDefaultSettingForKey(int key, const platform::Value& value)
{
    auto defaults = platform::UserDefaults::standard();
    std::string name = userDefaultKey(key);
    if (value.isNull())
        defaults->removeObjectForKey(name);
    else
        defaults->setObject(value, name);
    defaults->synchronize();
}

std::string ORBHelper::documentPath() { return platform::AppPaths::documentsDirectory(); }

std::string ORBHelper::stringFromDate(platform::Date date, int withType)
{
    return platform::DateFormatter(writePattern(withType)).stringFromDate(date);
}

std::optional<platform::Date> ORBHelper::dateFromString(std::string_view string, int withType)
{
    return platform::DateFormatter(readPattern(withType)).dateFromString(string);
}

int ORBHelper::unicodeLengthOfString(std::string_view string)
{
    long long sum = 0;
    for (char32_t cp : platform::codePoints(string)) {
        if (cp < 128)
            sum += 1;
        else
            sum += cp > 0xFFFF ? 4 : 2; // two UTF-16 units, each counting 2
    }
    return static_cast<int>((sum + 1) / 2);
}

platform::Value ORBHelper::tripleDES(const platform::Value& input, int encryptOrDecrypt)
{
    std::string_view key(kTripleDesKey);
    if (encryptOrDecrypt == 0) {
        platform::Bytes plain;
        if (const auto* text = input.asString())
            plain.assign(text->begin(), text->end());
        else if (const auto* data = input.asData())
            plain = *data;
        else
            return {};
        auto cipher = platform::TripleDes::encrypt(plain, platform::Bytes(key.begin(), key.end()));
        return cipher ? platform::Value(std::move(*cipher)) : platform::Value();
    }
    if (encryptOrDecrypt == 1) {
        const auto* data = input.asData();
        if (!data)
            return {};
        auto text = platform::TripleDes::decryptText(*data, key);
        return text ? platform::Value(std::move(*text)) : platform::Value();
    }
    return {};
}

platform::Color ORBHelper::colorFromHexString(std::string_view string) { return platform::colorFromHexString(string); }

void ORBHelper::getImageRange(std::string_view message, std::vector<std::string>& array)
{
    // Brackets are single bytes that never occur inside a multi-byte UTF-8
    // character, so byte positions are safe to cut at.
    std::string_view rest = message;
    for (;;) {
        std::size_t open = rest.find('[');
        std::size_t close = rest.find(']');
        if (open == std::string_view::npos || close == std::string_view::npos) {
            array.emplace_back(rest);
            return;
        }
        // A "]" before the first "[" is plain text: the bracketed part ends at
        // the first "]" after the "[", and without one the rest is all text.
        if (close < open) {
            close = rest.find(']', open);
            if (close == std::string_view::npos) {
                array.emplace_back(rest);
                return;
            }
        }
        if (open > 0)
            array.emplace_back(rest.substr(0, open));
        array.emplace_back(rest.substr(open, close - open + 1));
        rest = rest.substr(close + 1);
    }
}

int ORBHelper::subRangeLocationWithEmoji(std::string_view string)
{
    for (const auto& character : platform::composedCharacters(string)) {
        auto units = platform::toUtf16(string.substr(character.byteOffset, character.byteLength));
        if (units && isEmojiSequence(*units))
            return static_cast<int>(character.utf16Offset);
    }
    return -1;
}

} // namespace core
