#include "core/util/GlobalColor.h"

#include "platform/os/Bundle.h"
#include "platform/os/PropertyList.h"

#include <cctype>

namespace core {

namespace {

    // The list holds six hexadecimal digits per colour. The colour parser reads
    // any other six characters leniently; such an entry is a mistake in the list
    // and is skipped rather than shown as some other colour.
    bool isSixHexDigits(const std::string& text)
    {
        if (text.size() != 6)
            return false;
        for (char c : text) {
            if (!std::isxdigit(static_cast<unsigned char>(c)))
                return false;
        }
        return true;
    }

} // namespace

std::shared_ptr<GlobalColor> GlobalColor::instance()
{
    static const std::shared_ptr<GlobalColor> shared = std::make_shared<GlobalColor>();
    return shared;
}

void GlobalColor::setPlist(const std::string& name) { instance()->loadPlist(name); }

std::optional<platform::Color> GlobalColor::getColor(const std::string& name) { return instance()->colorNamed(name); }

void GlobalColor::loadPlist(const std::string& name)
{
    plist_ = name;
    Colors loaded;
    std::optional<platform::Value> list;
    if (auto path = platform::Bundle::main()->pathForResource(name, "plist"))
        list = platform::PropertyList::readFile(*path);
    if (list) {
        if (const auto* entries = list->asDictionary()) {
            for (const auto& [key, value] : *entries) {
                const auto* text = value["color"].asString();
                if (!value.isDictionary() || !text || !isSixHexDigits(*text))
                    continue;
                if (auto color = platform::colorFromSixDigitHex(*text))
                    loaded[key] = *color;
            }
        }
    }
    colors_ = std::move(loaded);
}

std::optional<platform::Color> GlobalColor::colorNamed(const std::string& name) const
{
    auto it = colors_.find(name);
    if (it == colors_.end())
        return std::nullopt;
    return it->second;
}

} // namespace core
