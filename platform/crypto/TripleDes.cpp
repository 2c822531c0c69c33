#include "platform/crypto/TripleDes.h"

#include <openssl/evp.h>

#include <climits>
#include <memory>

namespace platform {

namespace {

    struct CipherContextFree {
        void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
    };

    std::optional<Bytes> fail(Error* error, long code, const char* description)
    {
        setError(error, Error::withDescription(kOSStatusErrorDomain, code, description));
        return std::nullopt;
    }

    std::optional<Bytes> run(const Bytes& input, const Bytes& key, bool encrypting, Error* error)
    {
        if (key.size() != TripleDes::kKeySize)
            return fail(error, TripleDes::kParamError, "Triple-DES needs a key of 24 bytes");
        if (!encrypting && input.size() % TripleDes::kBlockSize != 0)
            return fail(error, TripleDes::kAlignmentError, "The cipher text is not a whole number of blocks");
        if (input.size() > static_cast<std::size_t>(INT_MAX) - TripleDes::kBlockSize)
            return fail(error, TripleDes::kParamError, "The data is too large");

        std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree> ctx(EVP_CIPHER_CTX_new());
        if (!ctx
            || EVP_CipherInit_ex(ctx.get(), EVP_des_ede3_ecb(), nullptr, key.data(), nullptr, encrypting ? 1 : 0) != 1)
            return fail(error, TripleDes::kInternalError, "Triple-DES is not available");
        EVP_CIPHER_CTX_set_padding(ctx.get(), 1);

        // Encryption adds at most one block; the final step may also hold one back.
        Bytes out(input.size() + TripleDes::kBlockSize);
        int written = 0;
        if (!input.empty()
            && EVP_CipherUpdate(ctx.get(), out.data(), &written, input.data(), static_cast<int>(input.size())) != 1)
            return fail(error, TripleDes::kInternalError, "Triple-DES failed");
        int last = 0;
        if (EVP_CipherFinal_ex(ctx.get(), out.data() + written, &last) != 1) {
            if (!encrypting)
                return fail(error, TripleDes::kDecodeError, "The padding of the decrypted data is not valid");
            return fail(error, TripleDes::kInternalError, "Triple-DES failed");
        }
        out.resize(static_cast<std::size_t>(written + last));
        return out;
    }

    bool isValidUtf8(const Bytes& bytes)
    {
        std::size_t i = 0;
        const std::size_t n = bytes.size();
        while (i < n) {
            std::uint8_t c = bytes[i];
            std::size_t extra;
            std::uint32_t cp;
            if (c < 0x80) {
                ++i;
                continue;
            } else if (c >= 0xC2 && c <= 0xDF) {
                extra = 1;
                cp = c & 0x1F;
            } else if (c >= 0xE0 && c <= 0xEF) {
                extra = 2;
                cp = c & 0x0F;
            } else if (c >= 0xF0 && c <= 0xF4) {
                extra = 3;
                cp = c & 0x07;
            } else {
                return false;
            }
            if (i + extra >= n) // cut short
                return false;
            for (std::size_t k = 1; k <= extra; ++k) {
                std::uint8_t cc = bytes[i + k];
                if ((cc & 0xC0) != 0x80)
                    return false;
                cp = (cp << 6) | (cc & 0x3F);
            }
            // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
            if ((extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000) || (cp >= 0xD800 && cp <= 0xDFFF)
                || cp > 0x10FFFF)
                return false;
            i += extra + 1;
        }
        return true;
    }

    Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

} // namespace

std::optional<Bytes> TripleDes::encrypt(const Bytes& plain, const Bytes& key, Error* error)
{
    return run(plain, key, true, error);
}

std::optional<Bytes> TripleDes::decrypt(const Bytes& cipher, const Bytes& key, Error* error)
{
    return run(cipher, key, false, error);
}

std::optional<Bytes> TripleDes::encryptText(std::string_view text, std::string_view key, Error* error)
{
    return run(bytesOf(text), bytesOf(key), true, error);
}

std::optional<std::string> TripleDes::decryptText(const Bytes& cipher, std::string_view key, Error* error)
{
    auto plain = run(cipher, bytesOf(key), false, error);
    if (!plain)
        return std::nullopt;
    if (!isValidUtf8(*plain)) {
        setError(
            error, Error::withDescription(kOSStatusErrorDomain, kDecodeError, "The decrypted data is not UTF-8 text"));
        return std::nullopt;
    }
    return std::string(plain->begin(), plain->end());
}

} // namespace platform
