// The publisher's side of pack signatures: RSA key pairs and SHA-1
// PKCS #1 v1.5 signatures in the byte layout the library checks (public-key
// blob and signature least significant byte first).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace qel::pack_tool {

class TPackSigner {
 public:
  static constexpr int kKeyBits = 1024;

  // A new key pair.
  static std::unique_ptr<TPackSigner> Generate();
  // The private key of a PEM file; raises EQelError.
  static std::unique_ptr<TPackSigner> Load(const std::string& pem_path);
  ~TPackSigner();
  TPackSigner(const TPackSigner&) = delete;
  TPackSigner& operator=(const TPackSigner&) = delete;

  // Writes the private key as unencrypted PKCS #8 PEM.
  void SavePrivateKey(const std::string& pem_path) const;
  // The 148-byte public-key blob that the library is built with.
  std::vector<uint8_t> PublicBlob() const;
  std::vector<uint8_t> Sign(std::span<const uint8_t> data) const;

 private:
  struct TState;
  explicit TPackSigner(std::unique_ptr<TState> state);
  std::unique_ptr<TState> State_;
};

}  // namespace qel::pack_tool
