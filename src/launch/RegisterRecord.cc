#include "launch/RegisterRecord.h"

#include <algorithm>
#include <cstring>

namespace qel {
namespace {

template <std::size_t N>
std::string FieldText(const char (&field)[N]) {
  const char* end = std::find(field, field + N, '\0');
  return std::string(field, end);
}

template <std::size_t N>
bool FitsField(std::string_view text) {
  return !text.empty() && text.size() <= N && text.find('\0') == std::string_view::npos;
}

}  // namespace

std::optional<TRegisterRecord> MakeRegisterRecord(std::string_view game_id, std::string_view folder) {
  TRegisterRecord record;
  if (!FitsField<sizeof record.GameId>(game_id) || !FitsField<sizeof record.Folder>(folder))
    return std::nullopt;
  std::memset(&record, 0, sizeof record);
  std::copy(game_id.begin(), game_id.end(), record.GameId);
  std::copy(folder.begin(), folder.end(), record.Folder);
  return record;
}

std::string RecordGameId(const TRegisterRecord& record) { return FieldText(record.GameId); }
std::string RecordFolder(const TRegisterRecord& record) { return FieldText(record.Folder); }

std::vector<TRegisterRecord> ParseRegisterRecords(std::string_view bytes) {
  std::vector<TRegisterRecord> records(bytes.size() / sizeof(TRegisterRecord));
  if (!records.empty()) std::memcpy(records.data(), bytes.data(), records.size() * sizeof(TRegisterRecord));
  return records;
}

std::string SerializeRegisterRecords(const std::vector<TRegisterRecord>& records) {
  std::string bytes(records.size() * sizeof(TRegisterRecord), '\0');
  if (!records.empty()) std::memcpy(bytes.data(), records.data(), bytes.size());
  return bytes;
}

}  // namespace qel
