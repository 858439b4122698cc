// Checks a pack's signature: a SHA-1 hash of the signed region, computed in
// chunks so that the caller can stop between them, then an RSA signature
// check against the public key built into the library.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "pack/PackFailure.h"
#include "pack/StepResult.h"
#include "platform/RsaVerify.h"

namespace qel {

class THashChecker {
 public:
  explicit THashChecker(uint32_t chunk_size);
  ~THashChecker();
  THashChecker(const THashChecker&) = delete;
  THashChecker& operator=(const THashChecker&) = delete;

  // srContinue when the frame fits the pack's size and the key and hash
  // are ready; srFailed otherwise. The pack must outlive the checker. With
  // `digest`, the signed region's SHA-1 computed elsewhere, the first step
  // only checks the signature against it.
  TStepResult Open(std::span<const uint8_t> pack, std::optional<TSha1Digest> digest = std::nullopt);
  // Hashes one chunk: srContinue while bytes remain, then srDone for a
  // valid signature and srFailed for anything else.
  TStepResult Step();
  // Why Open or Step answered srFailed; pfNone until then.
  const TPackFailure& Failure() const { return Failure_; }

 private:
  TStepResult HashNextChunk();
  TStepResult Fail(TPackFailureKind kind, std::string detail = {});

  // OpenSSL needs no verification context of its own: the key and the hash
  // carry theirs.
  std::unique_ptr<TRsaPublicKey> Key_;
  std::unique_ptr<TSha1Hash> Hash_;
  std::optional<TSha1Digest> Digest_;
  const uint8_t* Data_ = nullptr;
  uint32_t DataLength_ = 0;
  uint32_t SignatureLength_ = 0;
  uint32_t ChunkSize_;
  uint32_t Hashed_ = 0;
  TPackFailure Failure_;
};

}  // namespace qel
