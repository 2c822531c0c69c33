#pragma once

#include "platform/os/Value.h"

namespace server {

class SchoolData;

// What teachers send from the class-notice, homework and online-service
// screens, kept in tables of their own so the pages can list them: newest
// first, with the sender and the time the server took them.
namespace teachingsends {

    // Creates the tables when the data file does not have them yet (a file
    // from before they existed). True when they are there.
    bool ensureTables(SchoolData& data);

    // Rows with the keys "noticeId", "teacherId", "classId", "title",
    // "content", "startDate", "endDate", "created".
    platform::Array classNotices(SchoolData& data, long long classId);
    // Rows with "homeworkId", "teacherId", "classId", "className",
    // "subjectId", "subject", "content", "dateTime", "original", "thumb",
    // "created".
    platform::Array homework(SchoolData& data, long long classId);
    // Rows with "messageId", "userId", "content", "isNeedReply", "created".
    platform::Array serviceMessages(SchoolData& data, long long userId);

} // namespace teachingsends

} // namespace server
