// SHA-1 and RSA verification on CryptoAPI, against signatures that the
// openssl command line made at build time with the development key
// (Signatures.h) and the key blob the program carries as its RAW resource.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Signatures.h"
#include "platform/Error.h"
#include "platform/Resource.h"
#include "platform/RsaVerify.h"

namespace qel::test {
namespace {

std::span<const uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

std::vector<uint8_t> LongMessage() {
  std::vector<uint8_t> message(3000);
  for (size_t i = 0; i < message.size(); ++i) message[i] = static_cast<uint8_t>(i * 7 + 3);
  return message;
}

TSha1Digest DigestOf(std::span<const uint8_t> bytes) {
  TSha1Hash hash;
  hash.Add(bytes);
  return hash.Finish();
}

std::vector<uint8_t> DevelopmentBlob() {
  const auto blob = FindLibraryResource("RAW", "PUBLIC_KEY");
  if (!blob) throw std::runtime_error("the test program has no RAW PUBLIC_KEY");
  return {blob->begin(), blob->end()};
}

std::vector<uint8_t> Copy(std::span<const uint8_t> bytes) { return {bytes.begin(), bytes.end()}; }

TEST(RsaVerifyTest, AcceptsTheDevelopmentKeysSignatures) {
  const auto key = TRsaPublicKey::Import(DevelopmentBlob());
  EXPECT_EQ(key->ModulusBytes(), 128u);
  EXPECT_TRUE(key->VerifySha1(DigestOf(Bytes("pack")), kPackSignature));
  EXPECT_TRUE(key->VerifySha1(DigestOf(LongMessage()), kLongMessageSignature));
  // The key serves any number of checks.
  EXPECT_TRUE(key->VerifySha1(DigestOf(Bytes("pack")), kPackSignature));
}

TEST(RsaVerifyTest, RefusesChangedDataDigestOrSignature) {
  const auto key = TRsaPublicKey::Import(DevelopmentBlob());
  std::vector<uint8_t> message = LongMessage();
  message[1500] ^= 0x01;
  EXPECT_FALSE(key->VerifySha1(DigestOf(message), kLongMessageSignature));
  EXPECT_FALSE(key->VerifySha1(DigestOf(Bytes("pack")), kLongMessageSignature));

  TSha1Digest digest = DigestOf(Bytes("pack"));
  digest[19] ^= 0x80;
  EXPECT_FALSE(key->VerifySha1(digest, kPackSignature));

  for (size_t offset : {0, 64, 127}) {
    std::vector<uint8_t> signature = Copy(kPackSignature);
    signature[offset] ^= 0x01;
    EXPECT_FALSE(key->VerifySha1(DigestOf(Bytes("pack")), signature)) << "byte " << offset;
  }
  const std::vector<uint8_t> big_endian(std::rbegin(kPackSignature), std::rend(kPackSignature));
  EXPECT_FALSE(key->VerifySha1(DigestOf(Bytes("pack")), big_endian));
}

TEST(RsaVerifyTest, RefusesSignaturesOfAnyOtherLength) {
  const auto key = TRsaPublicKey::Import(DevelopmentBlob());
  const TSha1Digest digest = DigestOf(Bytes("pack"));
  std::vector<uint8_t> signature = Copy(kPackSignature);
  // A zero more at the most significant end is the same number.
  signature.push_back(0);
  EXPECT_FALSE(key->VerifySha1(digest, signature));
  signature.resize(127);
  EXPECT_FALSE(key->VerifySha1(digest, signature));
  EXPECT_FALSE(key->VerifySha1(digest, {}));
  EXPECT_FALSE(key->VerifySha1(digest, std::vector<uint8_t>(4096, 0x5A)));
}

TEST(RsaVerifyTest, KeysAcceptOnlyTheirOwnSignatures) {
  const auto development = TRsaPublicKey::Import(DevelopmentBlob());
  const auto other = TRsaPublicKey::Import(kOtherKeyBlob);
  const TSha1Digest digest = DigestOf(Bytes("pack"));
  EXPECT_TRUE(other->VerifySha1(digest, kOtherKeyPackSignature));
  EXPECT_FALSE(development->VerifySha1(digest, kOtherKeyPackSignature));
  EXPECT_FALSE(other->VerifySha1(digest, kPackSignature));
}

// Beyond the blob checks that every system makes (pack_tests): blobs that
// the Windows cryptography services would take but the system must not.
TEST(RsaVerifyTest, RefusesKeysTheCryptographyServicesWouldTake) {
  const std::vector<uint8_t> good = DevelopmentBlob();
  std::vector<uint8_t> exchange_key = good;
  exchange_key[5] = 0xA4;  // CALG_RSA_KEYX, which CryptoAPI would import
  EXPECT_THROW(TRsaPublicKey::Import(exchange_key), EQelError);
  std::vector<uint8_t> exponent_one = good;
  std::fill_n(exponent_one.begin() + 16, 4, 0);
  exponent_one[16] = 1;
  EXPECT_THROW(TRsaPublicKey::Import(exponent_one), EQelError);

  EXPECT_THROW(TRsaPublicKey::Import(std::span(good).first(147)), EQelError);
  EXPECT_THROW(TRsaPublicKey::Import(std::span(good).first(19)), EQelError);
  EXPECT_THROW(TRsaPublicKey::Import({}), EQelError);
  std::vector<uint8_t> longer = good;
  longer.push_back(0);
  EXPECT_THROW(TRsaPublicKey::Import(longer), EQelError);
}

}  // namespace
}  // namespace qel::test
