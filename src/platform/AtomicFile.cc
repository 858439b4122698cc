#include "platform/AtomicFile.h"

#include "platform/Error.h"

namespace qel {

std::string PendingFileName(const std::string& path) { return path + ".new"; }

void WriteFileAtomically(TFileSystem& files, const std::string& path, std::string_view bytes) {
  const std::string pending = PendingFileName(path);
  try {
    // A pending file left by a crash, or a link planted in its place, goes
    // first: the new content is never written through it.
    files.RemoveFile(pending);
    files.WriteFile(pending, bytes);
    files.RenameFile(pending, path);
  } catch (const EQelError&) {
    files.RemoveFile(pending);
    throw;
  }
}

}  // namespace qel
