// The one-line parameter string a game program is started with:
// "SrcID=%d;Account=%s;Passwd=%s;DBID=%d;GSID=%d;webinfo=%s;", each field
// present only when its number is not 0 or its text not empty. Texts are
// copied as they are, without quoting.
#pragma once

#include <cstdint>
#include <string>

namespace qel {

struct TLaunchInfo {
  std::string Account;
  std::string Password;
  std::string RunInfo;
  int32_t SrcId = 0;
  int32_t DbId = 0;
  int32_t GsId = 0;
};

std::string BuildGameParameters(const TLaunchInfo& info);

}  // namespace qel
