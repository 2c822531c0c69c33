#pragma once

#include <string>

namespace core {

// The one table of server addresses and command codes shared by the request
// dispatcher, the older request builders, the uploads and the page script.
// The base address is compiled in and can be overridden at start-up with the
// environment variable ORB_SERVER_BASE (tests point it at ephemeral ports).
struct ORBEndpoints {
    // An absolute "http" address of a host with an explicit port, ending in "/".
    static std::string serverBase();
    // Replaces the base for the rest of the process (tests, the command-line tool).
    static void setServerBase(std::string base);

    static constexpr const char* kPullPrefix = "mobile2/pull/";

    static constexpr const char* kSys = "combine/sys";
    static constexpr const char* kRivu = "combine/rivu";
    static constexpr const char* kAddress = "combine/address";
    static constexpr const char* kUpload = "upload/";
    static constexpr const char* kUploadAudio = "upload/audio";
    static constexpr const char* kVersion = "f/version";
    static constexpr const char* kHtml5 = "combine/html5";
    static constexpr const char* kMagazine = "combine/magazine";
    static constexpr const char* kJxsp = "combine/jxsp";
    static constexpr const char* kCtd = "combine/ctd";

    // The command codes, named after what they ask. The dispatcher's request
    // table and the older builders both take their codes from here.
    struct Cmd {
        static constexpr const char* kLogin = "10001";
        static constexpr const char* kLogout = "10002";
        static constexpr const char* kFindPassword = "10003";
        static constexpr const char* kResetPassword = "10004";
        static constexpr const char* kTimePassword = "10005";
        static constexpr const char* kUpdateProfile = "10006";
        static constexpr const char* kChangePassword = "10007";
        static constexpr const char* kSysUpdateTime = "10008";
        static constexpr const char* kNavigationStatus = "10009";
        static constexpr const char* kRequestCheckNumber = "10010";
        static constexpr const char* kConfirmCheckNumber = "10011";
        static constexpr const char* kFeedback = "10022";
        static constexpr const char* kNewMessages = "20101";
        static constexpr const char* kGroupSend = "20102";
        static constexpr const char* kGroupSendState = "20103";
        static constexpr const char* kGroupResend = "20104";
        static constexpr const char* kReportStates = "20105";
        static constexpr const char* kTemplateTypes = "20106";
        static constexpr const char* kTemplates = "20107";
        static constexpr const char* kContactGroups = "30101";
        static constexpr const char* kGroupContacts = "30102";
        static constexpr const char* kSendToOne = "30104";
        static constexpr const char* kCtdState = "30105";
        static constexpr const char* kAddressPackage = "30106";
        static constexpr const char* kAddressBook = "30107";
        static constexpr const char* kNavigationMessages = "40001";
        static constexpr const char* kPostWeibo = "40101";
        static constexpr const char* kDeleteWeibo = "40102";
        static constexpr const char* kNewWeiboCount = "40103";
        static constexpr const char* kCreateAlbum = "40201";
        static constexpr const char* kAddPhotos = "40202";
        static constexpr const char* kHomework = "40301";
        static constexpr const char* kSubjects = "40302";
        // The student comment and the growth assistant share one code.
        static constexpr const char* kCommentStudents = "40401";
        static constexpr const char* kGrowthAssistant = "40401";
        static constexpr const char* kHotActivities = "40501";
        static constexpr const char* kMagazines = "50001";
        static constexpr const char* kMagazineIssue = "50002";
        static constexpr const char* kMagazineOpened = "50003";
        static constexpr const char* kVideoHome = "60001";
        static constexpr const char* kVideoGrades = "60002";
        static constexpr const char* kVideosBySubject = "60003";
        static constexpr const char* kVideoDetail = "60004";
        static constexpr const char* kVideosBySource = "60005";
        static constexpr const char* kVideoSources = "60006";
        static constexpr const char* kAddVideoComment = "60007";
        static constexpr const char* kVideoComments = "60008";
        static constexpr const char* kCtdCheck = "70001";
        static constexpr const char* kCtdHistory = "70002";
        static constexpr const char* kCtdDial = "70003";
        static constexpr const char* kCtdHangUp = "70004";
    };

    // base + "mobile2/pull/" + path
    static std::string pullAddress(const std::string& path);
};

} // namespace core
