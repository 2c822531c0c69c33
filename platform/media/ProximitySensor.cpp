#include "platform/media/ProximitySensor.h"

#include "platform/os/NotificationCenter.h"

namespace platform {

ProximitySensor& ProximitySensor::shared()
{
    // Never destroyed, like the audio session: the voice player turns it off last.
    static auto* sensor = new ProximitySensor();
    return *sensor;
}

void ProximitySensor::announceIfChanged(bool before)
{
    // Turning monitoring off resets the reading without a word: nobody listens any more.
    if (state() != before && monitoring_)
        NotificationCenter::defaultCenter().post(UIDeviceProximityStateDidChangeNotification);
}

void ProximitySensor::setMonitoringEnabled(bool enabled)
{
    bool before = state();
    monitoring_ = enabled && available_;
    announceIfChanged(before);
}

void ProximitySensor::setObjectNear(bool near)
{
    bool before = state();
    near_ = near;
    announceIfChanged(before);
}

void ProximitySensor::setSensorAvailable(bool available)
{
    available_ = available;
    if (!available)
        monitoring_ = false;
}

void ProximitySensor::resetForTesting()
{
    available_ = true;
    monitoring_ = false;
    near_ = false;
}

} // namespace platform
