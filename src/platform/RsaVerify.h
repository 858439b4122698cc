// SHA-1 hashing and RSA signature verification (PKCS #1 v1.5 over a SHA-1
// digest). Keys and signatures use the byte layout of the Windows
// cryptography services: a public-key blob with the modulus least
// significant byte first, and signatures least significant byte first.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>

namespace qel {

using TSha1Digest = std::array<uint8_t, 20>;

// A running SHA-1 hash. Every call raises EQelError on failure.
class TSha1Hash {
 public:
  TSha1Hash();
  ~TSha1Hash();
  TSha1Hash(const TSha1Hash&) = delete;
  TSha1Hash& operator=(const TSha1Hash&) = delete;

  void Add(std::span<const uint8_t> bytes);
  // Ends the hash; nothing can be added afterwards.
  TSha1Digest Finish();

 private:
  struct TState;
  std::unique_ptr<TState> State_;
};

// An RSA public key imported from a public-key blob: blob type 6, version 2,
// two zero bytes, algorithm 0x2400, "RSA1", bit length, public exponent, then
// the modulus of bit length / 8 bytes, all integers least significant byte
// first. Import raises EQelError for anything else.
class TRsaPublicKey {
 public:
  static constexpr uint32_t kBlobHeaderSize = 20;

  static std::unique_ptr<TRsaPublicKey> Import(std::span<const uint8_t> blob);
  ~TRsaPublicKey();
  TRsaPublicKey(const TRsaPublicKey&) = delete;
  TRsaPublicKey& operator=(const TRsaPublicKey&) = delete;

  uint32_t ModulusBytes() const { return ModulusBytes_; }
  // True when `signature` (least significant byte first) is a valid
  // signature of `digest`; false for an invalid one, of any length.
  bool VerifySha1(const TSha1Digest& digest, std::span<const uint8_t> signature) const;

 private:
  struct TState;
  TRsaPublicKey(std::unique_ptr<TState> state, uint32_t modulus_bytes);

  std::unique_ptr<TState> State_;
  uint32_t ModulusBytes_;
};

}  // namespace qel
