#include "platform/win32/CryptoHandles.h"

#include "platform/Error.h"

namespace qel {

TCryptContext::TCryptContext() {
  if (!CryptAcquireContextA(&Handle_, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT))
    throw EQelError("cannot open the cryptography provider");
}

TCryptContext::~TCryptContext() { CryptReleaseContext(Handle_, 0); }

TCryptHash::TCryptHash(const TCryptContext& context) {
  if (!CryptCreateHash(context.Get(), CALG_SHA1, 0, 0, &Handle_))
    throw EQelError("cannot create a SHA-1 hash");
}

TCryptHash::~TCryptHash() { CryptDestroyHash(Handle_); }

TCryptKey::TCryptKey(const TCryptContext& context, const BYTE* blob, DWORD size) {
  if (!CryptImportKey(context.Get(), blob, size, 0, 0, &Handle_))
    throw EQelError("cannot import the public key");
}

TCryptKey::~TCryptKey() { CryptDestroyKey(Handle_); }

}  // namespace qel
