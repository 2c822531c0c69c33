#pragma once

namespace server {

class SchoolData;

// The demo teacher's further group sends: one with photos and a voice clip
// whose SMS copies partly failed, and a plain one everybody has read. Part of
// the first seeding of the school.
bool seedGroupSends(SchoolData& data);
// More SMS the demo teacher received, enough for several pages of history.
bool seedSmsHistory(SchoolData& data);

} // namespace server
