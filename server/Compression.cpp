#include "server/Compression.h"

#include <zlib.h>

namespace server {

std::optional<std::string> compress(std::string_view data, Compression format)
{
    z_stream stream {};
    // 15 window bits give a zlib wrapper; 16 more ask zlib for a gzip one.
    int windowBits = format == Compression::Gzip ? 15 + 16 : 15;
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return std::nullopt;
    std::string out;
    out.resize(deflateBound(&stream, static_cast<uLong>(data.size())) + 32);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    int result = deflate(&stream, Z_FINISH);
    std::size_t produced = stream.total_out;
    deflateEnd(&stream);
    if (result != Z_STREAM_END)
        return std::nullopt;
    out.resize(produced);
    return out;
}

std::size_t compressedHeaderLength(Compression format)
{
    // deflateInit2 writes the plain gzip header (no name, comment or extra
    // field) and the two-byte zlib header.
    return format == Compression::Gzip ? 10 : 2;
}

} // namespace server
