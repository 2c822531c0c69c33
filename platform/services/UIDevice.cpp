#include "platform/services/UIDevice.h"

#include "platform/media/ProximitySensor.h"
#include "platform/os/NotificationCenter.h"
#include "platform/os/SystemInfo.h"
#include "platform/os/UserDefaults.h"
#include "platform/os/Uuid.h"

#include <cstdlib>
#include <unistd.h>

namespace platform {

namespace {
    std::string hostName()
    {
        char name[256] = {};
        if (::gethostname(name, sizeof name - 1) != 0 || !name[0])
            return "localhost";
        return name;
    }
}

UIDevice& UIDevice::currentDevice()
{
    static UIDevice device;
    return device;
}

UIDevice::UIDevice() { resetForTesting(); }

void UIDevice::resetForTesting()
{
    name_ = hostName();
    model_ = SystemInfo::model();
    systemName_ = SystemInfo::systemName();
    systemVersion_ = "7.0";
    orientation_ = UIDeviceOrientation::Portrait;
    orientationNotifications_ = 0;
}

int UIDevice::systemMajorVersion() const { return std::atoi(systemVersion_.c_str()); }

std::string UIDevice::identifierForVendor() const
{
    auto defaults = UserDefaults::standard();
    if (auto stored = defaults->stringForKey(kIdentifierForVendorDefaultsKey); stored && stored->size() == 36)
        return *stored;
    std::string identifier = makeUuidString();
    defaults->setString(identifier, kIdentifierForVendorDefaultsKey);
    defaults->synchronize();
    return identifier;
}

void UIDevice::beginGeneratingDeviceOrientationNotifications() { ++orientationNotifications_; }

void UIDevice::endGeneratingDeviceOrientationNotifications()
{
    if (orientationNotifications_ > 0)
        --orientationNotifications_;
}

void UIDevice::setOrientation(UIDeviceOrientation orientation)
{
    if (orientation == orientation_)
        return;
    orientation_ = orientation;
    if (isGeneratingDeviceOrientationNotifications())
        NotificationCenter::defaultCenter().post(UIDeviceOrientationDidChangeNotification);
}

bool UIDevice::isProximityMonitoringEnabled() const { return ProximitySensor::shared().isMonitoringEnabled(); }

void UIDevice::setProximityMonitoringEnabled(bool enabled) { ProximitySensor::shared().setMonitoringEnabled(enabled); }

bool UIDevice::proximityState() const { return ProximitySensor::shared().state(); }

} // namespace platform
