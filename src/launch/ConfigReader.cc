#include "launch/ConfigReader.h"

#include <optional>

#include "launch/SameText.h"
#include "platform/IntegerText.h"
#include "platform/ProfileFile.h"

namespace qel {
namespace {

constexpr std::string_view kSection = "GameLaunch";

}  // namespace

int32_t ParseInitKind(std::string_view text) {
  std::optional<int32_t> value;
  if (text.size() > 2 && (text.starts_with("0x") || text.starts_with("0X")))
    value = ParseHexPattern(text.substr(2));
  else if (text.starts_with("$"))
    value = ParseHexPattern(text.substr(1));
  else
    value = ParseSignedDecimal(text);
  return value.value_or(0);
}

TConfigReader::TConfigReader(const std::string& file_path)
    : TConfigReader(file_path, DefaultFileSystem()) {}

TConfigReader::TConfigReader(const std::string& file_path, TFileSystem& files) {
  const TProfileFile profile = TProfileFile::Load(files, file_path);
  InitKind_ = ParseInitKind(profile.ReadString(kSection, "InitKind", ""));
  InitModule_ = profile.ReadString(kSection, "InitModule", "");
  UpdateModule_ = profile.ReadString(kSection, "UpdateModule", "");
  WndClassName_ = profile.ReadString(kSection, "WndClassName", "");
  WndTitle_ = profile.ReadString(kSection, "WndTitle", "");
  GameGUID_ = profile.ReadString(kSection, "GameGUID", "");
  ParametersFromEnvironment_ =
      ParseSignedDecimal(profile.ReadString(kSection, "ParametersFromEnvironment", "")).value_or(0) != 0;
}

bool TConfigReader::MatchesGuid(std::string_view identifier) const {
  return SameTextIgnoringCase(GameGUID_, identifier);
}

}  // namespace qel
