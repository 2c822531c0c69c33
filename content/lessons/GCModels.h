#pragma once

#include "platform/os/Value.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace content {

// The lesson service's objects as the portal screens use them. Every field is
// read only when the JSON value has the expected kind; anything else leaves the
// field at its initial value. A model is made from a dictionary only:
// instanceWithObj answers nothing for any other value.
class GCBaseInfo : public platform::Object {
public:
    std::int32_t uid = 0;

protected:
    void readBase(const platform::Dictionary& dict);
};

class GCUserInfo final : public GCBaseInfo {
public:
    std::string className() const override { return "GCUserInfo"; }
    static std::shared_ptr<GCUserInfo> instanceWithObj(const platform::Value& obj);

    std::int32_t sid = 0;
    std::optional<std::string> name;
    std::optional<std::string> intro;
    std::optional<std::string> avatar;
    bool allowAnswer = false;
    std::int32_t type = 0;
    std::optional<std::string> account;
    std::int32_t verifyState = 0;
    std::optional<std::string> verifyMessage;
    std::optional<std::string> accessToken;
    std::int32_t messageUnreadCount = 0; // never archived
    bool introVisible = false; // never read nor archived

    // The archive kept across launches: the base's "uid" and the user's keys,
    // tagged with the class so that anything else is recognised as foreign.
    platform::Bytes archive() const;
    // Nothing when the bytes are not an archive of a user.
    static std::shared_ptr<GCUserInfo> unarchive(const platform::Bytes& bytes);
};

class GCSubjectInfo final : public GCBaseInfo {
public:
    // Nothing also when "sid" is not a text: a subject without its key is no subject.
    static std::shared_ptr<GCSubjectInfo> instanceWithObj(const platform::Value& obj);

    std::string sid;
    std::optional<std::string> name;
    std::optional<std::string> icon;
    std::int32_t type = 0;
    // Bit value 2 of the type: the subjects the portal home lists.
    bool isListed() const { return (type & 2) != 0; }
};

class GCVideoInfo final : public GCBaseInfo {
public:
    static std::shared_ptr<GCVideoInfo> instanceWithObj(const platform::Value& obj);

    std::int32_t favoriteUid = 0;
    std::int32_t favoriteTypeUid = 0;
    std::optional<std::string> name;
    std::int32_t views = 0;
    std::optional<std::string> difficulties;
    std::optional<std::string> keyPoint;
    std::int32_t minutes = 0;
    std::optional<std::string> keyword;
    std::optional<std::string> intro;
    std::optional<std::string> preview;
    std::optional<std::string> src;
    bool isFree = false;
    bool isLock = false;
    std::shared_ptr<GCUserInfo> lector;
    bool introVisible = false;

    // Only a free video that is not locked plays.
    bool isPlayable() const { return isFree && !isLock; }
};

class GCLessonInfo final : public GCBaseInfo {
public:
    static std::shared_ptr<GCLessonInfo> instanceWithObj(const platform::Value& obj);

    // Setting the name sets its upper-case pinyin and that pinyin's first
    // whole character ("#" without a name; an empty pinyin keeps the one before).
    void setName(std::optional<std::string> name);
    const std::optional<std::string>& name() const { return name_; }
    const std::optional<std::string>& namePy() const { return namePy_; }
    const std::string& nameFc() const { return nameFc_; }
    void setKeyword(std::optional<std::string> keyword);
    const std::optional<std::string>& keyword() const { return keyword_; }
    const std::optional<std::string>& keywordPy() const { return keywordPy_; }

    std::int32_t videoCount = 0;
    std::optional<std::string> intro;
    bool introVisible = false;
    // Set only when the reply's "videos" is an array.
    std::optional<std::vector<std::shared_ptr<GCVideoInfo>>> videos;

private:
    std::optional<std::string> name_;
    std::optional<std::string> namePy_;
    std::string nameFc_ = "#";
    std::optional<std::string> keyword_;
    std::optional<std::string> keywordPy_;
};

class GCLiveVideoItemInfo final : public GCBaseInfo {
public:
    static std::shared_ptr<GCLiveVideoItemInfo> instanceWithObj(const platform::Value& obj);

    std::int32_t order = 0;
    std::optional<std::string> name;
    std::optional<std::string> intro;
    // 2 live now, 3 ended, anything else not started yet.
    std::int32_t state = 0;
    std::optional<platform::Date> startTime;
    std::optional<std::string> src;
    bool introVisible = false;
};

class GCLiveVideoInfo final : public GCBaseInfo {
public:
    static std::shared_ptr<GCLiveVideoInfo> instanceWithObj(const platform::Value& obj);

    std::optional<std::string> name;
    std::optional<std::string> intro;
    std::optional<std::string> image;
    std::optional<std::string> link;
    std::shared_ptr<GCUserInfo> lector;
    std::int32_t favoriteUid = 0;
    std::int32_t favoriteTypeUid = 0;
    std::shared_ptr<GCLiveVideoItemInfo> top;
    // Set only when the reply gives at least one item.
    std::optional<std::vector<std::shared_ptr<GCLiveVideoItemInfo>>> items;
    bool introVisible = false;
};

// "yyyy-MM-dd HH:mm:ss" in the device's zone, as the service writes its times.
std::optional<platform::Date> parseServiceTime(const platform::Value& value);
// A number of the service's replies: a whole number within the signed 32-bit
// range; nullopt for anything else (a fraction, a number past the range, a
// boolean, text), never its truncation or low 32 bits.
std::optional<std::int32_t> wholeInt32(const platform::Value& value);

} // namespace content
