#include "platform/MappedFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/Error.h"
#include "platform/posix/FileDescriptor.h"

namespace qel {
namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& path, int error) {
  throw EQelError(what + " " + path + ": " + std::strerror(error));
}

}  // namespace

std::unique_ptr<TMappedFile> TMappedFile::Open(const std::string& path) {
  const TFileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.Valid()) Fail("cannot open", path, errno);
  struct stat info {};
  if (fstat(file.Get(), &info) != 0) Fail("cannot read the size of", path, errno);
  if (!S_ISREG(info.st_mode)) throw EQelError("not a regular file: " + path);
  const auto size = static_cast<size_t>(info.st_size);
  if (size == 0) return std::unique_ptr<TMappedFile>(new TMappedFile(nullptr, 0));
  void* address = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, file.Get(), 0);
  if (address == MAP_FAILED) Fail("cannot map", path, errno);
  // Read front to back: the kernel reads ahead and drops pages behind.
  madvise(address, size, MADV_SEQUENTIAL);
  return std::unique_ptr<TMappedFile>(new TMappedFile(static_cast<const uint8_t*>(address), size));
}

TMappedFile::~TMappedFile() {
  if (Size_ > 0) munmap(const_cast<uint8_t*>(Address_), Size_);
}

}  // namespace qel
