// The install register: per game identifier, the folder the game was
// installed into, kept in "gamepath.dat" beside the plug-in and shared by
// every instance in every browser process of the user. Every operation takes
// the register mutex (waiting at most 20 ms), loads the file afresh and, when
// it changes something, writes it back whole by replacing the file, so that
// a crash or a full disk never leaves it cut short. Failures are not raised:
// lookups answer empty, changes false.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "launch/RegisterRecord.h"
#include "platform/FileSystem.h"
#include "platform/NamedMutex.h"

namespace qel {

class TGameRegister {
 public:
  static constexpr std::string_view kFileName = "gamepath.dat";
  // A larger file is not read (about 32,000 games).
  static constexpr uint64_t kFileLimit = 16 * 1024 * 1024;

  // Keeps the folder (ending with a path separator) and creates or opens
  // the register mutex without taking it; when the mutex cannot be had,
  // every operation fails.
  explicit TGameRegister(std::string folder);
  TGameRegister(std::string folder, TFileSystem& files);
  ~TGameRegister();
  TGameRegister(const TGameRegister&) = delete;
  TGameRegister& operator=(const TGameRegister&) = delete;

  // The game's install folder, or empty. Identifiers match without regard
  // to letter case; the first usable record wins. "default path" stands
  // for the folder named after the identifier as recorded.
  std::string GetPath(std::string_view game_id);
  // Appends a record unless the game is registered already. False also when
  // a text does not fit its field, or when the folder is "default path" and
  // the identifier could not be a folder name.
  bool AddRecord(std::string_view game_id, std::string_view folder);
  // Drops the record that GetPath would answer from.
  bool RemoveRecord(std::string_view game_id);

  const std::string& Folder() const { return Folder_; }
  std::string FilePath() const { return Folder_ + std::string(kFileName); }

 private:
  class TLock;

  void Load();
  // The index of the record the game's folder comes from, or -1.
  std::ptrdiff_t FindRecord(std::string_view game_id) const;
  std::string ResolveFolder(const TRegisterRecord& record) const;
  void Save(const TRegisterRecord* extra);

  std::string Folder_;
  TFileSystem& Files_;
  std::unique_ptr<TNamedMutex> Mutex_;
  std::vector<TRegisterRecord> Records_;  // the file as last loaded
};

}  // namespace qel
