// The class-circle models read their own reply rows.
#include "core/model/ReplyReading.h"
#include "core/model/WeiboData.h"
#include "core/model/WeiboImage.h"
#include "core/model/WeiboReplyData.h"

namespace core {

using reply::readInteger;
using reply::readText;

namespace {
    void replaceAll(std::string& text, std::string_view from, std::string_view to)
    {
        std::size_t at = 0;
        while ((at = text.find(from, at)) != std::string::npos) {
            text.replace(at, from.size(), to);
            at += to.size();
        }
    }
} // namespace

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
    replaceAll(content, "<!---->", "\t");
    replaceAll(content, "<br/>", "\n");
    replaceAll(content, "&nbsp;", " ");
    replaceAll(content, "&ldquo;", "“");
    replaceAll(content, "&rdquo;", "”");
    return content;
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
