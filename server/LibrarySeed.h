#pragma once

#include "server/Responder.h"

#include <optional>
#include <string>
#include <vector>

namespace server {

class SchoolData;

// More of the video library for the grade the demo people see first
// (三年级): maths with more videos than one page of a subject's list, and a
// lesson with more comments than two pages hold.
bool seedVideoLibrary(SchoolData& data);

// The library's video addresses ("static/video/<id>.mp4") play the lesson
// movie itself, whole or by byte range, so the client's player plays for
// real. Nothing for any other address.
std::optional<Reply> libraryVideo(const IncomingRequest& request, const std::vector<std::string>& segments);

} // namespace server
