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

TStepResult THashChecker::Open(std::span<const uint8_t> pack) {
  // A chunk of nothing would never get through the region.
  if (ChunkSize_ == 0 || pack.size() < kPackFrameSize) return srFailed;
  TPackFrame frame;
  std::memcpy(&frame, pack.data(), sizeof frame);
  const uint64_t covered = uint64_t{frame.SignedLength} + frame.SignatureLength;
  if (covered > UINT32_MAX || pack.size() != kPackFrameSize + covered) return srFailed;
  Data_ = pack.data() + kPackFrameSize;
  DataLength_ = frame.SignedLength;
  SignatureLength_ = frame.SignatureLength;
  try {
    const auto blob = FindLibraryResource("RAW", "public_key");
    if (!blob) return srFailed;
    Key_ = TRsaPublicKey::Import(*blob);
    Hash_ = std::make_unique<TSha1Hash>();
  } catch (...) {
    return srFailed;
  }
  Hashed_ = 0;
  return srContinue;
}

TStepResult THashChecker::Step() {
  if (!Hash_ || Hashed_ > DataLength_) return srFailed;
  try {
    return HashNextChunk();
  } catch (...) {
    return srFailed;
  }
}

TStepResult THashChecker::HashNextChunk() {
  const uint32_t chunk = std::min(ChunkSize_, DataLength_ - Hashed_);
  Hash_->Add({Data_ + Hashed_, chunk});
  Hashed_ += chunk;
  if (Hashed_ < DataLength_) return srContinue;
  const std::span<const uint8_t> signature(Data_ + DataLength_, SignatureLength_);
  const TSha1Digest digest = Hash_->Finish();
  // A finished hash takes no more steps.
  Hash_.reset();
  return Key_->VerifySha1(digest, signature) ? srDone : srFailed;
}

}  // namespace qel
