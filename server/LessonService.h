#pragma once

#include "server/Responder.h"
#include "server/SchoolData.h"

#include <optional>
#include <string>

namespace server {

// The video-lesson service beside the platform server: signed JSON POSTs to
// "/m/<api>.json", its pictures and movies below "lessons/" of the pull path
// (movies served with byte ranges), and the portal's small web site at the
// server's root. Nothing when the request is none of these.
//
// A video's movie address names the video ("?video=<uid>"); each fetch of it
// from its first byte is one play, which raises the video's "views" in the
// lesson details from then on. The plays are kept in the demo data, whose
// lock the caller holds.
std::optional<Reply> answerLessonService(const IncomingRequest& request, SchoolData& data);

// How often the video has been played since the demo data was made.
long long lessonVideoPlays(SchoolData& data, long long videoUid);

// Where the lesson movies are read from: ORB_LESSON_MEDIA_DIR when set,
// otherwise the folder the build made them in.
std::string lessonMediaDirectory();

// The service's keys and its one portal account, as the client has them.
struct LessonServiceKeys {
    static constexpr const char* kAppKey = "orb3_dy_5e0c71a2d94b38f6e07a9c2d1b4f8e63";
    static constexpr const char* kAppSecret = "orb3_dy_a7f2c90e6b13d485f2e0b6c9a41d7e58";
    static constexpr const char* kPortalAccount = "15820473916";
    static constexpr int kPortalSid = 77;
    static constexpr const char* kPortalAccessToken = "5c1f0e2d9a7b4386";
};

} // namespace server
