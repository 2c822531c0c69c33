#pragma once

#include "platform/os/Value.h"

#include <optional>
#include <string>
#include <string_view>

namespace foundation {

// Turns dates into text and back with a fixed pattern, a fixed offset from GMT
// and English month and day names, so that stored dates read the same on every
// device. Pattern letters follow the usual date-format conventions: y, M (1-4
// letters), d, H, h, a, m, s, S (fraction digits), E (day name, writing only),
// Z (+hhmm offset); text in single quotes is literal and '' writes a quote.
class SQLDateFormatter final {
public:
    explicit SQLDateFormatter(std::string dateFormat, int secondsFromGMT = 0, std::string localeIdentifier = "en_US");

    const std::string& dateFormat() const { return dateFormat_; }
    int secondsFromGMT() const { return secondsFromGMT_; }
    const std::string& localeIdentifier() const { return localeIdentifier_; }

    std::string stringFromDate(platform::Date date) const;
    // Nothing when the text does not match the whole pattern.
    std::optional<platform::Date> dateFromString(std::string_view text) const;

private:
    std::string dateFormat_;
    int secondsFromGMT_;
    std::string localeIdentifier_;
};

} // namespace foundation
