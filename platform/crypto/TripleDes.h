#pragma once

#include "platform/os/Error.h"
#include "platform/os/Value.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Triple-DES (EDE, three keys) in ECB mode with PKCS#7 padding: the output of
// encryption is the input rounded up to the next multiple of 8 bytes, a whole
// block more when it already is one. Failures give no result and, when asked,
// an error in kOSStatusErrorDomain with the platform's crypto status codes.
class TripleDes final {
public:
    static constexpr std::size_t kKeySize = 24;
    static constexpr std::size_t kBlockSize = 8;

    static constexpr long kParamError = -4300; // the key is not 24 bytes
    static constexpr long kAlignmentError = -4303; // cipher text not a whole number of blocks
    static constexpr long kDecodeError = -4304; // the padding is not valid
    static constexpr long kInternalError = -4305; // the crypto library refused the operation

    static std::optional<Bytes> encrypt(const Bytes& plain, const Bytes& key, Error* error = nullptr);
    static std::optional<Bytes> decrypt(const Bytes& cipher, const Bytes& key, Error* error = nullptr);

    // Text in, as its UTF-8 bytes; the key is the 24 bytes of its text.
    static std::optional<Bytes> encryptText(std::string_view text, std::string_view key, Error* error = nullptr);
    // Decrypted bytes that are not valid UTF-8 give no text (kDecodeError).
    static std::optional<std::string> decryptText(const Bytes& cipher, std::string_view key, Error* error = nullptr);
};

} // namespace platform
