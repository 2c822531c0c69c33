#pragma once

#include "platform/os/Value.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace core {

// The request types screens name when they call the dispatcher. The numbers
// are the platform's own and never change: screens, stored settings and the
// server's logs all speak them.
enum class ORBRequestType : int {
    Login = 0,
    Logout = 1,
    FindPassword = 2,
    ResetPassword = 3,
    ConfirmCheckNumber = 4,
    TimePassword = 5,
    UpdateProfile = 6,
    ChangePassword = 7,
    SysUpdateTime = 8,
    NavigationStatus = 9,
    RequestCheckNumber = 10,
    AddressPackage = 11,
    NewMessages = 12,
    CommonFieldsOnly = 13,
    NavigationMessages = 14,
    PostWeibo = 15,
    DeleteWeibo = 16,
    Subjects = 17,
    CommentStudents = 18,
    Homework = 19,
    Album = 20,
    Magazines = 21,
    MagazineIssue = 22,
    MagazineOpened = 23,
    ActiveTypes = 24,
    ClassList = 25,
    SuggestedComments = 26,
    CommentHistory = 27,
    CommentWeibo = 28,
    StudentsOfClass = 29,
    ChildrenOfFamily = 30,
    AlbumList = 31,
    ServiceMessage = 32,
    ClassNotice = 33,
    Timetable = 34,
    VideoHome = 35,
    VideoGrades = 36,
    VideoSources = 37,
    VideosBySubject = 38,
    VideoDetail = 39,
    VideosBySource = 40,
    VideoComments = 41,
    AddVideoComment = 42,
    GrowthAssistant = 43,
    Feedback = 44,
    CtdCheck = 45,
    CtdHistory = 46,
    CtdDial = 47,
    CtdHangUp = 48,
    HotActivities = 49,
    WeiboFeed = 50,
    PraiseWeibo = 51,
    WeiboComments = 52,
    NewWeiboCount = 53,
    AddressBook = 54,
};

// What the success block receives for a request type (on "resultState" 1).
enum class ORBReplyShape {
    Nothing,
    WholeReply,
    Message, // "resultMsg"
    DownUrl, // "downUrl"
    Subjects,
    ActiveTypes,
    Classes,
    SuggestedComments,
    CommentHistory,
    Students,
    Albums,
    Schedule,
    HotActivities,
    WeiboFeed,
    WeiboComments,
    Magazines, // after the magazine store has been brought up to date
    MagazineIssue, // nothing, after the issue's table of contents is stored
};

// The longest reply text each kind of request is read from, near what it
// can really be: a reply past it is refused before it is parsed. A command
// that answers with an envelope and a message is short; a screen's page or
// list a few megabytes at most; the whole address book of a large school
// (half a million people) is the one reply that may come near the body
// ceiling.
inline constexpr std::size_t kLargestShortReply = std::size_t { 256 } << 10;
inline constexpr std::size_t kLargestScreenReply = std::size_t { 4 } << 20;
inline constexpr std::size_t kLargestAddressBookReply = std::size_t { 64 } << 20;

// One body key of a command: the value of params[param] goes under `key`.
struct ORBBodyKey {
    const char* key;
    const char* param = nullptr; // null: the same name
};

// Where one query value comes from.
enum class ORBQuerySource {
    SchoolId, // the current account's school
    UserId, // the current account's uid
    AccountType,
    AreaAbb,
    UserName,
    Device, // the operating system's name
    ParamInteger, // params[param] read as an integer; a missing one is 0
    ParamText, // params[param] as text; a missing one is empty
    Fixed, // `param` itself
};

struct ORBQueryKey {
    const char* name;
    ORBQuerySource source;
    const char* param = nullptr;
};

using ORBQueryPairs = std::vector<std::pair<std::string, std::string>>;

// One row per request type: where it goes, what it sends, what comes back.
// Types with a rule of their own (the few whose keys are not plain copies of
// parameters) name a small function that finishes the body or the query.
struct ORBRequestRow {
    ORBRequestType type;
    // POST: the module path ("combine/..."); GET: the query path ("webapp/...").
    const char* path;
    // The code sent as "cmd"; null for a query or the common-fields post.
    const char* cmd;
    bool query; // sent with GET, no body
    std::vector<ORBBodyKey> bodyKeys;
    std::vector<ORBQueryKey> queryKeys;
    ORBReplyShape reply;
    // Called after the plain keys, in the row's order.
    void (*commandRule)(const platform::Value& params, platform::Dictionary& body) = nullptr;
    void (*queryRule)(const platform::Value& params, ORBQueryPairs& query) = nullptr;
    // A refused call (resultState other than 1) still reaches the success
    // block: the call screen reads the refusal from the reply itself.
    bool refusalIsResult = false;
    // The reply comes as compressed bytes without an envelope.
    bool compressedReply = false;
    // The longest reply text read (once inflated); set from the row's shape.
    std::size_t largestReply = kLargestScreenReply;
};

class ORBRequestTable final {
public:
    ORBRequestTable() = delete;

    // Every row, in type order.
    static const std::vector<ORBRequestRow>& rows();
    // The row of a type, or null for a number no row names.
    static const ORBRequestRow* rowForType(int type);
    static const ORBRequestRow* rowForType(ORBRequestType type) { return rowForType(static_cast<int>(type)); }
};

} // namespace core
