#include "pack/HashChecker.h"

#include <algorithm>
#include <cstring>

#include "pack/PackFormat.h"
#include "platform/Resource.h"

namespace qel {

THashChecker::THashChecker(uint32_t chunk_size) : ChunkSize_(chunk_size) {}

THashChecker::~THashChecker() {
  Key_.reset();
  Hash_.reset();
}

TStepResult THashChecker::Fail(TPackFailureKind kind, std::string detail) {
  // The first failure is the cause; a step after it only sees its aftermath.
  if (Failure_) return srFailed;
  Failure_.Kind = kind;
  Failure_.Detail = std::move(detail);
  return srFailed;
}

TStepResult THashChecker::Open(std::span<const uint8_t> pack, std::optional<TSha1Digest> digest) {
  // A chunk of nothing would never get through the region.
  if (ChunkSize_ == 0) return Fail(pfUnexpected, "chunk size 0");
  if (pack.size() < kPackFrameSize) {
    Failure_.Actual = static_cast<int64_t>(pack.size());
    return Fail(pfPackTooShort);
  }
  TPackFrame frame;
  std::memcpy(&frame, pack.data(), sizeof frame);
  const uint64_t covered = uint64_t{frame.SignedLength} + frame.SignatureLength;
  if (covered > UINT32_MAX) return Fail(pfFrameLengthsOverflow);
  if (pack.size() != kPackFrameSize + covered) {
    Failure_.Expected = static_cast<int64_t>(kPackFrameSize + covered);
    Failure_.Actual = static_cast<int64_t>(pack.size());
    return Fail(pack.size() < kPackFrameSize + covered ? pfPackTruncated : pfPackTrailingBytes);
  }
  Data_ = pack.data() + kPackFrameSize;
  DataLength_ = frame.SignedLength;
  SignatureLength_ = frame.SignatureLength;
  try {
    const auto blob = FindLibraryResource("RAW", "public_key");
    if (!blob) return Fail(pfNoPublicKey, "the library has no PUBLIC_KEY resource");
    Key_ = TRsaPublicKey::Import(*blob);
  } catch (const std::exception& failure) {
    return Fail(pfNoPublicKey, failure.what());
  } catch (...) {
    return Fail(pfNoPublicKey);
  }
  try {
    Hash_ = std::make_unique<TSha1Hash>();
  } catch (const std::exception& failure) {
    return Fail(pfHashFailed, failure.what());
  } catch (...) {
    return Fail(pfHashFailed);
  }
  Hashed_ = 0;
  Digest_ = digest;
  return srContinue;
}

TStepResult THashChecker::Step() {
  if (!Hash_ || Hashed_ > DataLength_) return Fail(pfNotOpened);
  try {
    return HashNextChunk();
  } catch (const std::exception& failure) {
    return Fail(pfHashFailed, failure.what());
  } catch (...) {
    return Fail(pfHashFailed);
  }
}

TStepResult THashChecker::HashNextChunk() {
  if (!Digest_) {
    const uint32_t chunk = std::min(ChunkSize_, DataLength_ - Hashed_);
    Hash_->Add({Data_ + Hashed_, chunk});
    Hashed_ += chunk;
    if (Hashed_ < DataLength_) return srContinue;
  }
  const std::span<const uint8_t> signature(Data_ + DataLength_, SignatureLength_);
  const TSha1Digest digest = Digest_ ? *Digest_ : Hash_->Finish();
  // A finished hash takes no more steps.
  Hash_.reset();
  if (Key_->VerifySha1(digest, signature)) return srDone;
  if (SignatureLength_ != Key_->ModulusBytes()) {
    Failure_.Expected = Key_->ModulusBytes();
    Failure_.Actual = SignatureLength_;
    return Fail(pfSignatureLength);
  }
  return Fail(pfSignatureInvalid);
}

}  // namespace qel
