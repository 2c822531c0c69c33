#pragma once

#include "core/model/HomeWorkInfo.h"
#include "core/model/NoticeInfo.h"
#include "core/model/WeiboInfo.h"
#include "core/network/builders/ORBBuilderFrame.h"

namespace core {

// The builders behind several feature screens: SMS history, the
// click-to-dial package state and its opening, and the class tools (class
// circle, notices, online service, homework, classes, subjects, albums,
// timetable), which screens now reach through the dispatcher's request types.
class ORBNavControl final {
public:
    ORBNavControl() = delete;

    // One page of the SMS history: type 1 sent, 2 received; the key is the
    // search text and may be empty. The reply's "total" and "items".
    static ORBBuilderRequest getSMSHistoryWithDelegate(const ORBDelegate& delegate, const std::string& key, int page,
        int pageSize, int type, const foundation::RequestSelector& successSel,
        const foundation::RequestSelector& failSel);
    // "30105": the reply's "packageTime" and "remainTime".
    static ORBBuilderRequest getCTDStateDelegate(const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel);
    // Opens the click-to-dial service for the account.
    static ORBBuilderRequest openCTDWithDelegate(const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel);

    static ORBBuilderRequest sendWeibo(const WeiboInfo& post, const platform::Array& files, const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel);
    static ORBBuilderRequest deleteWeiboWithId(int weiboId, const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel);
    // params "weiboId" (integer) and "comment".
    static ORBBuilderRequest commentWeiboWithDelegate(const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel,
        const platform::Value& params);
    static ORBBuilderRequest sendNotice(const NoticeInfo& notice, const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel);
    // params "content" and "isNeedReply" (integer).
    static ORBBuilderRequest sendOnlineServiceWithDelegate(const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel,
        const platform::Value& params);
    // The first photo among the files, when it has both addresses, is
    // written into the homework record and sent with it.
    static ORBBuilderRequest sendHomeWork(HomeWorkInfo& homework, const platform::Array& files,
        const ORBDelegate& delegate, const foundation::RequestSelector& successSel,
        const foundation::RequestSelector& failSel);
    static ORBBuilderRequest getClassListWithDelegate(const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel);
    static ORBBuilderRequest getSubjectListWithDelegate(const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel);
    // params "page" and "pageSize" (integers).
    static ORBBuilderRequest albumListWithDelegate(const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel,
        const platform::Value& params);
    // Creating: params "description", "ablum" (the album name, sent as
    // "album") and "belongto"; adding photos: "description" and "albumId".
    static ORBBuilderRequest createOrUploadAlbumWithDelegate(const ORBDelegate& delegate, const platform::Array& files,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel,
        const platform::Value& params, bool isCreate);
    static ORBBuilderRequest getScheduleWithDelegate(const ORBDelegate& delegate, int classId, int weekDay,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel);
};

} // namespace core
