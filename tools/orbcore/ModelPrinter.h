#pragma once

#include "platform/os/Value.h"

#include <string>

namespace orbcore {

// The value a success block received, with every model replaced by a
// dictionary of its fields, so that it can be written as JSON.
platform::Value printable(const platform::Value& value);

// printable(value) as indented JSON; values without a JSON form (bytes,
// dates) are written as their description.
std::string printableJson(const platform::Value& value);

// Parameters given as JSON, with the records some command types read turned
// into records: "weiboInfo" (a new post), "homework", "noticeInfo", and the
// photo lists under "files" ({"url": ..., "thumbUrl": ...}).
platform::Value paramsFromJson(const platform::Value& json);

} // namespace orbcore
