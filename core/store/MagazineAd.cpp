#include "core/store/MagazineAd.h"

#include "platform/os/PropertyList.h"

namespace core {

platform::Dictionary MagazineAd::encodeWithCoder() const
{
    // What a property list cannot hold (a control character in a name from
    // the server) is left out of that text alone: the other texts and the
    // other advertisements are kept as they came.
    return platform::Dictionary { { "name", platform::PropertyList::holdableText(adName) },
        { "image", platform::PropertyList::holdableText(adImage) },
        { "url", platform::PropertyList::holdableText(adUrl) } };
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
