#include "launch/GameRegister.h"

#include "launch/GameFolderName.h"
#include "launch/ObjectNames.h"
#include "launch/SameText.h"
#include "platform/AtomicFile.h"
#include "platform/Error.h"

namespace qel {

// Holds the register mutex for one operation.
class TGameRegister::TLock {
 public:
  explicit TLock(TNamedMutex* mutex) {
    try {
      if (mutex != nullptr && mutex->Wait(kNamedMutexWaitMs)) Mutex_ = mutex;
    } catch (const EQelError&) {
      // A wait that fails is a lock not obtained.
    }
  }
  ~TLock() {
    try {
      if (Mutex_ != nullptr) Mutex_->Release();
    } catch (const EQelError&) {
      // Only an owner gets here, so the release cannot be refused.
    }
  }
  TLock(const TLock&) = delete;
  TLock& operator=(const TLock&) = delete;

  bool Held() const { return Mutex_ != nullptr; }

 private:
  TNamedMutex* Mutex_ = nullptr;
};

TGameRegister::TGameRegister(std::string folder) : TGameRegister(std::move(folder), DefaultFileSystem()) {}

TGameRegister::TGameRegister(std::string folder, TFileSystem& files)
    : Folder_(std::move(folder)), Files_(files) {
  try {
    Mutex_ = std::make_unique<TNamedMutex>(RegisterMutexName());
  } catch (const EQelError&) {
    // Without the mutex every operation fails its lock.
  }
}

TGameRegister::~TGameRegister() = default;

std::string TGameRegister::GetPath(std::string_view game_id) {
  const TLock lock(Mutex_.get());
  if (!lock.Held()) return {};
  try {
    Load();
    const std::ptrdiff_t index = FindRecord(game_id);
    if (index >= 0) return ResolveFolder(Records_[index]);
  } catch (const std::exception&) {
  }
  return {};
}

bool TGameRegister::AddRecord(std::string_view game_id, std::string_view folder) {
  const std::optional<TRegisterRecord> record = MakeRegisterRecord(game_id, folder);
  if (!record || (folder == kDefaultPathText && !IsPlainFolderName(game_id))) return false;
  const TLock lock(Mutex_.get());
  if (!lock.Held()) return false;
  try {
    Load();
    if (FindRecord(game_id) >= 0) return false;
    Save(&*record);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool TGameRegister::RemoveRecord(std::string_view game_id) {
  const TLock lock(Mutex_.get());
  if (!lock.Held()) return false;
  try {
    Load();
    const std::ptrdiff_t index = FindRecord(game_id);
    if (index < 0) return false;
    Records_[index].GameId[0] = '\0';
    Save(nullptr);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

void TGameRegister::Load() {
  Records_.clear();
  const std::string path = FilePath();
  if (!Files_.FileExists(path)) return;
  Records_ = ParseRegisterRecords(Files_.ReadFile(path, kFileLimit));
}

std::ptrdiff_t TGameRegister::FindRecord(std::string_view game_id) const {
  if (game_id.empty()) return -1;
  for (std::size_t i = 0; i < Records_.size(); ++i) {
    const std::string id = RecordGameId(Records_[i]);
    // Deleted records, and records that name no folder, are passed over.
    if (id.empty() || !SameTextIgnoringCase(id, game_id)) continue;
    if (!ResolveFolder(Records_[i]).empty()) return static_cast<std::ptrdiff_t>(i);
  }
  return -1;
}

std::string TGameRegister::ResolveFolder(const TRegisterRecord& record) const {
  std::string folder = RecordFolder(record);
  if (folder != kDefaultPathText) return folder;
  // Spelled as recorded, as the folder was made: file names may tell
  // letter case apart even where identifiers do not.
  const std::string recorded_id = RecordGameId(record);
  if (!IsPlainFolderName(recorded_id)) return {};
  return Folder_ + recorded_id + kPathDelimiter;
}

void TGameRegister::Save(const TRegisterRecord* extra) {
  std::vector<TRegisterRecord> kept;
  kept.reserve(Records_.size() + 1);
  for (const TRegisterRecord& record : Records_)
    if (record.GameId[0] != '\0') kept.push_back(record);
  if (extra != nullptr) kept.push_back(*extra);
  WriteFileAtomically(Files_, FilePath(), SerializeRegisterRecords(kept));
}

}  // namespace qel
