#pragma once

#include <string>

namespace platform {

inline constexpr const char* UIDeviceOrientationDidChangeNotification = "UIDeviceOrientationDidChangeNotification";
// The user defaults key that keeps the installation's identifier.
inline constexpr const char* kIdentifierForVendorDefaultsKey = "ORBIdentifierForVendor";

enum class UIUserInterfaceIdiom { Phone = 0, Pad = 1 };
enum class UIDeviceOrientation {
    Unknown = 0,
    Portrait = 1,
    PortraitUpsideDown = 2,
    LandscapeLeft = 3,
    LandscapeRight = 4,
    FaceUp = 5,
    FaceDown = 6,
};

// Facts about the device the screens and request bodies read. The machine
// answers its name and kind ("pc"), and the system's name; the system
// version is the platform version the screens are written for ("7.0": their
// older-version branches are not taken), not the kernel's. Tests may change
// each fact. Proximity is the sensor's. Main thread only.
class UIDevice final {
public:
    static UIDevice& currentDevice();

    std::string name() const { return name_; }
    std::string model() const { return model_; }
    std::string localizedModel() const { return model_; }
    std::string systemName() const { return systemName_; }
    std::string systemVersion() const { return systemVersion_; }
    // The leading number of the system version (7 for "7.0.4").
    int systemMajorVersion() const;
    UIUserInterfaceIdiom userInterfaceIdiom() const { return UIUserInterfaceIdiom::Phone; }
    bool isMultitaskingSupported() const { return true; }
    // A UUID made on first use and kept in the standard user defaults, so it
    // lasts as long as the installation's home.
    std::string identifierForVendor() const;

    UIDeviceOrientation orientation() const { return orientation_; }
    void beginGeneratingDeviceOrientationNotifications();
    void endGeneratingDeviceOrientationNotifications();
    bool isGeneratingDeviceOrientationNotifications() const { return orientationNotifications_ > 0; }

    bool isProximityMonitoringEnabled() const;
    void setProximityMonitoringEnabled(bool enabled);
    bool proximityState() const;

    // Tests and harness.
    void setName(std::string name) { name_ = std::move(name); }
    void setModel(std::string model) { model_ = std::move(model); }
    void setSystemName(std::string name) { systemName_ = std::move(name); }
    void setSystemVersion(std::string version) { systemVersion_ = std::move(version); }
    // Turning the device: announced only while notifications are generated.
    void setOrientation(UIDeviceOrientation orientation);
    void resetForTesting();

private:
    UIDevice();

    std::string name_;
    std::string model_;
    std::string systemName_;
    std::string systemVersion_;
    UIDeviceOrientation orientation_ = UIDeviceOrientation::Portrait;
    int orientationNotifications_ = 0;
};

} // namespace platform
