#pragma once

// Small gzip bodies that inflate to far more than they are: the hostile
// replies the HTTP engine must refuse without taking the process's memory.
// Made piece by piece, so that a body of gigabytes inflated is never held
// whole while it is made.

#include "foundation/http/DataCompressor.h"

#include <algorithm>
#include <string>

namespace testsupport {

// `head`, then `size` bytes of `fill`, gzip-compressed.
inline std::string gzipOfRepeats(std::size_t size, char fill = '\0', const std::string& head = {})
{
    auto compressor = foundation::DataCompressor::compressor();
    if (!compressor)
        return {};
    std::string out;
    auto take = [&out](const std::optional<platform::Bytes>& piece) {
        if (piece)
            out.append(piece->begin(), piece->end());
    };
    if (!head.empty())
        take(
            compressor->compressBytes(reinterpret_cast<const std::uint8_t*>(head.data()), head.size(), nullptr, false));
    const platform::Bytes piece(std::size_t { 1 } << 20, static_cast<std::uint8_t>(fill));
    for (std::size_t left = size; left > 0;) {
        const std::size_t count = std::min(left, piece.size());
        left -= count;
        take(compressor->compressBytes(piece.data(), count, nullptr, left == 0));
    }
    if (size == 0)
        take(compressor->finishStream(nullptr));
    return out;
}

} // namespace testsupport
