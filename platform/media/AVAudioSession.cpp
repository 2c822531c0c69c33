#include "platform/media/AVAudioSession.h"

#include "platform/media/MediaErrors.h"
#include "platform/os/NotificationCenter.h"

#include <array>

namespace platform {

namespace {

    constexpr std::array<const char*, 5> kCategories = {
        AVAudioSessionCategoryAmbient,
        AVAudioSessionCategorySoloAmbient,
        AVAudioSessionCategoryPlayback,
        AVAudioSessionCategoryRecord,
        AVAudioSessionCategoryPlayAndRecord,
    };

    const char* categoryForCode(std::uint32_t code)
    {
        switch (static_cast<AudioSessionCategoryCode>(code)) {
        case AudioSessionCategoryCode::Ambient:
            return AVAudioSessionCategoryAmbient;
        case AudioSessionCategoryCode::SoloAmbient:
            return AVAudioSessionCategorySoloAmbient;
        case AudioSessionCategoryCode::MediaPlayback:
            return AVAudioSessionCategoryPlayback;
        case AudioSessionCategoryCode::RecordAudio:
            return AVAudioSessionCategoryRecord;
        case AudioSessionCategoryCode::PlayAndRecord:
            return AVAudioSessionCategoryPlayAndRecord;
        }
        return nullptr;
    }

    bool isRecordingCategory(std::string_view category)
    {
        return category == AVAudioSessionCategoryRecord || category == AVAudioSessionCategoryPlayAndRecord;
    }

} // namespace

const char* audioOutputRouteName(AudioOutputRoute route)
{
    return route == AudioOutputRoute::Receiver ? "Receiver" : "Speaker";
}

AVAudioSession& AVAudioSession::sharedInstance()
{
    // Never destroyed: players and screens stop their sound on the way out of
    // the process, whatever was torn down before them.
    static auto* session = new AVAudioSession();
    return *session;
}

AVAudioSession::AVAudioSession() { resetForTesting(); }

void AVAudioSession::resetForTesting()
{
    category_ = AVAudioSessionCategorySoloAmbient;
    active_ = false;
    override_ = AVAudioSessionPortOverride::None;
    inputAvailable_ = true;
    interrupted_ = false;
    history_.clear();
}

bool AVAudioSession::allowsRecording() const { return isRecordingCategory(category_); }

AudioOutputRoute AVAudioSession::currentRoute() const
{
    if (category_ == AVAudioSessionCategoryPlayAndRecord && override_ != AVAudioSessionPortOverride::Speaker)
        return AudioOutputRoute::Receiver;
    return AudioOutputRoute::Speaker;
}

void AVAudioSession::record(const char* what) { history_.push_back({ what, category_, currentRoute(), active_ }); }

void AVAudioSession::routeMayHaveChanged(AudioOutputRoute before, AVAudioSessionRouteChangeReason reason)
{
    if (currentRoute() == before)
        return;
    NotificationCenter::defaultCenter().post(AVAudioSessionRouteChangeNotification, {},
        { { AVAudioSessionRouteChangeReasonKey, static_cast<int>(reason) } });
}

bool AVAudioSession::setCategory(std::string_view category, Error* error)
{
    bool known = false;
    for (const char* name : kCategories)
        known = known || category == name;
    if (!known) {
        setError(error, mediaError(kMediaErrorParameter, "unknown audio session category: " + std::string(category)));
        return false;
    }
    if (isRecordingCategory(category) && !inputAvailable_) {
        setError(error, mediaError(kMediaErrorCannotStartRecording, "no sound input for a recording category"));
        return false;
    }
    if (category == category_)
        return true;
    AudioOutputRoute before = currentRoute();
    category_ = category;
    // An output override lasts only until the category changes.
    override_ = AVAudioSessionPortOverride::None;
    record("category");
    routeMayHaveChanged(before, AVAudioSessionRouteChangeReason::CategoryChange);
    return true;
}

bool AVAudioSession::setCategoryCode(std::uint32_t code, Error* error)
{
    const char* category = categoryForCode(code);
    if (!category) {
        setError(error, mediaError(kMediaErrorParameter, "unknown audio category code"));
        return false;
    }
    return setCategory(category, error);
}

bool AVAudioSession::setActive(bool active, Error* error)
{
    if (active && interrupted_) {
        setError(error, mediaError(kMediaErrorInsufficientPriority, "the sound is taken by another party"));
        return false;
    }
    if (active == active_)
        return true;
    active_ = active;
    record("active");
    return true;
}

bool AVAudioSession::overrideOutputAudioPort(AVAudioSessionPortOverride port, Error* error)
{
    if (port != AVAudioSessionPortOverride::None && port != AVAudioSessionPortOverride::Speaker) {
        setError(error, mediaError(kMediaErrorParameter, "unknown output override"));
        return false;
    }
    AudioOutputRoute before = currentRoute();
    override_ = port;
    record("override");
    routeMayHaveChanged(before, AVAudioSessionRouteChangeReason::Override);
    return true;
}

bool AVAudioSession::setRouteOverrideCode(std::uint32_t code, Error* error)
{
    return overrideOutputAudioPort(static_cast<AVAudioSessionPortOverride>(code), error);
}

std::vector<AudioOutputRoute> AVAudioSession::routeHistory() const
{
    std::vector<AudioOutputRoute> routes;
    for (const Change& change : history_) {
        if (routes.empty() || routes.back() != change.route)
            routes.push_back(change.route);
    }
    return routes;
}

void AVAudioSession::beginInterruption()
{
    if (interrupted_)
        return;
    interrupted_ = true;
    if (active_) {
        active_ = false;
        record("active");
    }
    NotificationCenter::defaultCenter().post(AVAudioSessionInterruptionNotification, {},
        { { AVAudioSessionInterruptionTypeKey, static_cast<int>(AVAudioSessionInterruptionType::Began) } });
}

void AVAudioSession::endInterruption(bool shouldResume)
{
    if (!interrupted_)
        return;
    interrupted_ = false;
    NotificationCenter::defaultCenter().post(AVAudioSessionInterruptionNotification, {},
        { { AVAudioSessionInterruptionTypeKey, static_cast<int>(AVAudioSessionInterruptionType::Ended) },
            { AVAudioSessionInterruptionOptionKey,
                shouldResume ? AVAudioSessionInterruptionOptionShouldResume : 0u } });
}

} // namespace platform
