// Drives one curl multi handle from the default GLib context: the sockets and
// the timer that curl asks for become one GLib source. Each time curl has
// acted on what was ready, `AfterActions` runs, outside every curl callback,
// so that it may add or remove handles or destroy this object. The owner may
// ask for one wake-up of its own (a deadline it watches); it, too, ends in
// `AfterActions`, and goes with the source.
#pragma once

#include <curl/curl.h>
#include <glib.h>

#include <functional>
#include <map>
#include <utility>

namespace qel {

class TCurlLoopSource {
 public:
  // Raises EHttpTransferError when curl or GLib cannot provide the parts.
  explicit TCurlLoopSource(std::function<void()> after_actions);
  ~TCurlLoopSource();
  TCurlLoopSource(const TCurlLoopSource&) = delete;
  TCurlLoopSource& operator=(const TCurlLoopSource&) = delete;

  CURLM* Multi() const { return Multi_; }
  // The first failure of curl's multi interface while acting since the
  // last call; CURLM_OK if none.
  CURLMcode TakeFailure() { return std::exchange(Failure_, CURLM_OK); }

  // Runs `AfterActions` at the given monotonic time (microseconds, as
  // g_get_monotonic_time) or soon after; -1 cancels. Replaces an earlier wish.
  void WakeAt(gint64 monotonic_us);
  bool WakeSet() const { return Wake_ >= 0; }
  // Whether curl waits to write on any of its sockets (a request not yet
  // wholly handed to the system, or a connection being made).
  bool WantsToWrite() const;

 private:
  struct TGSource {
    GSource Base;
    TCurlLoopSource* Owner;
  };

  static int OnSocket(CURL* easy, curl_socket_t socket, int what, void* self, void* socket_data);
  static int OnTimer(CURLM* multi, long timeout_ms, void* self);
  static gboolean Dispatch(GSource* source, GSourceFunc callback, gpointer user_data);

  void WatchSocket(curl_socket_t socket, int what);
  void Act(curl_socket_t socket, int events);
  // Acts on the ready sockets and a due timer, then runs AfterActions.
  void RunDue();
  // The source's ready time: the earlier of curl's timer and the wake-up.
  void UpdateReadyTime();

  std::function<void()> AfterActions_;
  CURLM* Multi_ = nullptr;
  GSource* Source_ = nullptr;
  struct TWatch {
    gpointer Tag;  // GLib's
    int What;      // curl's CURL_POLL_* wish
  };
  std::map<curl_socket_t, TWatch> Watches_;
  CURLMcode Failure_ = CURLM_OK;
  // Monotonic times in microseconds; -1 when not wanted.
  gint64 CurlDue_ = -1;
  gint64 Wake_ = -1;
};

}  // namespace qel
