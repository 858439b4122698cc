// The records of the install register file: a plain sequence of 516-byte
// records, no header, no trailer; bytes after the last whole record are
// ignored.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qel {

#pragma pack(push, 1)
struct TRegisterRecord {
  // NUL-padded; exactly 64 characters have no NUL; a first byte of 0 marks
  // a deleted record.
  char GameId[64];
  // The install folder (ending with a path separator), NUL-padded, or
  // kDefaultPathText.
  char Folder[452];
};
#pragma pack(pop)
static_assert(sizeof(TRegisterRecord) == 516);
static_assert(offsetof(TRegisterRecord, GameId) == 0);
static_assert(offsetof(TRegisterRecord, Folder) == 64);

// Stands for the folder named after the game beside the register.
inline constexpr std::string_view kDefaultPathText = "default path";

// A zero-filled record holding both texts; nothing when a text is empty,
// holds a NUL byte or does not fit its field (64 and 452 bytes), since a cut
// text would name another game or folder.
std::optional<TRegisterRecord> MakeRegisterRecord(std::string_view game_id, std::string_view folder);

// The texts up to the first NUL, within the field.
std::string RecordGameId(const TRegisterRecord& record);
std::string RecordFolder(const TRegisterRecord& record);

std::vector<TRegisterRecord> ParseRegisterRecords(std::string_view bytes);
std::string SerializeRegisterRecords(const std::vector<TRegisterRecord>& records);

}  // namespace qel
