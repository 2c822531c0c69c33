// The queries of the class-album pages. The pages are the client's own local
// files, so their scripts fetch from another origin: these answers say that
// any origin may read them (they carry nothing the account's other queries
// do not).
#include "server/ResponderContext.h"

namespace server {

namespace {

    Reply readableByPages(Reply reply)
    {
        reply.headers.emplace_back("Access-Control-Allow-Origin", "*");
        return reply;
    }

    // Whether the album belongs to one of the classes.
    bool albumOfClasses(const Value& classId, const Array& classes)
    {
        for (const auto& c : classes) {
            if (c["classId"].longLongValue() == classId.longLongValue())
                return true;
        }
        return false;
    }

} // namespace

Reply RequestContext::albumPages() { return readableByPages(albumList()); }

Reply RequestContext::albumPhotos()
{
    auto album = data_.row("SELECT a.album_id AS albumId, a.name AS albumName, a.description AS description, "
                           "a.class_id AS classId, c.class_name AS belongs, a.created AS created "
                           "FROM album a JOIN class c ON c.class_id = a.class_id WHERE a.album_id = ?",
        { paramInt("albumId") });
    // Another class's album is as unknown as a missing one.
    if (!album || !albumOfClasses(album->get("classId"), classesOf(userId())))
        return readableByPages(failure("相册不存在"));
    int pageSize = clampPageSize(paramInt("pageSize"), 60);
    long long pageNumber = std::max<long long>(1, paramInt("page"));
    auto total = data_.scalar("SELECT COUNT(*) FROM album_photo WHERE album_id = ?", { album->get("albumId") });
    auto items = data_.rows("SELECT id AS photoId, url, created FROM album_photo WHERE album_id = ? "
                            "ORDER BY id DESC LIMIT ? OFFSET ?",
        { album->get("albumId"), pageSize, std::min<long long>(pageNumber - 1, 100000) * pageSize });
    return readableByPages(withItems(std::move(items),
        Dictionary { { "total", total.intValue() }, { "album", Value(std::move(*album)) } }));
}

Reply RequestContext::recentPhotos()
{
    std::string classIds;
    for (auto& c : classesOf(userId()))
        classIds += (classIds.empty() ? "" : ",") + c["classId"].stringValue();
    int pageSize = clampPageSize(paramInt("pageSize"), 30);
    return readableByPages(withItems(data_.rows("SELECT f.id AS photoId, f.url AS url, f.created AS created, "
                                                "a.album_id AS albumId, a.name AS albumName, c.class_name AS belongs "
                                                "FROM album_photo f JOIN album a ON a.album_id = f.album_id "
                                                "JOIN class c ON c.class_id = a.class_id "
                                                "WHERE instr(',' || ? || ',', ',' || a.class_id || ',') > 0 "
                                                "ORDER BY f.id DESC LIMIT ?",
        { classIds, pageSize })));
}

} // namespace server
