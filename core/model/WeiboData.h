#pragma once

#include "core/model/WeiboImage.h"
#include "platform/os/Value.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace core {

// One class-circle post of the feed.
struct WeiboData final : platform::Object {
    long long weiboId = 0;
    long long senderId = 0;
    int senderType = 0;
    std::string senderName;
    std::string content; // with the server's few HTML entities and breaks turned into text
    std::string orgUserPic;
    std::string thumbAvatar;
    std::string dataTime;
    int commentNum = 0;
    int praise = 0;
    std::vector<std::shared_ptr<WeiboImage>> images;

    // Null for anything but a dictionary. Numbers may come as texts of digits.
    static std::shared_ptr<WeiboData> initWithDictionary(const platform::Value& dictionary);

    // The post text as shown: "<!---->" a tab, "<br/>" a line feed, "&nbsp;"
    // a space, "&ldquo;" and "&rdquo;" curly quotes.
    static std::string plainContent(std::string content);

    // The layout's mark for a new row.
    static constexpr const char* kRowMark = "◆";
    // The content as the feed lays it out, each line break a row mark. Worked
    // out once for each text: a row is measured and drawn again and again.
    const std::string& rowText() const;

    std::string className() const override { return "WeiboData"; }

private:
    mutable std::string rowText_;
    mutable std::optional<std::string> rowTextOf_;
};

} // namespace core
