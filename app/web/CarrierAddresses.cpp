#include "app/web/CarrierAddresses.h"

#include <cstdlib>

namespace CarrierAddresses {

namespace {

constexpr const char* kPigeon = "http://pigeon.orb-carrier.cn/im/";
constexpr const char* kParley = "http://pigeon.orb-carrier.cn/im/parley/";
constexpr const char* kNimbus = "http://mail.orb-carrier.cn/nimbus/";

// Main thread only, like the screens that ask.
std::optional<std::string>& chosenBase()
{
    static std::optional<std::string> base;
    return base;
}

std::optional<std::string> base()
{
    if (chosenBase())
        return chosenBase();
    const char* fromEnvironment = std::getenv("ORB_CARRIER_BASE");
    if (!fromEnvironment || !*fromEnvironment)
        return std::nullopt;
    std::string text = fromEnvironment;
    if (text.back() != '/')
        text += '/';
    return text;
}

std::string address(const char* carrier, const char* path)
{
    auto other = base();
    return other ? *other + path : std::string(carrier);
}

} // namespace

std::string pigeon() { return address(kPigeon, "pigeon/"); }
std::string parley() { return address(kParley, "pigeon/parley/"); }
std::string nimbus() { return address(kNimbus, "nimbus/"); }

void setBase(std::optional<std::string> value)
{
    if (value && !value->empty() && value->back() != '/')
        *value += '/';
    chosenBase() = std::move(value);
}

} // namespace CarrierAddresses
