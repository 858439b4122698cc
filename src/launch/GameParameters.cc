#include "launch/GameParameters.h"

namespace qel {
namespace {

void AddNumber(std::string& line, const char* key, int32_t value) {
  if (value != 0) line.append(key).append("=").append(std::to_string(value)).append(";");
}

void AddText(std::string& line, const char* key, const std::string& value) {
  if (!value.empty()) line.append(key).append("=").append(value).append(";");
}

}  // namespace

std::string BuildGameParameters(const TLaunchInfo& info) {
  std::string line;
  AddNumber(line, "SrcID", info.SrcId);
  AddText(line, "Account", info.Account);
  AddText(line, "Passwd", info.Password);
  AddNumber(line, "DBID", info.DbId);
  AddNumber(line, "GSID", info.GsId);
  AddText(line, "webinfo", info.RunInfo);
  return line;
}

}  // namespace qel
