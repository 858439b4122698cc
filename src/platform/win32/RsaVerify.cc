// SHA-1 and RSA verification on CryptoAPI, whose blob and signature layouts
// are the ones the header describes: both go to it unchanged.
#include "platform/RsaVerify.h"

#include <algorithm>

#include "platform/Error.h"
#include "platform/win32/CryptoHandles.h"

namespace qel {
namespace {

constexpr uint8_t kPublicKeyBlob = PUBLICKEYBLOB;
constexpr uint8_t kBlobVersion = CUR_BLOB_VERSION;
constexpr uint32_t kMagicRsa1 = 0x31415352;  // "RSA1"
// CryptHashData takes a 32-bit length.
constexpr size_t kLargestHashedPiece = size_t{1} << 30;

uint32_t ReadLe32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// CryptImportKey would take other blobs too (private keys, other
// algorithms, a modulus shorter or longer than the blob): only the one form
// a signature key is published in is let through.
uint32_t CheckedModulusBytes(std::span<const uint8_t> blob) {
  if (blob.size() < TRsaPublicKey::kBlobHeaderSize) throw EQelError("public-key blob too short");
  const uint8_t* p = blob.data();
  if (p[0] != kPublicKeyBlob || p[1] != kBlobVersion || p[2] != 0 || p[3] != 0 ||
      ReadLe32(p + 4) != CALG_RSA_SIGN || ReadLe32(p + 8) != kMagicRsa1)
    throw EQelError("not an RSA signature public-key blob");
  const uint32_t bits = ReadLe32(p + 12);
  const uint32_t exponent = ReadLe32(p + 16);
  if (bits == 0 || bits % 8 != 0 || blob.size() - TRsaPublicKey::kBlobHeaderSize != bits / 8)
    throw EQelError("public-key blob length does not match its key length");
  if (exponent < 3 || exponent % 2 == 0) throw EQelError("bad public exponent");
  return bits / 8;
}

}  // namespace

struct TSha1Hash::TState {
  TCryptContext Context;
  TCryptHash Hash{Context};
};

TSha1Hash::TSha1Hash() : State_(std::make_unique<TState>()) {}

TSha1Hash::~TSha1Hash() = default;

void TSha1Hash::Add(std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    const size_t piece = std::min(bytes.size(), kLargestHashedPiece);
    if (!CryptHashData(State_->Hash.Get(), bytes.data(), static_cast<DWORD>(piece), 0))
      throw EQelError("cannot hash data");
    bytes = bytes.subspan(piece);
  }
}

TSha1Digest TSha1Hash::Finish() {
  TSha1Digest digest{};
  DWORD length = digest.size();
  // Reading the value ends the hash: CryptoAPI refuses more data afterwards.
  if (!CryptGetHashParam(State_->Hash.Get(), HP_HASHVAL, digest.data(), &length, 0) ||
      length != digest.size())
    throw EQelError("cannot finish a SHA-1 hash");
  return digest;
}

struct TRsaPublicKey::TState {
  TCryptContext Context;
  std::unique_ptr<TCryptKey> Key;
};

TRsaPublicKey::TRsaPublicKey(std::unique_ptr<TState> state, uint32_t modulus_bytes)
    : State_(std::move(state)), ModulusBytes_(modulus_bytes) {}

TRsaPublicKey::~TRsaPublicKey() = default;

std::unique_ptr<TRsaPublicKey> TRsaPublicKey::Import(std::span<const uint8_t> blob) {
  const uint32_t modulus_bytes = CheckedModulusBytes(blob);
  auto state = std::make_unique<TState>();
  state->Key = std::make_unique<TCryptKey>(state->Context, blob.data(),
                                           static_cast<DWORD>(blob.size()));
  return std::unique_ptr<TRsaPublicKey>(new TRsaPublicKey(std::move(state), modulus_bytes));
}

bool TRsaPublicKey::VerifySha1(const TSha1Digest& digest,
                               std::span<const uint8_t> signature) const {
  if (signature.size() != ModulusBytes_) return false;
  // A hash object that is given its value instead of computing it.
  TCryptHash hash(State_->Context);
  if (!CryptSetHashParam(hash.Get(), HP_HASHVAL, digest.data(), 0))
    throw EQelError("cannot set up signature verification");
  // Any refusal here is about the signature: the key and hash are sound.
  return CryptVerifySignatureA(hash.Get(), signature.data(), static_cast<DWORD>(signature.size()),
                               State_->Key->Get(), nullptr, 0) != FALSE;
}

}  // namespace qel
