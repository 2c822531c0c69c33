#include "core/network/builders/ORBBuilderFrame.h"

#include "core/model/PhotoInfo.h"
#include "core/model/SoundInfo.h"
#include "core/network/ORBRequestBuilder.h"
#include "core/session/MyAccountInfo.h"
#include "core/session/ORBEndpoints.h"
#include "foundation/http/HTTPRequestError.h"
#include "foundation/json/JsonWriter.h"
#include "platform/os/Bundle.h"
#include "platform/os/Log.h"
#include "platform/os/SystemInfo.h"
#include "platform/os/Url.h"

using foundation::FormDataRequest;
using foundation::InternalErrorWhileBuildingRequestType;
using foundation::RequestSelector;
using foundation::makeHTTPRequestError;

namespace core::builder {

using platform::Array;
using platform::Dictionary;
using platform::Value;

namespace {

    // A form request that can be told, before it starts, that it must not
    // send: it then reports the reason through the failure selector when it
    // is started, as a request with a missing upload file does.
    class RefusableRequest final : public FormDataRequest {
    public:
        static std::shared_ptr<RefusableRequest> requestWithURL(const platform::Url& url)
        {
            return std::shared_ptr<RefusableRequest>(new RefusableRequest(url));
        }
        void refuse(const std::string& reason)
        {
            recordDeferredError(makeHTTPRequestError(InternalErrorWhileBuildingRequestType, reason));
        }

    private:
        explicit RefusableRequest(platform::Url url)
            : FormDataRequest(std::move(url))
        {
        }
    };

    std::string bundleVersion()
    {
        Value value = platform::Bundle::main()->objectForInfoDictionaryKey(platform::kBundleVersionKey);
        return value.isString() ? *value.asString() : std::string();
    }

    // The base address is a build setting, so it always parses; should it
    // not, the request still exists and fails when started.
    std::shared_ptr<RefusableRequest> requestFor(const std::string& address)
    {
        if (auto url = platform::Url::parse(address))
            return RefusableRequest::requestWithURL(*url);
        auto request = RefusableRequest::requestWithURL(platform::Url::fileUrl("/"));
        request->refuse("Unable to create request (bad url?) " + address);
        return request;
    }

} // namespace

int userId()
{
    auto account = MyAccountInfo::currentAccount();
    return account ? account->uid : 0;
}

int schoolId()
{
    auto account = MyAccountInfo::currentAccount();
    return account ? account->schoolUid : 0;
}

int accountType()
{
    auto account = MyAccountInfo::currentAccount();
    return account ? account->type : 0;
}

std::string areaAbb()
{
    auto account = MyAccountInfo::currentAccount();
    return account ? account->region : std::string();
}

std::string userName()
{
    auto account = MyAccountInfo::currentAccount();
    return account ? account->name : std::string();
}

bool signedIn() { return MyAccountInfo::currentAccount() != nullptr; }

void addCommon(Dictionary& body, const char* cmd, std::initializer_list<Common> keys)
{
    for (Common key : keys) {
        switch (key) {
        case Common::Cmd:
            body.set("cmd", cmd);
            break;
        case Common::UserId:
            body.set("userId", userId());
            break;
        case Common::SchoolId:
            body.set("schoolId", schoolId());
            break;
        case Common::AccountType:
            body.set("accountType", accountType());
            break;
        case Common::AreaAbb:
            // An account without an area abbreviation has none to send: the
            // key is left out rather than sent empty.
            if (signedIn() && !areaAbb().empty())
                body.set("areaAbb", areaAbb());
            break;
        case Common::AppVersion:
            body.set("appVersion", bundleVersion());
            break;
        case Common::SysVersion:
            body.set("sysVersion", platform::SystemInfo::systemVersion());
            break;
        case Common::Platform:
            body.set("platform", platform::SystemInfo::systemName());
            break;
        case Common::Model:
            body.set("model", platform::SystemInfo::model());
            break;
        }
    }
}

void copyParam(Dictionary& body, const char* key, const Value& params, const char* param)
{
    const Value& value = params[param];
    if (!value.isNull())
        body.set(key, value);
}

void copyParams(Dictionary& body, const Value& params, std::initializer_list<const char*> keys)
{
    for (const char* key : keys)
        copyParam(body, key, params, key);
}

void configure(FormDataRequest& request, const char* method, const ORBDelegate& delegate,
    const RequestSelector& successSel, const RequestSelector& failSel)
{
    request.setRequestMethod(method);
    request.setTimeOutSeconds(kTimeOutSeconds);
    request.setDefaultResponseEncoding(platform::kUTF8StringEncoding);
    request.setDelegate(delegate);
    request.setDidFinishSelector(successSel);
    request.setDidFailSelector(failSel);
}

ORBBuilderRequest postRequest(const char* module, const Dictionary& body, const ORBDelegate& delegate,
    const RequestSelector& successSel, const RequestSelector& failSel)
{
    auto request = requestFor(ORBEndpoints::pullAddress(module));
    // The JSON writer turns bytes that are not UTF-8 into U+FFFD; for a
    // password that would send a different password, so it is refused.
    if (ORBRequestBuilder::hasUnsendablePassword(body)) {
        platform::log("body not sent: a password field is not valid UTF-8\n");
        request->refuse("The password holds characters that cannot be sent");
    } else {
        foundation::JsonWriter writer;
        if (auto json = writer.dataWithObject(Value(body))) {
            request->setPostBody(*json);
        } else {
            platform::log("body not sent:%s\n", writer.error().c_str());
            request->refuse("The request body cannot be written as JSON: " + writer.error());
        }
    }
    configure(*request, "POST", delegate, successSel, failSel);
    return request;
}

ORBBuilderRequest getRequest(const std::string& path, const std::vector<std::pair<std::string, std::string>>& query,
    const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel)
{
    std::string address = ORBEndpoints::pullAddress(path);
    if (!query.empty())
        address += "?" + ORBRequestBuilder::joinQuery(query);
    return addressRequest(address, "GET", delegate, successSel, failSel);
}

ORBBuilderRequest addressRequest(const std::string& address, const char* method, const ORBDelegate& delegate,
    const RequestSelector& successSel, const RequestSelector& failSel)
{
    auto request = requestFor(address);
    configure(*request, method, delegate, successSel, failSel);
    return request;
}

ORBBuilderRequest refusedRequest(const std::string& address, const std::string& reason, const ORBDelegate& delegate,
    const RequestSelector& successSel, const RequestSelector& failSel)
{
    auto request = requestFor(address);
    request->refuse(reason);
    configure(*request, "POST", delegate, successSel, failSel);
    return request;
}

std::string describeForLog(const Dictionary& body)
{
    return Value(ORBRequestBuilder::maskedForLog(body)).description();
}

Array photoObjects(const Array& attachments, bool bothRequired)
{
    Array photos;
    for (const Value& element : attachments) {
        auto photo = element.objectAs<PhotoInfo>();
        if (!photo)
            continue;
        if (bothRequired && (photo->url.empty() || photo->thumbUrl.empty()))
            continue;
        Dictionary object;
        if (!photo->url.empty())
            object.set("original", photo->url);
        if (!photo->thumbUrl.empty())
            object.set("thumb", photo->thumbUrl);
        photos.emplace_back(std::move(object));
    }
    return photos;
}

Array soundObjects(const Array& attachments, bool urlRequired)
{
    Array sounds;
    for (const Value& element : attachments) {
        auto sound = element.objectAs<SoundInfo>();
        if (!sound)
            continue;
        if (urlRequired && sound->url.empty())
            continue;
        Dictionary object;
        if (!sound->url.empty())
            object.set("url", sound->url);
        object.set("seconds", sound->seconds);
        sounds.emplace_back(std::move(object));
    }
    return sounds;
}

} // namespace core::builder
