#pragma once

#include "platform/graphics/Color.h"
#include "platform/os/Value.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace core {

// The small jobs every screen shares: settings kept per signed-in account,
// the Documents folder, fixed date formats, the text-length rule of the
// limited text fields, colours from hexadecimal text and the splitting of a
// post text into text runs and bracketed emoji names. Class members only;
// called on the main thread.
class ORBHelper {
public:
    ORBHelper() = delete;

    // Known setting numbers.
    static constexpr int kMagazineUpdateTime = 3;
    static constexpr int kZoneNavigationType = 4;
    static constexpr int kMagazineHasAds = 5;
    static constexpr int kMagazineAds = 6;
    static constexpr int kMagazineShowsGuide = 7;

    // "user_default_<uid>_<n>" for the account in use (uid 0 when signed out).
    static std::string userDefaultKey(int key);
    // The setting n of the account in use. A missing setting is first stored
    // with its default; numbers without a default read as the null value and
    // store nothing.
    static platform::Value userDefaultForKey(int key);
    // Stores the value (null removes the entry) and writes the settings file at once.
    static void userDefaultSettingForKey(int key, const platform::Value& value);

    static std::string documentPath();

    // Patterns by type: 0 "yyyy-MM-dd HH:mm:ss", 1 "yyyy-MM-dd", 2 "yyyy",
    // 3 "MM", 4 "dd", 5 "MM月dd日 HH:mm", others "yyyy-MM-dd"; in the device's zone.
    static std::string stringFromDate(platform::Date date, int withType);
    // The reverse; type 5 and unknown types read "yyyy-MM-dd".
    static std::optional<platform::Date> dateFromString(std::string_view string, int withType);

    // Half the sum of 1 per UTF-16 unit below 128 and 2 per other unit, rounded up.
    static int unicodeLengthOfString(std::string_view string);

    // Triple-DES with the program's key: operation 0 encrypts a text (or bytes)
    // into bytes, 1 decrypts bytes into a text. The null value on failure.
    static constexpr const char* kTripleDesKey = "OrbSchoolHome#2014Client";
    static platform::Value tripleDES(const platform::Value& input, int encryptOrDecrypt);

    // "#" removed; 3 digits doubled, 6 digits opaque, then RRGGBBAA. Text that
    // is not hexadecimal is transparent black; more than 8 digits saturate.
    static platform::Color colorFromHexString(std::string_view string);

    // Appends the text runs and bracketed parts of a post text, in order.
    static void getImageRange(std::string_view message, std::vector<std::string>& array);

    // UTF-16 position of the first emoji character, or -1.
    static int subRangeLocationWithEmoji(std::string_view string);
};

} // namespace core
