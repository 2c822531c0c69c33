#pragma once

#include "core/model/PhotoInfo.h"
#include "core/model/SoundInfo.h"
#include "core/network/builders/ORBBuilderFrame.h"

#include <optional>
#include <string>

namespace core {

// Uploads of photos and voice clips: a multipart POST with the file under
// "file" to base + "mobile2/pull/" + "upload/<kind>/<uid>/<type>" (or
// "upload/audio/<uid>/<type>"), returned unstarted. The server answers with
// the addresses the command that follows carries.
class ORBUploadControl final {
public:
    ORBUploadControl() = delete;

    // Photo types: 0 message photo, 1 avatar, 2 class-circle post, 3
    // homework, 4 album (the class-circle folder).
    static std::optional<std::string> photoKindFolder(int photoType);

    // A photo whose file is missing (its write failed, or it was never
    // written) or a photo type without a folder gives a request that reports
    // the failure to the failure selector when started, and sends nothing.
    static ORBBuilderRequest uploadPhotoType(int photoType, const PhotoInfo& photoInfo,
        const std::weak_ptr<foundation::ProgressDelegate>& progress, const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel);
    // The clip's AMR file; a missing one fails the same way.
    static ORBBuilderRequest uploadSound(const SoundInfo& sound,
        const std::weak_ptr<foundation::ProgressDelegate>& progress, const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel);

    // The finished upload's reply stored into the attachment: "original" and
    // "thumb" (both texts, or nothing is changed) for a photo, "audio" for a
    // clip. False when the reply holds no address: the upload failed.
    static bool storePhotoReply(const foundation::HTTPRequest& request, PhotoInfo& photo);
    static bool storeSoundReply(const foundation::HTTPRequest& request, SoundInfo& sound);
};

} // namespace core
