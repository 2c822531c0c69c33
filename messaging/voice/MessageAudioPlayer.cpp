#include "messaging/voice/MessageAudioPlayer.h"

#include "foundation/http/HTTPRequest.h"
#include "foundation/voice/VoiceFileConverter.h"
#include "foundation/voice/WavAmrFile.h"
#include "platform/crypto/Md5.h"
#include "platform/media/AVAudioSession.h"
#include "platform/media/ProximitySensor.h"
#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"
#include "platform/os/RunLoop.h"
#include "platform/os/Url.h"

#include <algorithm>
#include <utility>

using foundation::HTTPRequest;

using core::SoundInfo;
using platform::AVAudioSession;
using platform::FileUtil;
using platform::ProximitySensor;

namespace {

constexpr int kHttpOk = 200;

void setCategory(const char* category)
{
    platform::Error error;
    if (!AVAudioSession::sharedInstance().setCategory(category, &error))
        platform::log("audio session category %s refused: %s\n", category, error.localizedDescription().c_str());
}

} // namespace

// Never destroyed: a screen may stop the sound while the process ends, after
// any other shared object has gone, and must find the player (or none) intact.
std::shared_ptr<MessageAudioPlayer>& MessageAudioPlayer::slot()
{
    static auto* instance = new std::shared_ptr<MessageAudioPlayer>();
    return *instance;
}

std::shared_ptr<MessageAudioPlayer> MessageAudioPlayer::shareInstance()
{
    auto& instance = slot();
    if (!instance) {
        instance.reset(new MessageAudioPlayer());
        instance->setUp();
    }
    return instance;
}

void MessageAudioPlayer::play(
    const std::shared_ptr<SoundInfo>& sound, std::weak_ptr<MessageAudioPlayerDelegate> delegate)
{
    shareInstance()->playSound(sound, std::move(delegate));
}

// Stopping and asking need no player: none has ever sounded then, and a
// screen closing late (on the way out) must not bring one up.
void MessageAudioPlayer::cancelAll()
{
    auto player = slot();
    if (!player)
        return;
    player->cancelAllSounds();
    player->setDelegate({});
}

void MessageAudioPlayer::reset()
{
    if (auto player = slot())
        player->cancelAllSounds();
}

bool MessageAudioPlayer::isPlaying()
{
    auto player = slot();
    return player && player->playing();
}

bool MessageAudioPlayer::exists() { return slot() != nullptr; }

void MessageAudioPlayer::setUp()
{
    lifetime_.observe(weak_from_this(), platform::UIDeviceProximityStateDidChangeNotification,
        &MessageAudioPlayer::proximityChanged);
    // Clips play on the loudspeaker unless the phone is held to the ear.
    auto& session = AVAudioSession::sharedInstance();
    session.setCategoryCode(static_cast<std::uint32_t>(platform::AudioSessionCategoryCode::MediaPlayback));
    session.setRouteOverrideCode(static_cast<std::uint32_t>(platform::AVAudioSessionPortOverride::Speaker));
    setCategory(platform::AVAudioSessionCategoryPlayback);
    session.setActive(true);
}

MessageAudioPlayer::~MessageAudioPlayer()
{
    for (const auto& request : requests_)
        request->clearDelegatesAndCancel();
    ProximitySensor::shared().setMonitoringEnabled(false);
}

std::string MessageAudioPlayer::amrPathForURL(const std::string& url)
{
    // The address itself would make names that collide once its punctuation
    // is flattened, and long addresses would pass the file-name limit.
    std::string folder = platform::AppPaths::temporaryDirectory();
    if (folder.empty() || url.empty())
        return {};
    return FileUtil::joinPath(folder, platform::Md5::hex(url) + ".amr");
}

void MessageAudioPlayer::send(MessageAudioPlayerDelegate::SoundCallback MessageAudioPlayerDelegate::*method,
    const std::shared_ptr<SoundInfo>& sound)
{
    auto delegate = delegate_.lock();
    if (!delegate)
        return;
    auto callback = (*delegate).*method;
    if (callback)
        callback(*this, sound);
}

void MessageAudioPlayer::setDelegate(std::weak_ptr<MessageAudioPlayerDelegate> delegate)
{
    auto sound = sound_;
    send(&MessageAudioPlayerDelegate::messageAudioPlayerPlaySoundFinished, sound);
    delegate_ = std::move(delegate);
}

void MessageAudioPlayer::setPlayer(std::shared_ptr<platform::AVAudioPlayer> player)
{
    if (player_ && player_ != player)
        player_->stop();
    player_ = std::move(player);
    ProximitySensor::shared().setMonitoringEnabled(false);
    setCategory(platform::AVAudioSessionCategoryPlayback);
}

bool MessageAudioPlayer::playing() const { return player_ && player_->isPlaying(); }

void MessageAudioPlayer::playSound(
    const std::shared_ptr<SoundInfo>& sound, std::weak_ptr<MessageAudioPlayerDelegate> delegate)
{
    if (!sound)
        return;
    if (sound == sound_) {
        auto current = delegate_.lock();
        if (current && current->messageAudioPlayerPlaySoundFinished) {
            // A second tap on the clip stops it. The player is idle before
            // the owner hears it, so the owner may start another clip at once.
            setPlayer(nullptr);
            sound_.reset();
            current->messageAudioPlayerPlaySoundFinished(*this, sound);
            return;
        }
    }
    setDelegate(std::move(delegate));
    // Whatever sounded before stops now, not when the new clip is ready.
    if (player_)
        setPlayer(nullptr);
    sound_ = sound;
    if (sound->wavPath.empty() || sound->amrPath.empty()) {
        std::string amrPath = amrPathForURL(sound->url);
        if (amrPath.empty())
            return;
        sound->amrPath = amrPath;
        sound->wavPath = wavPathForAMRPath(amrPath);
    }
    cachedFiles_ = !sound->url.empty() && sound->amrPath == amrPathForURL(sound->url);
    routeByProximity();
    if (FileUtil::isRegularFile(sound->wavPath))
        startPlaying();
    else
        startDownload(sound);
}

void MessageAudioPlayer::startPlaying()
{
    auto sound = sound_;
    platform::Error error;
    auto player = platform::AVAudioPlayer::create(sound->wavPath, &error);
    if (!player) {
        platform::log(
            "voice clip %s cannot be played: %s\n", sound->wavPath.c_str(), error.localizedDescription().c_str());
        // A broken cached WAV would break every later play of the address.
        if (cachedFiles_)
            FileUtil::remove(sound->wavPath);
        finishCurrent();
        return;
    }
    setPlayer(player);
    player->setDelegate(weak_from_this());
    send(&MessageAudioPlayerDelegate::messageAudioPlayerPlayingSound, sound);
    if (player_ != player || sound_ != sound)
        return; // the delegate stopped it meanwhile
    if (!player->play()) {
        finishCurrent();
        return;
    }
    ProximitySensor::shared().setMonitoringEnabled(true);
}

void MessageAudioPlayer::finishCurrent()
{
    // Idle first: an owner that starts the next clip when told must not have
    // it cleared afterwards.
    auto sound = std::exchange(sound_, nullptr);
    setPlayer(nullptr);
    send(&MessageAudioPlayerDelegate::messageAudioPlayerPlaySoundFinished, sound);
}

void MessageAudioPlayer::startDownload(const std::shared_ptr<SoundInfo>& sound)
{
    send(&MessageAudioPlayerDelegate::messageAudioPlayerLoadingSound, sound);
    if (sound_ != sound)
        return;
    // A download of this file already on its way, or its conversion,
    // serves this play too.
    if (conversions_.count(sound->amrPath))
        return;
    for (const auto& request : requests_) {
        if (request->userInfo().get("amrPath").stringValue() == sound->amrPath)
            return;
    }
    auto url = platform::Url::parse(sound->url);
    if (!url) {
        send(&MessageAudioPlayerDelegate::messageAudioPlayerLoadSoundFinished, sound);
        return;
    }
    auto request = HTTPRequest::requestWithURL(*url);
    request->setDownloadDestinationPath(sound->amrPath);
    // No voice message is larger, whatever the server sends or it inflates to.
    request->setLargestFileDownload(foundation::kLongestClipFileBytes);
    platform::Dictionary info;
    info.set("amrPath", sound->amrPath);
    request->setUserInfo(std::move(info));
    std::weak_ptr<MessageAudioPlayer> weak = weak_from_this();
    std::weak_ptr<HTTPRequest> weakRequest = request;
    // The request carries the clip it fetches: by the time it ends another
    // clip may be current, and that one must not be played from this file.
    request->setCompletionBlock(weakCall(weak, [weakRequest, sound](MessageAudioPlayer& player) {
        if (auto ended = weakRequest.lock())
            player.requestDownloadSucceeded(ended, sound->amrPath);
    }));
    request->setFailedBlock(weakCall(weak, [weakRequest, sound](MessageAudioPlayer& player) {
        if (auto ended = weakRequest.lock())
            player.requestDownloadFailed(ended, sound->amrPath);
    }));
    requests_.push_back(request);
    request->startAsynchronous();
}

void MessageAudioPlayer::forgetRequest(const std::shared_ptr<HTTPRequest>& request)
{
    requests_.erase(std::remove(requests_.begin(), requests_.end(), request), requests_.end());
}

void MessageAudioPlayer::requestDownloadSucceeded(
    const std::shared_ptr<HTTPRequest>& request, const std::string& amrPath)
{
    forgetRequest(request);
    // The engine finishes a request that got an error page as well: only a
    // 200 brings the clip.
    bool received = request->responseStatusCode() == kHttpOk;
    if (!received) {
        platform::log(
            "voice clip %s: HTTP %d\n", request->url().absoluteString().c_str(), request->responseStatusCode());
        FileUtil::remove(amrPath);
    }
    auto sound = sound_;
    if (!sound || sound->amrPath != amrPath) {
        // Stopped meanwhile: its owner still hears that the loading is over.
        // Another clip is current: this one's owner already heard it finished.
        if (!sound)
            send(&MessageAudioPlayerDelegate::messageAudioPlayerLoadSoundFinished, nullptr);
        return;
    }
    send(&MessageAudioPlayerDelegate::messageAudioPlayerLoadSoundFinished, sound);
    if (sound_ != sound || !received)
        return; // like a failed download, the clip stays current
    startConversion(sound);
}

void MessageAudioPlayer::startConversion(const std::shared_ptr<SoundInfo>& sound)
{
    // Even a clip cut to a voice message's length takes a while to decode:
    // the window goes on meanwhile.
    conversions_[sound->amrPath] = sound;
    std::weak_ptr<MessageAudioPlayer> weak = weak_from_this();
    platform::dispatchAsync([weak, amrPath = sound->amrPath, wavPath = sound->wavPath] {
        const bool converted = foundation::VoiceFileConverter::amrToWav(amrPath, wavPath);
        platform::performOnMain([weak, amrPath, wavPath, converted] {
            if (auto player = weak.lock())
                player->conversionEnded(amrPath, wavPath, converted);
        });
    });
}

void MessageAudioPlayer::conversionEnded(const std::string& amrPath, const std::string& wavPath, bool converted)
{
    auto node = conversions_.extract(amrPath);
    auto told = node.empty() ? nullptr : node.mapped();
    if (!converted) {
        platform::log("voice clip %s is not AMR\n", amrPath.c_str());
        FileUtil::remove(amrPath);
        FileUtil::remove(wavPath);
    }
    // Stopped meanwhile, or another clip is current: nothing plays, and no
    // one is told (its owner, maybe gone by now, heard that it finished).
    auto sound = sound_;
    if (!sound || sound->amrPath != amrPath)
        return;
    // Tapped again while it was converted: this one waited for the download
    // that another heard end.
    if (sound != told) {
        send(&MessageAudioPlayerDelegate::messageAudioPlayerLoadSoundFinished, sound);
        if (sound_ != sound)
            return;
    }
    if (!converted) {
        finishCurrent();
        return;
    }
    startPlaying();
}

void MessageAudioPlayer::requestDownloadFailed(const std::shared_ptr<HTTPRequest>& request, const std::string& amrPath)
{
    forgetRequest(request);
    auto sound = sound_;
    if (sound && sound->amrPath != amrPath)
        return;
    send(&MessageAudioPlayerDelegate::messageAudioPlayerLoadSoundFinished, sound);
}

void MessageAudioPlayer::cancelAllSounds()
{
    auto requests = std::move(requests_);
    requests_.clear();
    for (const auto& request : requests)
        request->clearDelegatesAndCancel();
    send(&MessageAudioPlayerDelegate::messageAudioPlayerPlaySoundFinished, sound_);
    if (player_)
        player_->stop();
    sound_.reset();
    setDelegate({});
    setPlayer(nullptr);
}

void MessageAudioPlayer::audioPlayerDidFinishPlaying(platform::AVAudioPlayer& player, bool)
{
    if (&player == player_.get())
        finishCurrent();
}

void MessageAudioPlayer::audioPlayerDecodeErrorDidOccur(platform::AVAudioPlayer& player, const platform::Error&)
{
    if (&player == player_.get())
        finishCurrent();
}

void MessageAudioPlayer::routeByProximity()
{
    if (ProximitySensor::shared().state()) {
        platform::log("Device is close to user\n");
        setCategory(platform::AVAudioSessionCategoryPlayAndRecord);
    } else {
        platform::log("Device is not close to user\n");
        setCategory(platform::AVAudioSessionCategoryPlayback);
    }
}

void MessageAudioPlayer::proximityChanged(const platform::Notification&) { sensorStateChange(); }

void MessageAudioPlayer::sensorStateChange() { routeByProximity(); }
