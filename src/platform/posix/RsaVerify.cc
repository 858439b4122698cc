#include "platform/RsaVerify.h"

#include <openssl/core_names.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/rsa.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/Error.h"

namespace qel {
namespace {

constexpr uint8_t kPublicKeyBlob = 6;
constexpr uint8_t kBlobVersion = 2;
constexpr uint32_t kAlgRsaSign = 0x2400;
constexpr uint32_t kMagicRsa1 = 0x31415352;  // "RSA1"

uint32_t ReadLe32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

struct TBnFree {
  void operator()(BIGNUM* n) const { BN_free(n); }
};
struct TParamBldFree {
  void operator()(OSSL_PARAM_BLD* b) const { OSSL_PARAM_BLD_free(b); }
};
struct TParamFree {
  void operator()(OSSL_PARAM* p) const { OSSL_PARAM_free(p); }
};
struct TPkeyCtxFree {
  void operator()(EVP_PKEY_CTX* c) const { EVP_PKEY_CTX_free(c); }
};
using TBn = std::unique_ptr<BIGNUM, TBnFree>;
using TPkeyCtx = std::unique_ptr<EVP_PKEY_CTX, TPkeyCtxFree>;

}  // namespace

struct TSha1Hash::TState {
  EVP_MD_CTX* Context = nullptr;
  ~TState() { EVP_MD_CTX_free(Context); }
};

TSha1Hash::TSha1Hash() : State_(std::make_unique<TState>()) {
  State_->Context = EVP_MD_CTX_new();
  if (State_->Context == nullptr || EVP_DigestInit_ex(State_->Context, EVP_sha1(), nullptr) != 1)
    throw EQelError("cannot create a SHA-1 hash");
}

TSha1Hash::~TSha1Hash() = default;

void TSha1Hash::Add(std::span<const uint8_t> bytes) {
  if (EVP_DigestUpdate(State_->Context, bytes.data(), bytes.size()) != 1)
    throw EQelError("cannot hash data");
}

TSha1Digest TSha1Hash::Finish() {
  TSha1Digest digest{};
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(State_->Context, digest.data(), &length) != 1 || length != digest.size())
    throw EQelError("cannot finish a SHA-1 hash");
  return digest;
}

struct TRsaPublicKey::TState {
  EVP_PKEY* Key = nullptr;
  ~TState() { EVP_PKEY_free(Key); }
};

TRsaPublicKey::TRsaPublicKey(std::unique_ptr<TState> state, uint32_t modulus_bytes)
    : State_(std::move(state)), ModulusBytes_(modulus_bytes) {}

TRsaPublicKey::~TRsaPublicKey() = default;

std::unique_ptr<TRsaPublicKey> TRsaPublicKey::Import(std::span<const uint8_t> blob) {
  if (blob.size() < kBlobHeaderSize) throw EQelError("public-key blob too short");
  const uint8_t* p = blob.data();
  if (p[0] != kPublicKeyBlob || p[1] != kBlobVersion || p[2] != 0 || p[3] != 0 ||
      ReadLe32(p + 4) != kAlgRsaSign || ReadLe32(p + 8) != kMagicRsa1)
    throw EQelError("not an RSA signature public-key blob");
  const uint32_t bits = ReadLe32(p + 12);
  const uint32_t exponent = ReadLe32(p + 16);
  if (bits == 0 || bits % 8 != 0 || blob.size() - kBlobHeaderSize != bits / 8)
    throw EQelError("public-key blob length does not match its key length");
  if (exponent < 3 || exponent % 2 == 0) throw EQelError("bad public exponent");

  TBn modulus(BN_lebin2bn(p + kBlobHeaderSize, static_cast<int>(bits / 8), nullptr));
  TBn public_exponent(BN_new());
  if (!modulus || !public_exponent || BN_set_word(public_exponent.get(), exponent) != 1)
    throw EQelError("cannot read the public key");

  std::unique_ptr<OSSL_PARAM_BLD, TParamBldFree> build(OSSL_PARAM_BLD_new());
  if (!build ||
      OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_N, modulus.get()) != 1 ||
      OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_E, public_exponent.get()) != 1)
    throw EQelError("cannot read the public key");
  std::unique_ptr<OSSL_PARAM, TParamFree> params(OSSL_PARAM_BLD_to_param(build.get()));
  TPkeyCtx context(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
  auto state = std::make_unique<TState>();
  if (!params || !context || EVP_PKEY_fromdata_init(context.get()) != 1 ||
      EVP_PKEY_fromdata(context.get(), &state->Key, EVP_PKEY_PUBLIC_KEY, params.get()) != 1)
    throw EQelError("cannot import the public key");
  return std::unique_ptr<TRsaPublicKey>(new TRsaPublicKey(std::move(state), bits / 8));
}

bool TRsaPublicKey::VerifySha1(const TSha1Digest& digest,
                               std::span<const uint8_t> signature) const {
  if (signature.size() != ModulusBytes_) return false;
  std::vector<uint8_t> big_endian(signature.rbegin(), signature.rend());
  TPkeyCtx context(EVP_PKEY_CTX_new_from_pkey(nullptr, State_->Key, nullptr));
  if (!context || EVP_PKEY_verify_init(context.get()) != 1 ||
      EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_PADDING) != 1 ||
      EVP_PKEY_CTX_set_signature_md(context.get(), EVP_sha1()) != 1)
    throw EQelError("cannot set up signature verification");
  const bool valid = EVP_PKEY_verify(context.get(), big_endian.data(), big_endian.size(),
                                     digest.data(), digest.size()) == 1;
  // A refused signature leaves its reason in this thread's error queue.
  ERR_clear_error();
  return valid;
}

}  // namespace qel
