#include "host/URLStream.h"

#include <cstring>
#include <iterator>
#include <limits>

#include "host/NPFuncs.h"

namespace qel {

namespace {
constexpr uint64_t kMaxStreamBytes = std::numeric_limits<int32_t>::max();
}

TURLStream::~TURLStream() { Finish(NPRES_USER_BREAK, true); }

void TURLStream::Attach(NPStream* stream, NPP instance, TStreamMode mode) {
  Stream_ = stream;
  Instance_ = instance;
  stream->pdata = this;
  Mode_ = mode;
  if (mode == smMemory) Memory_ = std::make_unique<std::vector<uint8_t>>();
  Url_ = stream->url ? stream->url : "";
}

int32_t TURLStream::Write(NPStream* stream, int32_t offset, const void* buffer, int32_t length) {
  if (Mode_ != smMemory || !Memory_) return -1;
  if (offset < 0 || static_cast<size_t>(offset) != Memory_->size()) return -1;
  if (length < 0 || (length > 0 && buffer == nullptr)) return -1;
  // Counts are 32-bit signed: refuse a stream that reaches 2 GiB.
  if (stream && stream->end > kMaxStreamBytes) return -1;
  if (Memory_->size() + static_cast<uint64_t>(length) > kMaxStreamBytes) return -1;
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  Memory_->insert(Memory_->end(), bytes, bytes + length);
  if (length > 0 && OnProgress) {
    OnProgress(*this, static_cast<int32_t>(Memory_->size()),
               stream ? static_cast<int32_t>(stream->end) : 0);
  }
  return length;
}

void TURLStream::StreamAsFile(NPStream* stream, const char* file_name) {
  if (stream == nullptr || stream != Stream_) return;
  if (file_name == nullptr || *file_name == '\0') return;
  auto file = std::make_unique<std::ifstream>(file_name, std::ios::binary);
  if (file->is_open()) File_ = std::move(file);
}

NPError TURLStream::DestroyStream(NPStream* stream, NPReason reason) {
  if (stream == nullptr || stream != Stream_) return NPERR_GENERIC_ERROR;
  Finish(reason, false);
  return NPERR_NO_ERROR;
}

void TURLStream::Finish(NPReason reason, bool tell) {
  if (!Attached()) return;
  // Detach before anyone hears of it: a NPP_DestroyStream the browser sends
  // from inside NPN_DestroyStream then finds no owner.
  NPStream* stream = Stream_;
  NPP instance = Instance_;
  stream->pdata = nullptr;
  Stream_ = nullptr;
  Instance_ = nullptr;
  if (OnDone) OnDone(*this, reason);
  if (tell) NPN_DestroyStream(instance, stream, reason);
}

void TURLStream::Cancel() {
  if (Attached()) NPN_DestroyStream(Instance_, Stream_, NPRES_USER_BREAK);
}

std::optional<std::vector<uint8_t>> TURLStream::CopyData() {
  if (Memory_) return *Memory_;
  if (!File_) return std::nullopt;
  File_->clear();
  File_->seekg(0);
  std::vector<uint8_t> data{std::istreambuf_iterator<char>(*File_),
                            std::istreambuf_iterator<char>()};
  if (File_->bad()) return std::nullopt;
  return data;
}

std::optional<std::vector<uint8_t>> TURLStream::TakeData() {
  if (!Memory_) return CopyData();
  std::vector<uint8_t> data = std::move(*Memory_);
  Memory_.reset();
  return data;
}

}  // namespace qel
