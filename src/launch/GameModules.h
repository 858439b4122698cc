// What the launcher hands a game's own modules and relies on: the records
// of UpdateGame and InitGame (little-endian, zero-filled, 8-bit texts ending
// with NUL) and the entry points' types.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>

#include "platform/Module.h"
#include "platform/WindowHandle.h"

namespace qel {

// Shared with the running update module: the module's worker writes Status,
// Progress and WaitHandle while the launcher reads them, and the launcher
// writes StopRequest. Every field lies at its natural alignment, so the
// record needs no packing and the shared fields can be read and written
// whole through the accessors below.
struct alignas(4) TUpdateGameRec {
  uint16_t Size;        // 540
  uint16_t Version;     // 2
  uint8_t StopRequest;  // 1 on abort or launcher destruction
  uint8_t Status;       // 1 finished, 2 or 3 failed, else still working
  uint16_t Progress;    // percent
  uint32_t WaitHandle;  // awaited before the module is unloaded; 0 = none
  char UpdateInfo[512];
  uint8_t Reserved[16];
};
static_assert(std::is_standard_layout_v<TUpdateGameRec> && std::is_trivially_copyable_v<TUpdateGameRec>);
static_assert(sizeof(TUpdateGameRec) == 540);
static_assert(offsetof(TUpdateGameRec, Size) == 0);
static_assert(offsetof(TUpdateGameRec, Version) == 2);
static_assert(offsetof(TUpdateGameRec, StopRequest) == 4);
static_assert(offsetof(TUpdateGameRec, Status) == 5);
static_assert(offsetof(TUpdateGameRec, Progress) == 6);
static_assert(offsetof(TUpdateGameRec, WaitHandle) == 8);
static_assert(offsetof(TUpdateGameRec, UpdateInfo) == 12);
static_assert(offsetof(TUpdateGameRec, Reserved) == 524);

#pragma pack(push, 1)
struct TInitGameIn {
  uint16_t Size;          // 980
  uint16_t Version;       // 2
  uint32_t ParentWindow;  // the plug-in's window
  int32_t ParentWidth;    // of its client area
  int32_t ParentHeight;
  int32_t SrcId;
  uint8_t Reserved1[64];
  char Account[64];
  char Password[64];
  int32_t DbId;
  int32_t GsId;
  char RunInfo[512];
  uint8_t Reserved2[248];
};
static_assert(sizeof(TInitGameIn) == 980);
static_assert(offsetof(TInitGameIn, Size) == 0);
static_assert(offsetof(TInitGameIn, Version) == 2);
static_assert(offsetof(TInitGameIn, ParentWindow) == 4);
static_assert(offsetof(TInitGameIn, ParentWidth) == 8);
static_assert(offsetof(TInitGameIn, ParentHeight) == 12);
static_assert(offsetof(TInitGameIn, SrcId) == 16);
static_assert(offsetof(TInitGameIn, Reserved1) == 20);
static_assert(offsetof(TInitGameIn, Account) == 84);
static_assert(offsetof(TInitGameIn, Password) == 148);
static_assert(offsetof(TInitGameIn, DbId) == 212);
static_assert(offsetof(TInitGameIn, GsId) == 216);
static_assert(offsetof(TInitGameIn, RunInfo) == 220);
static_assert(offsetof(TInitGameIn, Reserved2) == 732);

struct TInitGameOut {
  uint16_t Size;     // 268
  uint16_t Version;  // 1
  uint8_t ModuleData1[4];
  uint32_t GameWindow;  // read only when InitGame returned 0
  uint8_t ModuleData2[256];
};
static_assert(sizeof(TInitGameOut) == 268);
static_assert(offsetof(TInitGameOut, Size) == 0);
static_assert(offsetof(TInitGameOut, Version) == 2);
static_assert(offsetof(TInitGameOut, ModuleData1) == 4);
static_assert(offsetof(TInitGameOut, GameWindow) == 8);
static_assert(offsetof(TInitGameOut, ModuleData2) == 12);
#pragma pack(pop)

// The entry points, looked up by exactly these names; 0 means success.
inline constexpr const char* kUpdateGameEntry = "UpdateGame";
inline constexpr const char* kInitGameEntry = "InitGame";
using TUpdateGameProc = int32_t(QEL_MODULECALL*)(TUpdateGameRec* rec);
using TInitGameProc = int32_t(QEL_MODULECALL*)(TInitGameIn* in, TInitGameOut* out);

// A zeroed record with size and version, stop request 0 and the update
// information cut to 511 characters.
TUpdateGameRec MakeUpdateGameRec(std::string_view update_info);

// What InitGame is handed; texts are cut to their field less one.
struct TInitGameArgs {
  TWindowHandle ParentWindow = 0;
  int32_t ParentWidth = 0;
  int32_t ParentHeight = 0;
  int32_t SrcId = 0;
  std::string_view Account;
  std::string_view Password;
  int32_t DbId = 0;
  int32_t GsId = 0;
  std::string_view RunInfo;
};
TInitGameIn MakeInitGameIn(const TInitGameArgs& args);
// Zeroed, with size and version.
TInitGameOut MakeInitGameOut();

// The fields the update module's worker writes, read whole.
inline uint8_t ReadStatus(TUpdateGameRec& rec) {
  return std::atomic_ref<uint8_t>(rec.Status).load(std::memory_order_acquire);
}
inline uint16_t ReadProgress(TUpdateGameRec& rec) {
  return std::atomic_ref<uint16_t>(rec.Progress).load(std::memory_order_acquire);
}
inline uint32_t ReadWaitHandle(TUpdateGameRec& rec) {
  return std::atomic_ref<uint32_t>(rec.WaitHandle).load(std::memory_order_acquire);
}
inline void RequestStop(TUpdateGameRec& rec) {
  std::atomic_ref<uint8_t>(rec.StopRequest).store(1, std::memory_order_release);
}

}  // namespace qel
