#include "core/store/MagazineAd.h"

#include "platform/os/PropertyList.h"

namespace core {

platform::Dictionary MagazineAd::encodeWithCoder() const
{
    return platform::Dictionary { { "name", adName }, { "image", adImage }, { "url", adUrl } };
}

std::shared_ptr<MagazineAd> MagazineAd::initWithCoder(const platform::Value& archive)
{
    if (!archive.isDictionary())
        return nullptr;
    auto ad = std::make_shared<MagazineAd>();
    if (const auto* s = archive["name"].asString())
        ad->adName = *s;
    if (const auto* s = archive["image"].asString())
        ad->adImage = *s;
    if (const auto* s = archive["url"].asString())
        ad->adUrl = *s;
    return ad;
}

platform::Bytes MagazineAd::archiveList(const std::vector<std::shared_ptr<MagazineAd>>& ads)
{
    platform::Array list;
    for (const auto& ad : ads) {
        if (ad)
            list.emplace_back(ad->encodeWithCoder());
    }
    // Texts from the server that XML cannot carry (control characters) leave
    // an empty archive, which reads back as no advertisements.
    auto xml = platform::PropertyList::serialize(platform::Value(std::move(list)));
    if (!xml)
        return {};
    return platform::Bytes(xml->begin(), xml->end());
}

std::optional<std::vector<std::shared_ptr<MagazineAd>>> MagazineAd::unarchiveList(const platform::Bytes& data)
{
    auto value
        = platform::PropertyList::parse(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
    if (!value || !value->isArray())
        return std::nullopt;
    std::vector<std::shared_ptr<MagazineAd>> ads;
    for (const auto& element : *value->asArray()) {
        if (auto ad = initWithCoder(element))
            ads.push_back(std::move(ad));
    }
    return ads;
}

} // namespace core
