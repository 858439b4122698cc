// Another program's windows, for the window tests: a display connection of
// its own in the test process, which describes its windows as the test asks
// and never answers a close request unless the test reads it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/WindowHandle.h"

namespace qel::test {

struct TForeignLook {
  std::optional<std::string> WmName{};     // 8-bit bytes as they are
  std::optional<std::string> NetWmName{};  // UTF-8
  std::optional<std::string> ClassName{};  // the class part of WM_CLASS
  std::optional<uint32_t> ProcessId{};     // _NET_WM_PID
  bool WmState = false;                  // marks a window manager's client
};

struct TClientMessage {
  std::string Type;       // the message type's atom name
  std::string FirstAtom;  // the first datum read as an atom name
};

class TForeignClient {
 public:
  // Raises std::runtime_error when there is no display.
  TForeignClient();
  ~TForeignClient();
  TForeignClient(const TForeignClient&) = delete;
  TForeignClient& operator=(const TForeignClient&) = delete;

  // A mapped window (parent 0: the root's child), made when this returns.
  TWindowHandle MakeWindow(TWindowHandle parent, const TForeignLook& look, int width = 100, int height = 80);
  void SetWmName(TWindowHandle window, const std::string& name);
  void Destroy(TWindowHandle window);
  bool IsMapped(TWindowHandle window);
  TWindowHandle Root();

  // The next client message sent to one of this client's windows, waited for
  // at most the given time.
  std::optional<TClientMessage> NextClientMessage(int timeout_ms);

  // Puts an error handler in place as a host browser would, until this
  // client ends; it counts every X error of the process that reaches it.
  void InstallHostErrorHandler();
  int HostHandlerErrors() const;
  // A request that fails (a window that does not exist), waited for.
  void MakeFailingRequest();

 private:
  class TImpl;
  std::unique_ptr<TImpl> Impl_;
};

}  // namespace qel::test
