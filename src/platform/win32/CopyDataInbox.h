// The receiving end of WM_COPYDATA for one window of the calling thread,
// under both the plug-in's listener and a game's endpoint. The window is
// subclassed; each block is copied while its message lasts (the sender's
// memory is valid only then) and queued, and the sender is answered TRUE at
// once, so that it is not held while the block is used. A sender answered
// FALSE learns that nobody listens.
#pragma once

#include <windows.h>

#include <atomic>
#include <deque>
#include <mutex>

#include "platform/CopyDataEndpoint.h"

namespace qel {

// Told of the inbox's doings, on the window's thread.
class TCopyDataInboxOwner {
 public:
  // Inside WM_COPYDATA, once a block is queued.
  virtual void BlockQueued() = 0;
  // The inbox's own posted message (PostWake) came through the thread's
  // loop. The owner may destroy the inbox from here.
  virtual void Woken() = 0;

 protected:
  ~TCopyDataInboxOwner() = default;
};

class TCopyDataInbox {
 public:
  // Fails with EWindowTaken when the window already has an inbox in this
  // process, with EQelError for window 0, a window of another thread, or
  // when the system refuses.
  TCopyDataInbox(TWindowHandle window, TCopyDataInboxOwner* owner);
  ~TCopyDataInbox();
  TCopyDataInbox(const TCopyDataInbox&) = delete;
  TCopyDataInbox& operator=(const TCopyDataInbox&) = delete;

  // Takes the oldest block off; false when none is queued.
  bool TakeOne(TCopyDataBlock& block);
  bool Empty() const;
  // An event that is set while blocks are queued.
  HANDLE WaitHandle() const { return Waiting_; }
  // Posts the message that comes back as Woken; false when the window's
  // queue refused it.
  bool PostWake();

 private:
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                       DWORD_PTR self);
  // Copies and queues one block; false for one not taken.
  bool Accept(WPARAM sender, const COPYDATASTRUCT* data);
  void Detach();

  HWND Window_;
  TCopyDataInboxOwner* Owner_;
  HANDLE Waiting_ = nullptr;  // manual-reset
  std::atomic<bool> Subclassed_ = false;  // cleared on the window's thread when it goes
  mutable std::mutex Lock_;  // the queue and the event's state agree under it
  std::deque<TCopyDataBlock> Queue_;
};

}  // namespace qel
