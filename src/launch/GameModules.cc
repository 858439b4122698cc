#include "launch/GameModules.h"

#include <algorithm>
#include <cstring>

namespace qel {
namespace {

// NUL-padded and cut to the field less one, so that a NUL always ends it.
template <std::size_t N>
void CopyText(char (&field)[N], std::string_view text) {
  text = text.substr(0, N - 1);
  std::memset(field, 0, N);
  std::copy(text.begin(), text.end(), field);
}

}  // namespace

TUpdateGameRec MakeUpdateGameRec(std::string_view update_info) {
  TUpdateGameRec rec;
  std::memset(&rec, 0, sizeof rec);
  rec.Size = sizeof(TUpdateGameRec);
  rec.Version = 2;
  CopyText(rec.UpdateInfo, update_info);
  return rec;
}

TInitGameIn MakeInitGameIn(const TInitGameArgs& args) {
  TInitGameIn in;
  std::memset(&in, 0, sizeof in);
  in.Size = sizeof(TInitGameIn);
  in.Version = 2;
  in.ParentWindow = static_cast<uint32_t>(args.ParentWindow);
  in.ParentWidth = args.ParentWidth;
  in.ParentHeight = args.ParentHeight;
  in.SrcId = args.SrcId;
  CopyText(in.Account, args.Account);
  CopyText(in.Password, args.Password);
  in.DbId = args.DbId;
  in.GsId = args.GsId;
  CopyText(in.RunInfo, args.RunInfo);
  return in;
}

TInitGameOut MakeInitGameOut() {
  TInitGameOut out;
  std::memset(&out, 0, sizeof out);
  out.Size = sizeof(TInitGameOut);
  out.Version = 1;
  return out;
}

}  // namespace qel
