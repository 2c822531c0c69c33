#include "core/network/builders/MessageLoader.h"

#include "core/network/builders/ORBAddressContrl.h"
#include "core/network/builders/ORBUploadControl.h"

using foundation::HTTPRequest;
using foundation::RequestSelector;

namespace core {

namespace {
    constexpr int kMessagePhotoType = 0;

    ORBBuilderRequest carrying(ORBBuilderRequest request, const std::shared_ptr<MessageInfo>& message)
    {
        request->setUserInfo(platform::Dictionary { { "message", platform::Value(message) } });
        return request;
    }
} // namespace

MessageLoader::Step MessageLoader::firstStep(const MessageInfo& message)
{
    if (!message.photosInfo.empty() && message.photosInfo.front())
        return Step::UploadPhoto;
    if (!message.soundsInfo.empty() && message.soundsInfo.front())
        return Step::UploadSound;
    return Step::Send;
}

ORBBuilderRequest MessageLoader::firstRequest(const std::shared_ptr<MessageInfo>& message, const ORBDelegate& delegate,
    const RequestSelector& successSel, const RequestSelector& failSel)
{
    switch (firstStep(*message)) {
    case Step::UploadPhoto:
        return photoUploadRequest(message, delegate, successSel, failSel);
    case Step::UploadSound:
        return soundUploadRequest(message, delegate, successSel, failSel);
    case Step::Send:
        break;
    }
    return sendRequest(message, delegate, successSel, failSel);
}

ORBBuilderRequest MessageLoader::photoUploadRequest(const std::shared_ptr<MessageInfo>& message,
    const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel)
{
    PhotoInfo none;
    const PhotoInfo& photo
        = message->photosInfo.empty() || !message->photosInfo.front() ? none : *message->photosInfo.front();
    return carrying(
        ORBUploadControl::uploadPhotoType(kMessagePhotoType, photo, {}, delegate, successSel, failSel), message);
}

ORBBuilderRequest MessageLoader::soundUploadRequest(const std::shared_ptr<MessageInfo>& message,
    const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel)
{
    SoundInfo none;
    const SoundInfo& sound
        = message->soundsInfo.empty() || !message->soundsInfo.front() ? none : *message->soundsInfo.front();
    return carrying(ORBUploadControl::uploadSound(sound, {}, delegate, successSel, failSel), message);
}

ORBBuilderRequest MessageLoader::sendRequest(const std::shared_ptr<MessageInfo>& message, const ORBDelegate& delegate,
    const RequestSelector& successSel, const RequestSelector& failSel)
{
    return carrying(ORBAddressContrl::sendMessage(*message, delegate, successSel, failSel), message);
}

std::shared_ptr<MessageInfo> MessageLoader::messageOf(const HTTPRequest& request)
{
    return request.userInfo().get("message").objectAs<MessageInfo>();
}

bool MessageLoader::takeUploadReply(const HTTPRequest& request, MessageInfo& message)
{
    switch (firstStep(message)) {
    case Step::UploadPhoto:
        return ORBUploadControl::storePhotoReply(request, *message.photosInfo.front());
    case Step::UploadSound:
        return ORBUploadControl::storeSoundReply(request, *message.soundsInfo.front());
    case Step::Send:
        break;
    }
    return false;
}

} // namespace core
