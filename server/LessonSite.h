#pragma once

#include "server/Responder.h"

#include <optional>

namespace server {

// The video-lesson portal's small web site: its home at the server's root
// (the subjects and the live series), and below "lessons/site/" of the pull
// path a page per subject, lesson and live series. Nothing for other paths.
std::optional<Reply> answerLessonSite(const IncomingRequest& request);

} // namespace server
