// Photo and voice uploads, and the stored files served back.
#include "server/ResponderContext.h"

namespace server {

Reply RequestContext::upload()
{
    auto segments = platform::split(request_.route, "/"); // upload, kind, uid, type
    if (segments.size() != 4)
        return notFound();
    const std::string& kind = segments[1];
    bool voice = kind == "audio";
    if (!voice && !kPhotoKinds.contains(kind))
        return notFound();
    auto isNumber = [](const std::string& s) {
        return !s.empty() && s.size() < 12
            && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (!isNumber(segments[2]) || !isNumber(segments[3]))
        return failure("上传地址错误", 404);
    auto file = std::find_if(request_.parts.begin(), request_.parts.end(), [](auto& p) { return p.name == "file"; });
    if (file == request_.parts.end())
        return failure("没有收到文件", 400);

    // Stored under a name of our own; only a short alphanumeric extension survives.
    std::string extension;
    if (auto dot = file->fileName.rfind('.'); dot != std::string::npos) {
        std::string ext = file->fileName.substr(dot + 1);
        if (!ext.empty() && ext.size() <= 5
            && std::all_of(ext.begin(), ext.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)); }))
            extension = "." + platform::asciiToLower(ext);
    }
    if (extension.empty())
        extension = voice ? ".amr" : ".jpg";
    std::string stored = nextId(kind + "-", 1) + extension;
    std::string folder = platform::FileUtil::joinPath(uploadDirectory_, kind);
    platform::Error error;
    if (!platform::FileUtil::createDirectory(folder, &error)
        || !platform::FileUtil::write(
            platform::FileUtil::joinPath(folder, stored), file->content, platform::FileUtil::WriteMode::Atomic, &error))
        return failure("文件保存失败", 500);
    std::string contentType = file->contentType.empty() ? "application/octet-stream" : file->contentType;
    data_.insert("INSERT INTO upload (kind, user_id, account_type, original_name, stored_name, content_type, size, "
                 "created) VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
        { kind, platform::leadingIntegerOf(segments[2]), platform::leadingIntegerOf(segments[3]), file->fileName,
            stored, contentType, static_cast<long long>(file->content.size()), SchoolData::timeText() });
    Dictionary reply = envelope(1, "上传成功");
    if (voice) {
        reply.set("audio", "{base}files/audio/" + stored);
    } else {
        reply.set("original", "{base}files/" + kind + "/" + stored);
        reply.set("thumb", "{base}files/" + kind + "/thumb/" + stored);
    }
    return jsonReply(Value(std::move(reply)));
}

Reply RequestContext::storedFile(const std::string& kind, const std::string& name)
{
    auto row = data_.row("SELECT content_type FROM upload WHERE kind = ? AND stored_name = ?", { kind, name });
    if (!row)
        return notFound();
    auto bytes = platform::FileUtil::read(
        platform::FileUtil::joinPath(platform::FileUtil::joinPath(uploadDirectory_, kind), name));
    if (!bytes)
        return failure("文件不存在", 404);
    return page(row->get("content_type").stringValue(), std::string(bytes->begin(), bytes->end()));
}

} // namespace server
