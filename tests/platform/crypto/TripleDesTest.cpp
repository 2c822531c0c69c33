#include "platform/crypto/TripleDes.h"
#include "tests/platform/crypto/CryptoTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace platform;
using namespace cryptotest;

namespace {

// The reference: openssl's Triple-DES in ECB mode (its default padding is PKCS#7).
Bytes opensslEnc(const TempDir& dir, const Bytes& input, const Bytes& key, bool decrypt, bool noPad = false)
{
    auto in = dir.file("in");
    auto out = dir.file("out");
    writeFile(in, input);
    std::string command = "openssl enc -des-ede3 -nosalt" + std::string(decrypt ? " -d" : "")
        + std::string(noPad ? " -nopad" : "") + " -K " + hexOf(key) + " -in " + testsupport::shellQuoted(in) + " -out " + testsupport::shellQuoted(out);
    EXPECT_EQ(testsupport::runCommand(command).status, 0) << command;
    return readFile(out);
}

const Bytes kKey = randomBytes(TripleDes::kKeySize, 42);

TEST(TripleDes, EqualsOpensslBothWaysForEveryLength)
{
    TempDir dir;
    for (std::size_t length : { 0, 1, 7, 8, 9, 15, 16, 17, 100, 4096 }) {
        SCOPED_TRACE("length " + std::to_string(length));
        Bytes plain = randomBytes(length, static_cast<unsigned>(length) + 1);
        Error error;
        auto ours = TripleDes::encrypt(plain, kKey, &error);
        ASSERT_TRUE(ours) << error.description();
        EXPECT_EQ(ours->size(), (length / 8 + 1) * 8);
        Bytes theirs = opensslEnc(dir, plain, kKey, false);
        EXPECT_EQ(hexOf(*ours), hexOf(theirs));

        auto back = TripleDes::decrypt(theirs, kKey, &error);
        ASSERT_TRUE(back) << error.description();
        EXPECT_EQ(*back, plain);
        EXPECT_EQ(opensslEnc(dir, *ours, kKey, true), plain);
    }
}

TEST(TripleDes, TextUsesUtf8BytesAndTheKeyText)
{
    TempDir dir;
    const std::string keyText = "orb-home-school-key-24b!";
    ASSERT_EQ(keyText.size(), 24u);
    const std::string text = "家校通: 明天 8:00 开家长会";
    auto cipher = TripleDes::encryptText(text, keyText);
    ASSERT_TRUE(cipher);
    EXPECT_EQ(*cipher, opensslEnc(dir, Bytes(text.begin(), text.end()), Bytes(keyText.begin(), keyText.end()), false));
    auto back = TripleDes::decryptText(*cipher, keyText);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, text);
}

TEST(TripleDes, RefusesKeysThatAreNot24Bytes)
{
    for (std::size_t size : { 0, 8, 16, 23, 25 }) {
        Error error;
        EXPECT_FALSE(TripleDes::encrypt({ 1, 2, 3 }, randomBytes(size, 5), &error)) << size;
        EXPECT_EQ(error.code(), TripleDes::kParamError) << size;
        EXPECT_EQ(error.domain(), kOSStatusErrorDomain);
        EXPECT_FALSE(TripleDes::decrypt(Bytes(8, 0), randomBytes(size, 5), &error)) << size;
        EXPECT_EQ(error.code(), TripleDes::kParamError) << size;
    }
    EXPECT_FALSE(TripleDes::encryptText("x", "short key")); // no error pointer: still no result
}

TEST(TripleDes, RefusesCipherTextThatIsCutOrBadlyPadded)
{
    TempDir dir;
    Error error;
    auto cipher = TripleDes::encrypt(randomBytes(20, 9), kKey);
    ASSERT_TRUE(cipher);
    Bytes cut(cipher->begin(), cipher->end() - 1);
    EXPECT_FALSE(TripleDes::decrypt(cut, kKey, &error));
    EXPECT_EQ(error.code(), TripleDes::kAlignmentError);
    EXPECT_FALSE(TripleDes::decrypt({}, kKey, &error)) << "no block carries no padding";
    EXPECT_EQ(error.code(), TripleDes::kDecodeError);

    // Blocks whose last plain bytes are not PKCS#7 padding, enciphered without padding.
    const std::vector<Bytes> badTails {
        { 'a', 'b', 'c', 'd', 'e', 'f', 'g', 0x00 }, // zero is no pad length
        { 'a', 'b', 'c', 'd', 'e', 'f', 'g', 0x09 }, // longer than a block
        { 'a', 'b', 'c', 'd', 'e', 'f', 0x03, 0x02 }, // pad bytes disagree
        { 'a', 'b', 'c', 'd', 0x04, 0x04, 0x03, 0x04 },
    };
    for (const auto& block : badTails) {
        Bytes raw = opensslEnc(dir, block, kKey, false, true);
        ASSERT_EQ(raw.size(), 8u);
        error = Error();
        EXPECT_FALSE(TripleDes::decrypt(raw, kKey, &error)) << hexOf(block);
        EXPECT_EQ(error.code(), TripleDes::kDecodeError) << hexOf(block);
    }
}

TEST(TripleDes, DecryptTextRefusesBytesThatAreNotUtf8)
{
    const std::string keyText(24, 'k');
    const Bytes keyBytes(keyText.begin(), keyText.end());
    for (const Bytes& plain : std::vector<Bytes> {
             { 0xff, 0xfe, 'a' }, // never in UTF-8
             { 'a', 0xe5, 0xae }, // a character cut short
             { 0xc0, 0xaf }, // an overlong slash
             { 0xed, 0xa0, 0x80 }, // a surrogate
         }) {
        auto cipher = TripleDes::encrypt(plain, keyBytes);
        ASSERT_TRUE(cipher);
        Error error;
        EXPECT_FALSE(TripleDes::decryptText(*cipher, keyText, &error)) << hexOf(plain);
        EXPECT_EQ(error.code(), TripleDes::kDecodeError);
        auto raw = TripleDes::decrypt(*cipher, keyBytes);
        ASSERT_TRUE(raw);
        EXPECT_EQ(*raw, plain);
    }
}

} // namespace
