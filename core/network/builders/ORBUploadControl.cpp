#include "core/network/builders/ORBUploadControl.h"

#include "core/network/ORBReplyParser.h"
#include "core/session/ORBEndpoints.h"
#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"
#include "platform/os/PlatformJson.h"

using foundation::HTTPRequest;
using foundation::ProgressDelegate;
using foundation::RequestSelector;

namespace core {

using platform::Value;

namespace {

    std::string accountPath()
    {
        return std::to_string(builder::userId()) + "/" + std::to_string(builder::accountType());
    }

    ORBBuilderRequest fileUpload(const std::string& address, const std::string& filePath,
        const std::weak_ptr<ProgressDelegate>& progress, const ORBDelegate& delegate, const RequestSelector& successSel,
        const RequestSelector& failSel)
    {
        if (filePath.empty() || !platform::FileUtil::isRegularFile(filePath)) {
            // The attachment's file was never written: say so, and let the
            // request fail when started rather than send an empty upload.
            platform::log("upload refused, no file at \"%s\"\n", filePath.c_str());
            return builder::refusedRequest(address, "No file exists at " + filePath, delegate, successSel, failSel);
        }
        auto request = builder::addressRequest(address, "POST", delegate, successSel, failSel);
        request->setFile(filePath, "file");
        request->setUploadProgressDelegate(progress);
        return request;
    }

    // An upload is answered with the file's addresses, read as the
    // dispatcher reads a short answer: a reply past that is refused unread.
    std::optional<Value> replyObject(const HTTPRequest& request)
    {
        auto parsed = ORBReplyParser::readReply(request, kLargestShortReply, "upload").value;
        if (!parsed || !parsed->isDictionary())
            return std::nullopt;
        return parsed;
    }

    std::optional<std::string> addressIn(const Value& reply, const char* key)
    {
        const std::string* text = reply[key].asString();
        if (!text || text->empty())
            return std::nullopt;
        return *text;
    }

} // namespace

std::optional<std::string> ORBUploadControl::photoKindFolder(int photoType)
{
    switch (photoType) {
    case 0:
        return "msgpic";
    case 1:
        return "userpic";
    case 2:
    case 4:
        // Album photos live with the class-circle pictures.
        return "weibopic";
    case 3:
        return "homeworkpic";
    default:
        return std::nullopt;
    }
}

ORBBuilderRequest ORBUploadControl::uploadPhotoType(int photoType, const PhotoInfo& photoInfo,
    const std::weak_ptr<ProgressDelegate>& progress, const ORBDelegate& delegate, const RequestSelector& successSel,
    const RequestSelector& failSel)
{
    auto folder = photoKindFolder(photoType);
    std::string address = ORBEndpoints::pullAddress(
        std::string(ORBEndpoints::kUpload) + folder.value_or(std::to_string(photoType)) + "/" + accountPath());
    platform::log("photo url:%s\n", address.c_str());
    if (!folder)
        return builder::refusedRequest(
            address, "No upload folder for photo type " + std::to_string(photoType), delegate, successSel, failSel);
    return fileUpload(address, photoInfo.path, progress, delegate, successSel, failSel);
}

ORBBuilderRequest ORBUploadControl::uploadSound(const SoundInfo& sound, const std::weak_ptr<ProgressDelegate>& progress,
    const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel)
{
    std::string address = ORBEndpoints::pullAddress(std::string(ORBEndpoints::kUploadAudio) + "/" + accountPath());
    return fileUpload(address, sound.amrPath, progress, delegate, successSel, failSel);
}

bool ORBUploadControl::storePhotoReply(const HTTPRequest& request, PhotoInfo& photo)
{
    auto reply = replyObject(request);
    if (!reply)
        return false;
    auto original = addressIn(*reply, "original");
    auto thumb = addressIn(*reply, "thumb");
    // Both or nothing: a photo with one address would be dropped by the
    // group send and sent half by the one-to-one send.
    if (!original || !thumb)
        return false;
    photo.url = *original;
    photo.thumbUrl = *thumb;
    return true;
}

bool ORBUploadControl::storeSoundReply(const HTTPRequest& request, SoundInfo& sound)
{
    auto reply = replyObject(request);
    auto audio = reply ? addressIn(*reply, "audio") : std::nullopt;
    if (!audio)
        return false;
    sound.url = *audio;
    return true;
}

} // namespace core
