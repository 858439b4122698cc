// Owners of CryptoAPI handles. A hash or key must go before the context it
// was made in, so holders of both declare the context first.
#pragma once

#include <windows.h>
#include <wincrypt.h>

namespace qel {

class TCryptContext {
 public:
  // A verification-only context of the default full RSA provider: no key
  // container, nothing stored.
  TCryptContext();
  ~TCryptContext();
  TCryptContext(const TCryptContext&) = delete;
  TCryptContext& operator=(const TCryptContext&) = delete;

  HCRYPTPROV Get() const { return Handle_; }

 private:
  HCRYPTPROV Handle_ = 0;
};

class TCryptHash {
 public:
  // A SHA-1 hash object in `context`.
  explicit TCryptHash(const TCryptContext& context);
  ~TCryptHash();
  TCryptHash(const TCryptHash&) = delete;
  TCryptHash& operator=(const TCryptHash&) = delete;

  HCRYPTHASH Get() const { return Handle_; }

 private:
  HCRYPTHASH Handle_ = 0;
};

class TCryptKey {
 public:
  // `blob` imported into `context`, without an unwrapping key.
  TCryptKey(const TCryptContext& context, const BYTE* blob, DWORD size);
  ~TCryptKey();
  TCryptKey(const TCryptKey&) = delete;
  TCryptKey& operator=(const TCryptKey&) = delete;

  HCRYPTKEY Get() const { return Handle_; }

 private:
  HCRYPTKEY Handle_ = 0;
};

}  // namespace qel
