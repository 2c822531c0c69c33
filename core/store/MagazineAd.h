#pragma once

#include "platform/os/Value.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace core {

// One advertisement of the magazine list. The list is kept in the per-account
// settings rather than the database, as an archive of dictionaries under the
// keys "name", "image" and "url".
struct MagazineAd final : platform::Object {
    std::string adName;
    std::string adUrl;
    std::string adImage;

    // The archived form: "name", "image", "url", in that order.
    platform::Dictionary encodeWithCoder() const;
    // Missing or non-text members read as empty texts.
    static std::shared_ptr<MagazineAd> initWithCoder(const platform::Value& archive);

    // The whole list as bytes for a setting, and back. Reading bytes that are
    // not such an archive gives nothing; elements of another shape are skipped.
    static platform::Bytes archiveList(const std::vector<std::shared_ptr<MagazineAd>>& ads);
    static std::optional<std::vector<std::shared_ptr<MagazineAd>>> unarchiveList(const platform::Bytes& data);

    std::string className() const override { return "MagazineAd"; }
};

} // namespace core
