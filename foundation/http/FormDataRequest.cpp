#include "foundation/http/FormDataRequest.h"

#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"
#include "platform/os/Uuid.h"

#include <algorithm>

namespace foundation {

namespace {

constexpr const char* kDefaultContentType = "application/octet-stream";

std::string lastPathComponent(const std::string& path)
{
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    auto slash = trimmed.rfind('/');
    return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

// Names inside a part header are quoted: a quote or a line break in a field
// or file name would end the header early and let the name write headers or
// parts of its own. They are percent-escaped, as browsers do.
std::string escapeDispositionValue(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '"':
            out += "%22";
            break;
        case '\r':
            out += "%0D";
            break;
        case '\n':
            out += "%0A";
            break;
        case '\0':
            out += "%00";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// A content type with a line break is no content type at all.
std::string safeContentType(const std::string& type)
{
    if (type.empty() || type.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
        return kDefaultContentType;
    return type;
}

std::string valueText(const platform::Value& value)
{
    if (value.isString() || value.isNumber())
        return value.stringValue();
    return value.description();
}

} // namespace

FormDataRequest::FormDataRequest(platform::Url url)
    : HTTPRequest(std::move(url))
{
    setRequestMethod("POST");
}

std::shared_ptr<FormDataRequest> FormDataRequest::requestWithURL(const platform::Url& url)
{
    return std::shared_ptr<FormDataRequest>(new FormDataRequest(url));
}

std::shared_ptr<HTTPRequest> FormDataRequest::copyWithZone() const
{
    auto copy = std::shared_ptr<FormDataRequest>(new FormDataRequest(url()));
    copySettingsTo(*copy);
    std::scoped_lock lock(cancelledLock(), copy->cancelledLock());
    copy->postData_ = postData_;
    copy->fileData_ = fileData_;
    copy->postFormat_ = postFormat_;
    copy->stringEncoding_ = stringEncoding_;
    copy->setRequestMethod(requestMethod());
    // The copy writes its form anew; what this request built from it is not carried.
    if (postData_ || fileData_)
        copy->discardBuiltBody();
    return copy;
}

void FormDataRequest::addPostValue(const platform::Value& value, const std::string& forKey)
{
    std::lock_guard<std::recursive_mutex> lock(cancelledLock());
    if (!postData_)
        postData_.emplace();
    postData_->push_back({ forKey, valueText(value) });
}

void FormDataRequest::setPostValue(const platform::Value& value, const std::string& forKey)
{
    std::lock_guard<std::recursive_mutex> lock(cancelledLock());
    if (postData_)
        std::erase_if(*postData_, [&](const PostValue& entry) { return entry.key == forKey; });
    addPostValue(value, forKey);
}

void FormDataRequest::addFile(const std::string& filePath, const std::string& forKey)
{
    addFile(filePath, std::nullopt, std::nullopt, forKey);
}

void FormDataRequest::setFile(const std::string& filePath, const std::string& forKey)
{
    setFile(filePath, std::nullopt, std::nullopt, forKey);
}

void FormDataRequest::addFile(const std::string& filePath, const std::optional<std::string>& withFileName,
    const std::optional<std::string>& andContentType, const std::string& forKey)
{
    if (!platform::FileUtil::isRegularFile(filePath)) {
        // Reported through the failure callbacks when the request starts, so
        // an owner that sets its delegate afterwards still hears of it.
        recordDeferredError(makeHTTPRequestError(
            InternalErrorWhileBuildingRequestType, platform::format("No file exists at %s", filePath.c_str())));
    }
    std::string type;
    if (andContentType)
        type = *andContentType;
    else if (auto looked = mimeTypeForFileAtPath(filePath))
        type = *looked;
    else
        type = kDefaultContentType;
    addFileEntry({ forKey, withFileName ? *withFileName : lastPathComponent(filePath), type, filePath });
}

void FormDataRequest::setFile(const std::string& filePath, const std::optional<std::string>& withFileName,
    const std::optional<std::string>& andContentType, const std::string& forKey)
{
    std::lock_guard<std::recursive_mutex> lock(cancelledLock());
    removeFiles(forKey);
    addFile(filePath, withFileName, andContentType, forKey);
}

void FormDataRequest::addData(const platform::Bytes& data, const std::string& forKey)
{
    addData(data, std::string("file"), std::nullopt, forKey);
}

void FormDataRequest::setData(const platform::Bytes& data, const std::string& forKey)
{
    setData(data, std::string("file"), std::nullopt, forKey);
}

void FormDataRequest::addData(const platform::Bytes& data, const std::optional<std::string>& withFileName,
    const std::optional<std::string>& andContentType, const std::string& forKey)
{
    addFileEntry({ forKey, withFileName.value_or("file"), andContentType.value_or(kDefaultContentType), data });
}

void FormDataRequest::setData(const platform::Bytes& data, const std::optional<std::string>& withFileName,
    const std::optional<std::string>& andContentType, const std::string& forKey)
{
    std::lock_guard<std::recursive_mutex> lock(cancelledLock());
    removeFiles(forKey);
    addData(data, withFileName, andContentType, forKey);
}

void FormDataRequest::removeFiles(const std::string& key)
{
    if (fileData_)
        std::erase_if(*fileData_, [&](const FileEntry& entry) { return entry.key == key; });
}

void FormDataRequest::addFileEntry(FileEntry entry)
{
    std::lock_guard<std::recursive_mutex> lock(cancelledLock());
    if (!fileData_)
        fileData_.emplace();
    fileData_->push_back(std::move(entry));
}

std::vector<FormDataRequest::PostValue> FormDataRequest::postData() const
{
    std::lock_guard<std::recursive_mutex> lock(cancelledLock());
    return postData_.value_or(std::vector<PostValue>());
}

std::vector<FormDataRequest::FileEntry> FormDataRequest::fileData() const
{
    std::lock_guard<std::recursive_mutex> lock(cancelledLock());
    return fileData_.value_or(std::vector<FileEntry>());
}

FormDataRequest::PostFormat FormDataRequest::postFormat() const
{
    std::lock_guard<std::recursive_mutex> lock(cancelledLock());
    return postFormat_;
}

void FormDataRequest::setPostFormat(PostFormat format)
{
    std::lock_guard<std::recursive_mutex> lock(cancelledLock());
    postFormat_ = format;
}

platform::StringEncoding FormDataRequest::stringEncoding() const
{
    std::lock_guard<std::recursive_mutex> lock(cancelledLock());
    return stringEncoding_;
}

void FormDataRequest::setStringEncoding(platform::StringEncoding encoding)
{
    std::lock_guard<std::recursive_mutex> lock(cancelledLock());
    stringEncoding_ = encoding;
}

void FormDataRequest::buildPostBody()
{
    std::lock_guard<std::recursive_mutex> lock(cancelledLock());
    if (haveBuiltPostBody())
        return;
    if (!postData_ && !fileData_) {
        HTTPRequest::buildPostBody();
        return;
    }
    if (fileData_ && !fileData_->empty())
        setShouldStreamPostDataFromDisk(true);
    if (postFormat_ == URLEncodedPostFormat)
        buildURLEncodedPostBody();
    else
        buildMultipartFormDataPostBody();
    if (error())
        return;
    HTTPRequest::buildPostBody();
}

bool FormDataRequest::appendPostString(const std::string& string)
{
    auto bytes = platform::encodeText(string, stringEncoding_);
    if (!bytes) {
        // Sending the form without this text would report a wrong upload as a success.
        failWithError(makeHTTPRequestError(InternalErrorWhileBuildingRequestType,
            platform::format("Unable to write form text in the encoding %lu", stringEncoding_)));
        return false;
    }
    appendPostData(*bytes);
    return true;
}

std::optional<std::string> FormDataRequest::encodeURL(const std::string& string) const
{
    auto bytes = platform::encodeText(string, stringEncoding());
    if (!bytes)
        return std::nullopt;
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes->size() * 3);
    for (std::uint8_t c : *bytes) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_'
            || c == '.') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

void FormDataRequest::buildURLEncodedPostBody()
{
    if (fileData_ && !fileData_->empty()) {
        postFormat_ = multipartFormDataPostFormat;
        buildMultipartFormDataPostBody();
        return;
    }
    std::string charset = platform::ianaNameForEncoding(stringEncoding_).value_or("utf-8");
    addRequestHeader("Content-Type", "application/x-www-form-urlencoded; charset=" + charset);

    const auto& values = postData_ ? *postData_ : std::vector<PostValue>();
    std::string body;
    for (std::size_t i = 0; i < values.size(); ++i) {
        auto key = encodeURL(values[i].key);
        auto value = encodeURL(values[i].value);
        if (!key || !value) {
            failWithError(makeHTTPRequestError(InternalErrorWhileBuildingRequestType,
                platform::format("Unable to write form text in the encoding %lu", stringEncoding_)));
            return;
        }
        body += *key + "=" + *value + (i + 1 < values.size() ? "&" : "");
    }
    appendPostString(body);
}

void FormDataRequest::buildMultipartFormDataPostBody()
{
    std::string charset = platform::ianaNameForEncoding(stringEncoding_).value_or("utf-8");
    std::string boundary = "0xKhTmLbOuNdArY-" + platform::makeUuidString();
    addRequestHeader("Content-Type", "multipart/form-data; charset=" + charset + "; boundary=" + boundary);

    const auto values = postData_ ? *postData_ : std::vector<PostValue>();
    const auto files = fileData_ ? *fileData_ : std::vector<FileEntry>();
    const std::string separator = "\r\n--" + boundary + "\r\n";

    if (!appendPostString("--" + boundary + "\r\n"))
        return;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!appendPostString(
                "Content-Disposition: form-data; name=\"" + escapeDispositionValue(values[i].key) + "\"\r\n\r\n")
            || !appendPostString(values[i].value))
            return;
        if ((i + 1 < values.size() || !files.empty()) && !appendPostString(separator))
            return;
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        const FileEntry& file = files[i];
        if (!appendPostString("Content-Disposition: form-data; name=\"" + escapeDispositionValue(file.key)
                + "\"; filename=\"" + escapeDispositionValue(file.fileName) + "\"\r\n")
            || !appendPostString("Content-Type: " + safeContentType(file.contentType) + "\r\n\r\n"))
            return;
        if (auto path = std::get_if<std::string>(&file.data)) {
            if (!platform::FileUtil::isRegularFile(*path)) {
                failWithError(makeHTTPRequestError(
                    InternalErrorWhileBuildingRequestType, platform::format("No file exists at %s", path->c_str())));
                return;
            }
            appendPostDataFromFile(*path);
        } else {
            appendPostData(std::get<platform::Bytes>(file.data));
        }
        if (hasDeferredError())
            return;
        if (i + 1 < files.size() && !appendPostString(separator))
            return;
    }
    appendPostString("\r\n--" + boundary + "--\r\n");
}

} // namespace foundation
