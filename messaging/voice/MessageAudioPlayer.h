#pragma once

#include "core/model/SoundInfo.h"
#include "platform/media/AVAudioPlayer.h"
#include "platform/os/NotificationCenter.h"
#include "ui/Lifetime.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace foundation {
class HTTPRequest;
}
class MessageAudioPlayer;

// What the player tells whoever started a clip. Every method is optional: a
// member left empty is a method the delegate does not have. Whether it has
// the "finished" one matters: a second tap on the playing clip stops it only
// when its delegate can hear that it stopped.
class MessageAudioPlayerDelegate {
public:
    virtual ~MessageAudioPlayerDelegate() = default;

    using SoundCallback
        = std::function<void(MessageAudioPlayer& player, const std::shared_ptr<core::SoundInfo>& sound)>;
    // The clip is being downloaded.
    SoundCallback messageAudioPlayerLoadingSound;
    // The download ended, well or not.
    SoundCallback messageAudioPlayerLoadSoundFinished;
    // The clip starts sounding.
    SoundCallback messageAudioPlayerPlayingSound;
    // The clip ended, was stopped, or another party took the player over.
    SoundCallback messageAudioPlayerPlaySoundFinished;
};

// The one voice-clip player of the process: every bubble and screen that
// shows a clip asks it to play, so at most one clip sounds at a time. A clip
// from the server is downloaded once into the temporary folder, converted to
// WAV beside it and played from there; a clip recorded here plays from its
// own files. While a clip plays, holding the phone to the ear moves the sound
// to the earpiece. Main thread only.
class MessageAudioPlayer final : public platform::AVAudioPlayerDelegate,
                                 public std::enable_shared_from_this<MessageAudioPlayer> {
public:
    static std::shared_ptr<MessageAudioPlayer> shareInstance();
    static void play(const std::shared_ptr<core::SoundInfo>& sound, std::weak_ptr<MessageAudioPlayerDelegate> delegate);
    static void cancelAll();
    static void reset();
    static bool isPlaying();
    // Whether the player has been made (stopping or asking does not make it).
    static bool exists();

    ~MessageAudioPlayer() override;

    // Plays the clip, or stops it when it is the clip playing now.
    void playSound(const std::shared_ptr<core::SoundInfo>& sound, std::weak_ptr<MessageAudioPlayerDelegate> delegate);
    // Stops everything: downloads, the clip, and the delegate is let go.
    void cancelAllSounds();
    bool playing() const;

    // The previous delegate hears that its clip finished before it is replaced.
    void setDelegate(std::weak_ptr<MessageAudioPlayerDelegate> delegate);
    std::shared_ptr<MessageAudioPlayerDelegate> delegate() const { return delegate_.lock(); }
    const std::shared_ptr<core::SoundInfo>& sound() const { return sound_; }
    const std::shared_ptr<platform::AVAudioPlayer>& player() const { return player_; }
    // Stops the player it replaces, turns proximity monitoring off and the
    // audio session back to playback.
    void setPlayer(std::shared_ptr<platform::AVAudioPlayer> player);
    // Downloads still running.
    std::size_t requestCount() const { return requests_.size(); }
    // Downloaded clips being converted for playback.
    std::size_t conversionCount() const { return conversions_.size(); }

    // Where a clip from this address is kept: the temporary folder, the 32
    // hex digits of the address's MD5 and ".amr"; the WAV is that name
    // followed by "_".
    static std::string amrPathForURL(const std::string& url);
    static std::string wavPathForAMRPath(const std::string& amrPath) { return amrPath + "_"; }

    void audioPlayerDidFinishPlaying(platform::AVAudioPlayer& player, bool successfully) override;
    void audioPlayerDecodeErrorDidOccur(platform::AVAudioPlayer& player, const platform::Error& error) override;

private:
    static std::shared_ptr<MessageAudioPlayer>& slot();
    MessageAudioPlayer() = default;
    void setUp();
    void requestDownloadSucceeded(const std::shared_ptr<foundation::HTTPRequest>& request, const std::string& amrPath);
    void requestDownloadFailed(const std::shared_ptr<foundation::HTTPRequest>& request, const std::string& amrPath);
    void forgetRequest(const std::shared_ptr<foundation::HTTPRequest>& request);
    void startDownload(const std::shared_ptr<core::SoundInfo>& sound);
    // Converts a downloaded clip off the main loop; the clip current when it
    // is done plays if it is still this one.
    void startConversion(const std::shared_ptr<core::SoundInfo>& sound);
    void conversionEnded(const std::string& amrPath, const std::string& wavPath, bool converted);
    // Opens and starts the current clip's WAV; a file that cannot be played
    // ends the clip at once.
    void startPlaying();
    void finishCurrent();
    void routeByProximity();
    void sensorStateChange();
    void proximityChanged(const platform::Notification&);
    void send(MessageAudioPlayerDelegate::SoundCallback MessageAudioPlayerDelegate::*method,
        const std::shared_ptr<core::SoundInfo>& sound);

    std::vector<std::shared_ptr<foundation::HTTPRequest>> requests_;
    // Conversions under way, by the clip's AMR path, with the clip that
    // heard its download end.
    std::map<std::string, std::shared_ptr<core::SoundInfo>> conversions_;
    std::shared_ptr<core::SoundInfo> sound_;
    std::shared_ptr<platform::AVAudioPlayer> player_;
    std::weak_ptr<MessageAudioPlayerDelegate> delegate_;
    // Whether the current clip's files are the download cache's (and may be
    // thrown away when they prove bad) rather than a recording's own.
    bool cachedFiles_ = false;
    // The proximity observation holds the player weakly and ends with it.
    Lifetime lifetime_;
};
