#include "core/network/ORBRequestBuilder.h"

#include "core/session/MyAccountInfo.h"
#include "core/session/ORBEndpoints.h"
#include "platform/os/Bundle.h"
#include "platform/os/StringUtil.h"
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

    // Queries, numbers no row names and the common-fields type post the
    // common fields alone to "combine/sys".
    const ORBRequestRow* row = ORBRequestTable::rowForType(type);
    if (!row || row->query)
        return { ORBEndpoints::pullAddress(ORBEndpoints::kSys), std::move(body) };

    if (row->cmd)
        body.set("cmd", row->cmd);
    for (const ORBBodyKey& key : row->bodyKeys) {
        // A key the screen did not give stays out of the body.
        const Value& value = params[key.param ? key.param : key.key];
        if (!value.isNull())
            body.set(key.key, value);
    }
    if (row->commandRule)
        row->commandRule(params, body);
    return { ORBEndpoints::pullAddress(row->path), std::move(body) };
}

std::optional<std::string> ORBRequestBuilder::queryPathForType(int type)
{
    const ORBRequestRow* row = ORBRequestTable::rowForType(type);
    if (!row || !row->query)
        return std::nullopt;
    return std::string(row->path);
}

ORBQueryPairs ORBRequestBuilder::queryParametersForType(int type, const Value& params, const AccountInfo& account)
{
    ORBQueryPairs q;
    const ORBRequestRow* row = ORBRequestTable::rowForType(type);
    if (!row || !row->query)
        return q;
    for (const ORBQueryKey& key : row->queryKeys) {
        std::string value;
        switch (key.source) {
        case ORBQuerySource::SchoolId:
            value = std::to_string(account.schoolUid);
            break;
        case ORBQuerySource::UserId:
            value = std::to_string(account.uid);
            break;
        case ORBQuerySource::AccountType:
            value = std::to_string(account.type);
            break;
        case ORBQuerySource::AreaAbb:
            value = account.region;
            break;
        case ORBQuerySource::UserName:
            value = account.name;
            break;
        case ORBQuerySource::Device:
            value = platform::SystemInfo::systemName();
            break;
        case ORBQuerySource::ParamInteger:
            value = std::to_string(params[key.param].intValue());
            break;
        case ORBQuerySource::ParamText:
            value = params[key.param].stringValue();
            break;
        case ORBQuerySource::Fixed:
            value = key.param;
            break;
        }
        q.emplace_back(key.name, std::move(value));
    }
    if (row->queryRule) {
        row->queryRule(params, q);
        // The notice's area comes last, after the record's values.
        q.emplace_back("areaAbb", account.region);
    }
    return q;
}

std::string ORBRequestBuilder::joinQuery(const ORBQueryPairs& pairs)
{
    std::string query;
    for (const auto& [name, value] : pairs) {
        if (!query.empty())
            query += '&';
        query += platform::encodeQueryComponent(name);
        query += '=';
        query += platform::encodeQueryComponent(value);
    }
    return query;
}

std::optional<std::string> ORBRequestBuilder::queryAddressForType(
    int type, const Value& params, const AccountInfo& account)
{
    auto path = queryPathForType(type);
    if (!path)
        return std::nullopt;
    return ORBEndpoints::pullAddress(*path) + "?" + joinQuery(queryParametersForType(type, params, account));
}

const std::vector<std::string>& ORBRequestBuilder::passwordKeys()
{
    static const std::vector<std::string> keys { "psw", "oldPsw", "newPsw" };
    return keys;
}

Dictionary ORBRequestBuilder::maskedForLog(const Dictionary& body)
{
    Dictionary masked = body;
    for (const std::string& key : passwordKeys()) {
        if (Value* value = masked.find(key))
            *value = "******";
    }
    return masked;
}

bool ORBRequestBuilder::hasUnsendablePassword(const Dictionary& body)
{
    for (const std::string& key : passwordKeys()) {
        const Value* value = body.find(key);
        const std::string* text = value ? value->asString() : nullptr;
        if (text && !platform::isValidUtf8(*text))
            return true;
    }
    return false;
}

} // namespace core
