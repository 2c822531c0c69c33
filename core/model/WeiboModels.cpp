// The class-circle models read their own reply rows.
#include "core/model/ReplyReading.h"
#include "core/model/WeiboData.h"
#include "core/model/WeiboImage.h"
#include "core/model/WeiboReplyData.h"
#include "platform/os/StringUtil.h"

namespace core {

using reply::readInteger;
using reply::readText;

std::shared_ptr<WeiboImage> WeiboImage::initWithDictionary(const platform::Value& dictionary)
{
    if (!dictionary.isDictionary())
        return nullptr;
    auto image = std::make_shared<WeiboImage>();
    readText(dictionary["original"], image->original);
    readText(dictionary["thumb"], image->thumb);
    return image;
}

std::string WeiboData::plainContent(std::string content)
{
    // Each pass copies the text once: a replacement in place would move the
    // rest of a long post for every hit.
    static constexpr std::pair<std::string_view, std::string_view> kEntities[] = {
        { "<!---->", "\t" },
        { "<br/>", "\n" },
        { "&nbsp;", " " },
        { "&ldquo;", "“" },
        { "&rdquo;", "”" },
    };
    for (const auto& [from, to] : kEntities) {
        if (content.find(from) != std::string::npos)
            content = platform::replaceAll(content, from, to);
    }
    return content;
}

const std::string& WeiboData::rowText() const
{
    if (!rowTextOf_ || *rowTextOf_ != content) {
        rowText_ = platform::replaceAll(content, "\n", kRowMark);
        rowTextOf_ = content;
    }
    return rowText_;
}

std::shared_ptr<WeiboData> WeiboData::initWithDictionary(const platform::Value& dictionary)
{
    if (!dictionary.isDictionary())
        return nullptr;
    auto data = std::make_shared<WeiboData>();
    readInteger(dictionary["weiboId"], data->weiboId);
    readInteger(dictionary["senderId"], data->senderId);
    readInteger(dictionary["senderType"], data->senderType);
    readText(dictionary["senderName"], data->senderName);
    if (readText(dictionary["content"], data->content))
        data->content = plainContent(std::move(data->content));
    readText(dictionary["orgUserPic"], data->orgUserPic);
    readText(dictionary["thumbAvatar"], data->thumbAvatar);
    readText(dictionary["dataTime"], data->dataTime);
    readInteger(dictionary["commentNum"], data->commentNum);
    readInteger(dictionary["praise"], data->praise);
    reply::forEachObject(dictionary["images"], [&](const platform::Value& object) {
        if (auto image = WeiboImage::initWithDictionary(object))
            data->images.push_back(std::move(image));
    });
    return data;
}

std::shared_ptr<WeiboReplyData> WeiboReplyData::initWithDictionary(const platform::Value& dictionary)
{
    if (!dictionary.isDictionary())
        return nullptr;
    auto data = std::make_shared<WeiboReplyData>();
    readInteger(dictionary["weiboId"], data->weiboId);
    readInteger(dictionary["senderId"], data->senderId);
    readInteger(dictionary["senderType"], data->senderType);
    readText(dictionary["senderName"], data->senderName);
    readText(dictionary["comment"], data->content);
    readText(dictionary["orgUserPic"], data->orgUserPic);
    readText(dictionary["thumbAvatar"], data->thumbAvatar);
    readText(dictionary["dataTime"], data->dataTime);
    return data;
}

} // namespace core
