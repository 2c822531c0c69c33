#pragma once

#include "foundation/http/HTTPRequest.h"

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace foundation {

// A POST with named form fields and file attachments, sent URL-encoded or as
// multipart form data. Without fields or files it sends the body set with
// setPostBody unchanged.
class FormDataRequest : public HTTPRequest {
public:
    enum PostFormat : int {
        multipartFormDataPostFormat = 0,
        URLEncodedPostFormat = 1,
    };

    struct PostValue {
        std::string key;
        std::string value;
    };
    struct FileEntry {
        std::string key;
        std::string fileName;
        std::string contentType;
        // The bytes, or the path of the file whose bytes are sent.
        std::variant<platform::Bytes, std::string> data;
    };

    static std::shared_ptr<FormDataRequest> requestWithURL(const platform::Url& url);
    std::shared_ptr<HTTPRequest> copyWithZone() const override;

    // A value is sent as its text (a number as its description).
    void addPostValue(const platform::Value& value, const std::string& forKey);
    void setPostValue(const platform::Value& value, const std::string& forKey);

    void addFile(const std::string& filePath, const std::string& forKey);
    void setFile(const std::string& filePath, const std::string& forKey);
    void addFile(const std::string& filePath, const std::optional<std::string>& withFileName,
        const std::optional<std::string>& andContentType, const std::string& forKey);
    void setFile(const std::string& filePath, const std::optional<std::string>& withFileName,
        const std::optional<std::string>& andContentType, const std::string& forKey);
    void addData(const platform::Bytes& data, const std::string& forKey);
    void setData(const platform::Bytes& data, const std::string& forKey);
    void addData(const platform::Bytes& data, const std::optional<std::string>& withFileName,
        const std::optional<std::string>& andContentType, const std::string& forKey);
    void setData(const platform::Bytes& data, const std::optional<std::string>& withFileName,
        const std::optional<std::string>& andContentType, const std::string& forKey);

    std::vector<PostValue> postData() const;
    std::vector<FileEntry> fileData() const;
    PostFormat postFormat() const;
    void setPostFormat(PostFormat format);
    platform::StringEncoding stringEncoding() const;
    void setStringEncoding(platform::StringEncoding encoding);

    // Percent-escapes a text for the URL-encoded form: only ASCII letters,
    // digits, "-", "_" and "." stay as they are. nullopt when the text cannot
    // be written in the request's encoding.
    std::optional<std::string> encodeURL(const std::string& string) const;

protected:
    explicit FormDataRequest(platform::Url url);
    void buildPostBody() override;

private:
    void buildURLEncodedPostBody();
    void buildMultipartFormDataPostBody();
    // Appends text in the request's encoding; false (and the request failed)
    // when the text has characters the encoding cannot write.
    bool appendPostString(const std::string& string);
    void removeFiles(const std::string& key);
    void addFileEntry(FileEntry entry);

    std::optional<std::vector<PostValue>> postData_;
    std::optional<std::vector<FileEntry>> fileData_;
    PostFormat postFormat_ = URLEncodedPostFormat;
    platform::StringEncoding stringEncoding_ = platform::kUTF8StringEncoding;
};

} // namespace foundation
