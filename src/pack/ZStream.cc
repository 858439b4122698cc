#include "pack/ZStream.h"

#include <algorithm>
#include <limits>
#include <new>

namespace qel {
namespace {

uInt PieceOf(size_t size) {
  return static_cast<uInt>(std::min<size_t>(size, std::numeric_limits<uInt>::max()));
}

}  // namespace

TZStream::TZStream() {
  if (inflateInit(&Stream_) != Z_OK) throw std::bad_alloc();
}

TZStream::~TZStream() { inflateEnd(&Stream_); }

bool TZStream::Fill(TBuffStream& input, std::vector<uint8_t>& buffer, std::span<uint8_t> out) {
  while (!out.empty()) {
    if (Ended_) return false;
    if (Stream_.avail_in == 0) {
      const int32_t got = input.Read(buffer.data(), static_cast<int32_t>(buffer.size()));
      if (got <= 0) return false;
      Stream_.next_in = buffer.data();
      Stream_.avail_in = static_cast<uInt>(got);
    }
    const uInt piece = PieceOf(out.size());
    Stream_.next_out = out.data();
    Stream_.avail_out = piece;
    const int result = inflate(&Stream_, Z_NO_FLUSH);
    out = out.subspan(piece - Stream_.avail_out);
    if (result == Z_STREAM_END) {
      Ended_ = true;
    } else if (result != Z_OK && result != Z_BUF_ERROR) {
      return false;
    }
  }
  return true;
}

bool InflateInMemory(std::span<const uint8_t> packed, std::span<uint8_t> out, size_t& used) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) throw std::bad_alloc();
  // zlib takes non-const input, but only reads it.
  stream.next_in = const_cast<Bytef*>(packed.data());
  bool ended = false;
  while (!out.empty() && !ended) {
    if (stream.avail_in == 0) {
      const size_t taken = stream.total_in;
      if (taken >= packed.size()) break;
      stream.avail_in = PieceOf(packed.size() - taken);
    }
    const uInt piece = PieceOf(out.size());
    stream.next_out = out.data();
    stream.avail_out = piece;
    const int result = inflate(&stream, Z_NO_FLUSH);
    out = out.subspan(piece - stream.avail_out);
    if (result == Z_STREAM_END) {
      ended = true;
    } else if (result != Z_OK) {
      break;
    }
  }
  used = stream.total_in;
  inflateEnd(&stream);
  return out.empty();
}

}  // namespace qel
