#pragma once

namespace platform {

inline constexpr const char* UIDeviceProximityStateDidChangeNotification
    = "UIDeviceProximityStateDidChangeNotification";

// The sensor that tells whether the phone is held to the ear. Its state reads
// "close" only while monitoring is on; each change of that reading is
// announced on the default notification centre. Tests move the "object" in
// front of the sensor. Main thread only.
class ProximitySensor final {
public:
    static ProximitySensor& shared();

    // Without a sensor, monitoring stays off whatever is asked.
    void setMonitoringEnabled(bool enabled);
    bool isMonitoringEnabled() const { return monitoring_; }
    // True when close to the user.
    bool state() const { return monitoring_ && near_; }

    // Tests and harness.
    void setObjectNear(bool near);
    bool isObjectNear() const { return near_; }
    void setSensorAvailable(bool available);
    bool isSensorAvailable() const { return available_; }
    // A sensor present, monitoring off, nothing near.
    void resetForTesting();

private:
    ProximitySensor() = default;
    void announceIfChanged(bool before);

    bool available_ = true;
    bool monitoring_ = false;
    bool near_ = false;
};

} // namespace platform
