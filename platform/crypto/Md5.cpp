#include "platform/crypto/Md5.h"

#include "platform/os/Log.h"

#include <openssl/evp.h>

namespace platform {

struct Md5::Impl {
    EVP_MD_CTX* ctx = nullptr;
    bool ok = false;

    Impl()
        : ctx(EVP_MD_CTX_new())
    {
        reset();
    }
    ~Impl() { EVP_MD_CTX_free(ctx); }

    void reset()
    {
        ok = ctx && EVP_DigestInit_ex(ctx, EVP_md5(), nullptr) == 1;
        if (!ok)
            log("Md5: the crypto library has no MD5 (a FIPS-only configuration?)\n");
    }
};

Md5::Md5()
    : impl_(std::make_unique<Impl>())
{
}

Md5::~Md5() = default;

void Md5::update(const void* data, std::size_t size)
{
    if (impl_->ok && size > 0)
        impl_->ok = EVP_DigestUpdate(impl_->ctx, data, size) == 1;
}

Md5Digest Md5::finish()
{
    Md5Digest digest {};
    unsigned int length = 0;
    if (!impl_->ok || EVP_DigestFinal_ex(impl_->ctx, digest.data(), &length) != 1 || length != digest.size()) {
        log("Md5: digest failed\n");
        digest.fill(0);
    }
    impl_->reset();
    return digest;
}

Md5Digest Md5::digest(const void* data, std::size_t size)
{
    Md5 md5;
    md5.update(data, size);
    return md5.finish();
}

std::string Md5::hex(const Bytes& bytes, HexCase letters) { return toHex(digest(bytes), letters); }

std::string Md5::hex(std::string_view text, HexCase letters) { return toHex(digest(text), letters); }

std::string Md5::toHex(const Md5Digest& digest, HexCase letters)
{
    const char* digits = letters == HexCase::Upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string out;
    out.reserve(digest.size() * 2);
    for (std::uint8_t b : digest) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 0x0f]);
    }
    return out;
}

} // namespace platform
