#pragma once

#include "platform/os/Error.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

inline constexpr const char* AVAudioSessionCategoryAmbient = "AVAudioSessionCategoryAmbient";
inline constexpr const char* AVAudioSessionCategorySoloAmbient = "AVAudioSessionCategorySoloAmbient";
inline constexpr const char* AVAudioSessionCategoryPlayback = "AVAudioSessionCategoryPlayback";
inline constexpr const char* AVAudioSessionCategoryRecord = "AVAudioSessionCategoryRecord";
inline constexpr const char* AVAudioSessionCategoryPlayAndRecord = "AVAudioSessionCategoryPlayAndRecord";

inline constexpr const char* AVAudioSessionInterruptionNotification = "AVAudioSessionInterruptionNotification";
inline constexpr const char* AVAudioSessionInterruptionTypeKey = "AVAudioSessionInterruptionTypeKey";
inline constexpr const char* AVAudioSessionInterruptionOptionKey = "AVAudioSessionInterruptionOptionKey";
inline constexpr const char* AVAudioSessionRouteChangeNotification = "AVAudioSessionRouteChangeNotification";
inline constexpr const char* AVAudioSessionRouteChangeReasonKey = "AVAudioSessionRouteChangeReasonKey";

enum class AVAudioSessionInterruptionType { Ended = 0, Began = 1 };
inline constexpr unsigned AVAudioSessionInterruptionOptionShouldResume = 1;
enum class AVAudioSessionRouteChangeReason { CategoryChange = 3, Override = 4 };

// Where sound comes out. The earpiece ("receiver") is used only by the
// play-and-record category, unless the output is overridden to the speaker.
enum class AudioOutputRoute { Speaker, Receiver };
enum class AVAudioSessionPortOverride : std::uint32_t { None = 0, Speaker = 0x73706B72 /* spkr */ };

// The older property interface names categories by four-character codes; it
// sets the same category as the named one.
enum class AudioSessionCategoryCode : std::uint32_t {
    Ambient = 0x616D6269, // ambi
    SoloAmbient = 0x736F6C6F, // solo
    MediaPlayback = 0x6D656469, // medi
    RecordAudio = 0x72656361, // reca
    PlayAndRecord = 0x706C6172, // plar
};

const char* audioOutputRouteName(AudioOutputRoute route);

// The process's audio session: what kind of sound the program makes, whether
// it is active, and where the output goes. There is no sound device; the
// session keeps the state and the history of its changes for tests.
// Main thread only.
class AVAudioSession final {
public:
    static AVAudioSession& sharedInstance();

    // An unknown category is refused (parameter error). The recording
    // categories are refused while the device has no sound input.
    bool setCategory(std::string_view category, Error* error = nullptr);
    const std::string& category() const { return category_; }
    bool allowsRecording() const;

    // Activation is refused while another party holds the sound (an interruption).
    bool setActive(bool active, Error* error = nullptr);
    bool isActive() const { return active_; }

    // Holds until the category changes.
    bool overrideOutputAudioPort(AVAudioSessionPortOverride port, Error* error = nullptr);
    AVAudioSessionPortOverride outputOverride() const { return override_; }
    AudioOutputRoute currentRoute() const;

    // The property interface: category by code, route override by code
    // (0 none, "spkr" the speaker); other values are refused.
    bool setCategoryCode(std::uint32_t code, Error* error = nullptr);
    bool setRouteOverrideCode(std::uint32_t code, Error* error = nullptr);

    bool isInputAvailable() const { return inputAvailable_; }

    // One entry per change of category, override, route or activity.
    struct Change {
        std::string what; // "category", "override", "active"
        std::string category;
        AudioOutputRoute route;
        bool active;
    };
    const std::vector<Change>& history() const { return history_; }
    std::vector<AudioOutputRoute> routeHistory() const;

    // Tests and harness.
    void setInputAvailable(bool available) { inputAvailable_ = available; }
    // Another party takes the sound (a call): the session goes inactive and
    // the interruption is announced; players and recorders pause.
    void beginInterruption();
    void endInterruption(bool shouldResume);
    bool isInterrupted() const { return interrupted_; }
    // Back to the launch state: solo ambient, inactive, no override, input present.
    void resetForTesting();

private:
    AVAudioSession();
    void record(const char* what);
    void routeMayHaveChanged(AudioOutputRoute before, AVAudioSessionRouteChangeReason reason);

    std::string category_;
    bool active_ = false;
    AVAudioSessionPortOverride override_ = AVAudioSessionPortOverride::None;
    bool inputAvailable_ = true;
    bool interrupted_ = false;
    std::vector<Change> history_;
};

} // namespace platform
