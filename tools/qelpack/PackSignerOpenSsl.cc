#include "qelpack/PackSigner.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <algorithm>

#include "platform/Error.h"

namespace qel::pack_tool {
namespace {

struct TBioFree {
  void operator()(BIO* b) const { BIO_free(b); }
};
struct TBnFree {
  void operator()(BIGNUM* n) const { BN_free(n); }
};
struct TMdCtxFree {
  void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};
using TBio = std::unique_ptr<BIO, TBioFree>;
using TBn = std::unique_ptr<BIGNUM, TBnFree>;

void PutLe32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

TBn KeyNumber(EVP_PKEY* key, const char* name) {
  BIGNUM* number = nullptr;
  if (EVP_PKEY_get_bn_param(key, name, &number) != 1) throw EQelError("cannot read the key");
  return TBn(number);
}

}  // namespace

struct TPackSigner::TState {
  EVP_PKEY* Key = nullptr;
  ~TState() { EVP_PKEY_free(Key); }
};

TPackSigner::TPackSigner(std::unique_ptr<TState> state) : State_(std::move(state)) {}
TPackSigner::~TPackSigner() = default;

std::unique_ptr<TPackSigner> TPackSigner::Generate() {
  auto state = std::make_unique<TState>();
  state->Key = EVP_RSA_gen(kKeyBits);
  if (state->Key == nullptr) throw EQelError("cannot generate an RSA key");
  return std::unique_ptr<TPackSigner>(new TPackSigner(std::move(state)));
}

std::unique_ptr<TPackSigner> TPackSigner::Load(const std::string& pem_path) {
  TBio file(BIO_new_file(pem_path.c_str(), "r"));
  if (!file) throw EQelError("cannot open " + pem_path);
  auto state = std::make_unique<TState>();
  state->Key = PEM_read_bio_PrivateKey(file.get(), nullptr, nullptr, nullptr);
  if (state->Key == nullptr || !EVP_PKEY_is_a(state->Key, "RSA"))
    throw EQelError(pem_path + " holds no RSA private key");
  if (EVP_PKEY_get_bits(state->Key) != kKeyBits)
    throw EQelError(pem_path + ": the key must have " + std::to_string(kKeyBits) + " bits");
  return std::unique_ptr<TPackSigner>(new TPackSigner(std::move(state)));
}

void TPackSigner::SavePrivateKey(const std::string& pem_path) const {
  TBio file(BIO_new_file(pem_path.c_str(), "w"));
  if (!file ||
      PEM_write_bio_PrivateKey(file.get(), State_->Key, nullptr, nullptr, 0, nullptr, nullptr) != 1)
    throw EQelError("cannot write " + pem_path);
}

std::vector<uint8_t> TPackSigner::PublicBlob() const {
  const TBn modulus = KeyNumber(State_->Key, OSSL_PKEY_PARAM_RSA_N);
  const TBn exponent = KeyNumber(State_->Key, OSSL_PKEY_PARAM_RSA_E);
  if (BN_num_bytes(exponent.get()) > 4) throw EQelError("public exponent too large");
  // PUBLICKEYBLOB, CUR_BLOB_VERSION, reserved, CALG_RSA_SIGN; "RSA1", bits, exponent.
  std::vector<uint8_t> blob = {6, 2, 0, 0, 0x00, 0x24, 0, 0, 'R', 'S', 'A', '1'};
  PutLe32(blob, kKeyBits);
  PutLe32(blob, static_cast<uint32_t>(BN_get_word(exponent.get())));
  std::vector<uint8_t> modulus_le(kKeyBits / 8);
  if (BN_bn2lebinpad(modulus.get(), modulus_le.data(), static_cast<int>(modulus_le.size())) < 0)
    throw EQelError("cannot write the modulus");
  blob.insert(blob.end(), modulus_le.begin(), modulus_le.end());
  return blob;
}

std::vector<uint8_t> TPackSigner::Sign(std::span<const uint8_t> data) const {
  std::unique_ptr<EVP_MD_CTX, TMdCtxFree> context(EVP_MD_CTX_new());
  EVP_PKEY_CTX* key_context = nullptr;
  size_t length = 0;
  if (!context ||
      EVP_DigestSignInit(context.get(), &key_context, EVP_sha1(), nullptr, State_->Key) != 1 ||
      EVP_PKEY_CTX_set_rsa_padding(key_context, RSA_PKCS1_PADDING) != 1 ||
      EVP_DigestSignUpdate(context.get(), data.data(), data.size()) != 1 ||
      EVP_DigestSignFinal(context.get(), nullptr, &length) != 1)
    throw EQelError("cannot sign");
  std::vector<uint8_t> signature(length);
  if (EVP_DigestSignFinal(context.get(), signature.data(), &length) != 1)
    throw EQelError("cannot sign");
  signature.resize(length);
  // The library reads signatures least significant byte first.
  std::reverse(signature.begin(), signature.end());
  return signature;
}

}  // namespace qel::pack_tool
