// Drives one curl multi handle from the default GLib context: the sockets and
// the timer that curl asks for become one GLib source. Each time curl has
// acted on what was ready, `AfterActions` runs, outside every curl callback,
// so that it may add or remove handles or destroy this object.
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

  std::function<void()> AfterActions_;
  CURLM* Multi_ = nullptr;
  GSource* Source_ = nullptr;
  // The GLib tag of each socket curl watches.
  std::map<curl_socket_t, gpointer> Watches_;
  CURLMcode Failure_ = CURLM_OK;
};

}  // namespace qel
