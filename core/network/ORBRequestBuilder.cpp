#include "core/network/ORBRequestBuilder.h"

#include "core/model/HomeWorkInfo.h"
#include "core/model/NoticeInfo.h"
#include "core/model/PhotoInfo.h"
#include "core/model/WeiboInfo.h"
#include "core/session/MyAccountInfo.h"
#include "core/util/ORBEndpoints.h"
#include "platform/os/Bundle.h"
#include "platform/os/SystemInfo.h"
#include "platform/os/Url.h"

namespace core {

namespace {

    using platform::Array;
    using platform::Dictionary;
    using platform::Value;

    std::string bundleValue(const char* key)
    {
        Value value = platform::Bundle::main()->objectForInfoDictionaryKey(key);
        return value.isString() ? *value.asString() : std::string();
    }

    // The value of params[key] goes into the body under bodyKey as it is; a key
    // the screen did not give stays out of the body.
    void copyParam(Dictionary& body, const std::string& bodyKey, const Value& params, const char* key)
    {
        const Value& value = params[key];
        if (!value.isNull())
            body.set(bodyKey, value);
    }

    void copyParams(Dictionary& body, const Value& params, std::initializer_list<const char*> keys)
    {
        for (const char* key : keys)
            copyParam(body, key, params, key);
    }

    std::vector<std::shared_ptr<PhotoInfo>> photosOf(const Value& files)
    {
        std::vector<std::shared_ptr<PhotoInfo>> photos;
        if (const Array* list = files.asArray()) {
            for (const Value& element : *list) {
                if (auto photo = element.objectAs<PhotoInfo>())
                    photos.push_back(std::move(photo));
            }
        }
        return photos;
    }

    bool hasBothAddresses(const PhotoInfo& photo) { return !photo.url.empty() && !photo.thumbUrl.empty(); }

} // namespace

ORBRequestBuilder::Command ORBRequestBuilder::commandForType(int type, const Value& params)
{
    Dictionary body;
    body.set("appVersion", bundleValue(platform::kBundleVersionKey));
    body.set("sysVersion", platform::SystemInfo::systemVersion());
    body.set("platform", platform::SystemInfo::systemName());
    body.set("model", platform::SystemInfo::model());
    if (auto account = MyAccountInfo::currentAccount()) {
        body.set("userId", account->uid);
        body.set("userName", account->name);
        body.set("schoolId", account->schoolUid);
        body.set("accountType", account->type);
        body.set("areaAbb", account->region);
    }

    const char* path = ORBEndpoints::kSys;
    auto command = [&](const char* module, const char* cmd) {
        path = module;
        body.set("cmd", cmd);
    };

    switch (type) {
    case 0: {
        command(ORBEndpoints::kSys, "10001");
        copyParams(body, params, { "account", "psw" });
        body.set("appId", bundleValue(platform::kBundleIdentifierKey));
        auto token = MyAccountInfo::deviceToken();
        if (token && !token->empty())
            body.set("pushToken", *token);
        break;
    }
    case 1:
        command(ORBEndpoints::kSys, "10002");
        break;
    case 2:
        command(ORBEndpoints::kSys, "10003");
        copyParams(body, params, { "account" });
        break;
    case 3:
        command(ORBEndpoints::kSys, "10004");
        copyParams(body, params, { "account", "psw", "verCode" });
        break;
    case 4:
        command(ORBEndpoints::kSys, "10011");
        copyParams(body, params, { "validate", "mobile" });
        break;
    case 5:
        command(ORBEndpoints::kSys, "10005");
        copyParams(body, params, { "account" });
        break;
    case 6: {
        command(ORBEndpoints::kSys, "10006");
        copyParams(body, params, { "userName" });
        const Value& file = params["file"];
        bool missing = file.isNull() || (file.isString() && file.asString()->empty());
        body.set("file", missing ? Value("") : file);
        break;
    }
    case 7:
        command(ORBEndpoints::kSys, "10007");
        copyParams(body, params, { "account" });
        copyParam(body, "oldPsw", params, "oldPwd");
        copyParam(body, "newPsw", params, "newPwd");
        break;
    case 8:
        command(ORBEndpoints::kSys, "10008");
        copyParams(body, params, { "updateTime" });
        break;
    case 9:
        command(ORBEndpoints::kSys, "10009");
        copyParams(body, params, { "navId", "status" });
        break;
    case 10:
        command(ORBEndpoints::kSys, "10010");
        copyParams(body, params, { "intUserType", "mobile" });
        break;
    case 11:
        command(ORBEndpoints::kAddress, "30106");
        break;
    case 12:
        command(ORBEndpoints::kRivu, "20101");
        break;
    case 14:
        command(ORBEndpoints::kHtml5, "40001");
        copyParams(body, params, { "updateTime" });
        break;
    case 15: {
        command(ORBEndpoints::kHtml5, "40101");
        if (auto post = params["weiboInfo"].objectAs<WeiboInfo>()) {
            body.set("pubType", post->classId);
            body.set("content", post->content);
        }
        Array images;
        for (const auto& photo : photosOf(params["files"])) {
            if (hasBothAddresses(*photo))
                images.emplace_back(Dictionary { { "original", photo->url }, { "thumb", photo->thumbUrl } });
        }
        if (!images.empty())
            body.set("images", std::move(images));
        break;
    }
    case 16:
        command(ORBEndpoints::kHtml5, "40102");
        copyParams(body, params, { "weiboId" });
        break;
    case 17:
        command(ORBEndpoints::kHtml5, "40302");
        break;
    case 18:
        command(ORBEndpoints::kHtml5, "40401");
        copyParam(body, "studentIdsStr", params, "studentIds");
        copyParams(body, params, { "comment", "rank", "flag", "classId" });
        break;
    case 19: {
        command(ORBEndpoints::kHtml5, "40301");
        auto photos = photosOf(params["files"]);
        // Homework carries one picture; later ones are not sent.
        if (!photos.empty() && hasBothAddresses(*photos.front())) {
            body.set("original", photos.front()->url);
            body.set("thumb", photos.front()->thumbUrl);
        }
        if (auto homework = params["homework"].objectAs<HomeWorkInfo>()) {
            body.set("classId", homework->classId);
            body.set("className", homework->className);
            body.set("subject", homework->subject);
            body.set("subjectId", homework->subjectId);
            body.set("content", homework->content);
            body.set("dateTime", homework->dateTime);
        }
        break;
    }
    case 20: {
        bool creating = params["isCreate"].boolValue();
        command(ORBEndpoints::kHtml5, creating ? "40201" : "40202");
        copyParams(body, params, { "description" });
        if (creating) {
            copyParam(body, "album", params, "ablum");
            copyParams(body, params, { "belongto" });
        } else {
            copyParams(body, params, { "albumId" });
        }
        std::string joined;
        for (const auto& photo : photosOf(params["files"])) {
            if (photo->url.empty())
                continue;
            if (!joined.empty())
                joined += ',';
            joined += photo->url;
        }
        body.set("photos", joined);
        break;
    }
    case 21:
        command(ORBEndpoints::kMagazine, "50001");
        copyParams(body, params, { "updateTime" });
        break;
    case 22:
        command(ORBEndpoints::kMagazine, "50002");
        copyParams(body, params, { "postId", "magazineId" });
        break;
    case 23:
        command(ORBEndpoints::kMagazine, "50003");
        copyParams(body, params, { "postId" });
        break;
    case 35:
        command(ORBEndpoints::kJxsp, "60001");
        copyParams(body, params, { "gradeBank" });
        break;
    case 36:
        command(ORBEndpoints::kJxsp, "60002");
        break;
    case 37:
        command(ORBEndpoints::kJxsp, "60006");
        break;
    case 38:
        command(ORBEndpoints::kJxsp, "60003");
        copyParams(body, params, { "gradeBank", "subjectId", "page" });
        break;
    case 39:
        command(ORBEndpoints::kJxsp, "60004");
        copyParams(body, params, { "videoId" });
        break;
    case 40:
        command(ORBEndpoints::kJxsp, "60005");
        copyParams(body, params, { "source", "page" });
        break;
    case 41:
        command(ORBEndpoints::kJxsp, "60008");
        copyParams(body, params, { "videoId", "page" });
        break;
    case 42:
        command(ORBEndpoints::kJxsp, "60007");
        copyParams(body, params, { "videoId", "content", "score" });
        break;
    case 43:
        command(ORBEndpoints::kHtml5, "40401");
        copyParams(body, params, { "saleModalId" });
        break;
    case 44:
        command(ORBEndpoints::kSys, "10022");
        copyParams(body, params, { "parentId", "content", "serviceId" });
        break;
    case 45:
        command(ORBEndpoints::kCtd, "70001");
        break;
    case 46:
        command(ORBEndpoints::kCtd, "70002");
        copyParams(body, params, { "page" });
        break;
    case 47:
        command(ORBEndpoints::kCtd, "70003");
        copyParams(body, params, { "linkId", "type", "phone" });
        break;
    case 48:
        command(ORBEndpoints::kCtd, "70004");
        copyParams(body, params, { "linkId", "type", "phone" });
        break;
    case 49:
        command(ORBEndpoints::kHtml5, "40501");
        break;
    case 53:
        command(ORBEndpoints::kHtml5, "40103");
        copyParams(body, params, { "weiboId" });
        break;
    case 54:
        command(ORBEndpoints::kAddress, "30107");
        break;
    default:
        // Type 13, the query types and unknown numbers: the common fields alone.
        break;
    }
    return { ORBEndpoints::pullAddress(path), std::move(body) };
}

std::optional<std::string> ORBRequestBuilder::queryPathForType(int type)
{
    switch (type) {
    case 24:
        return "webapp/base/tea/active_type";
    case 25:
        return "webapp/base/tea/class_list";
    case 26:
        return "webapp/stucomment/comment_list";
    case 27:
        return "webapp/stucomment/single_list";
    case 28:
        return "webapp/jxq/sendComment";
    case 29:
        return "webapp/stucomment/stu_list";
    case 30:
        return "webapp/stucomment/stuinfo";
    case 31:
        return "webapp/photoAlbum/list";
    case 32:
        return "webapp/servicemsg/new";
    case 33:
        return "webapp/notice/add";
    case 34:
        return "webapp/classcourse/list";
    case 50:
        return "webapp/jxq/weibo";
    case 51:
        return "webapp/jxq/praise";
    case 52:
        return "webapp/jxq/comment";
    default:
        return std::nullopt;
    }
}

std::vector<std::pair<std::string, std::string>> ORBRequestBuilder::queryParametersForType(
    int type, const Value& params, const AccountInfo& account)
{
    std::vector<std::pair<std::string, std::string>> q;
    auto add = [&q](const char* name, std::string value) { q.emplace_back(name, std::move(value)); };
    auto number = [](long long n) { return std::to_string(n); };
    // Parameters the table reads as integers; a missing one is 0.
    auto integer = [&params](const char* key) { return std::to_string(params[key].intValue()); };
    // Texts go as they are; a missing one is empty.
    auto text = [&params](const char* key) { return params[key].stringValue(); };

    const std::string schoolId = number(account.schoolUid);
    const std::string userId = number(account.uid);
    const std::string accountType = number(account.type);
    const std::string& areaAbb = account.region;

    switch (type) {
    case 24:
    case 25:
        add("schoolId", schoolId);
        add("teacherId", userId);
        break;
    case 26:
        add("schoolId", schoolId);
        add("classId", integer("classId"));
        add("areaAbb", areaAbb);
        break;
    case 27:
        add("schoolId", schoolId);
        add("studentId", integer("studentId"));
        add("areaAbb", areaAbb);
        add("pageSize", integer("pageSize"));
        add("page", integer("page"));
        add("accountType", accountType);
        add("userId", userId);
        add("type", integer("type"));
        break;
    case 28:
        add("areaAbb", areaAbb);
        add("userId", userId);
        add("userType", accountType);
        add("userName", account.name);
        add("device", platform::SystemInfo::systemName());
        add("weiboId", integer("weiboId"));
        add("comment", text("comment"));
        break;
    case 29:
        add("schoolId", schoolId);
        add("classId", integer("classId"));
        add("areaAbb", areaAbb);
        break;
    case 30:
        add("schoolId", schoolId);
        add("familyId", userId);
        add("areaAbb", areaAbb);
        break;
    case 31:
        add("schoolId", schoolId);
        add("userId", userId);
        add("accountType", accountType);
        add("areaAbb", areaAbb);
        add("page", integer("page"));
        add("pageSize", integer("pageSize"));
        break;
    case 32:
        add("schoolId", schoolId);
        add("areaAbb", areaAbb);
        add("teacherId", userId);
        add("content", text("content"));
        add("isNeedReply", integer("isNeedReply"));
        break;
    case 33: {
        add("schoolId", schoolId);
        add("teacherId", userId);
        NoticeInfo empty;
        auto notice = params["noticeInfo"].objectAs<NoticeInfo>();
        const NoticeInfo& n = notice ? *notice : empty;
        add("startDate", n.startDate);
        add("endDate", n.endDate);
        add("title", n.title);
        add("content", n.content);
        add("classId", number(n.classId));
        add("areaAbb", areaAbb);
        break;
    }
    case 34:
        add("schoolId", schoolId);
        add("classId", integer("classId"));
        add("areaAbb", areaAbb);
        add("weekDay", integer("week"));
        add("userId", userId);
        add("accountType", accountType);
        break;
    case 50:
        add("schoolId", schoolId);
        add("areaAbb", areaAbb);
        add("accountType", accountType);
        add("userId", userId);
        add("weiboType", integer("weiboType"));
        add("page", integer("page"));
        add("pageSize", "10");
        break;
    case 51:
        add("areaAbb", areaAbb);
        add("userId", userId);
        add("userType", accountType);
        add("weiboId", integer("weiboId"));
        break;
    case 52:
        add("areaAbb", areaAbb);
        add("weiboId", integer("weiboId"));
        add("page", integer("page"));
        add("pageSize", "10");
        break;
    default:
        break;
    }
    return q;
}

std::optional<std::string> ORBRequestBuilder::queryAddressForType(
    int type, const Value& params, const AccountInfo& account)
{
    auto path = queryPathForType(type);
    if (!path)
        return std::nullopt;
    std::string address = ORBEndpoints::pullAddress(*path) + "?";
    bool first = true;
    for (const auto& [name, value] : queryParametersForType(type, params, account)) {
        if (!first)
            address += '&';
        first = false;
        address += platform::encodeQueryComponent(name);
        address += '=';
        address += platform::encodeQueryComponent(value);
    }
    return address;
}

Dictionary ORBRequestBuilder::maskedForLog(const Dictionary& body)
{
    Dictionary masked = body;
    for (const char* key : { "psw", "oldPsw", "newPsw" }) {
        if (Value* value = masked.find(key))
            *value = "******";
    }
    return masked;
}

} // namespace core
