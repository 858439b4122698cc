#include "platform/posix/CurlLoopSource.h"

#include <utility>
#include <vector>

#include "platform/HttpTransfer.h"

namespace qel {
namespace {

void InitializeCurlOnce() {
  static const CURLcode result = curl_global_init(CURL_GLOBAL_DEFAULT);
  if (result != CURLE_OK) {
    throw EHttpTransferError(kHttpErrorInternal,
                             std::string("curl cannot start: ") + curl_easy_strerror(result));
  }
}

int CurlEventsOf(GIOCondition condition) {
  int events = 0;
  if (condition & (G_IO_IN | G_IO_PRI | G_IO_HUP)) events |= CURL_CSELECT_IN;
  if (condition & G_IO_OUT) events |= CURL_CSELECT_OUT;
  if (condition & G_IO_ERR) events |= CURL_CSELECT_ERR;
  return events;
}

GIOCondition ConditionFor(int what) {
  int condition = 0;
  if (what & CURL_POLL_IN) condition |= G_IO_IN | G_IO_HUP | G_IO_ERR;
  if (what & CURL_POLL_OUT) condition |= G_IO_OUT | G_IO_ERR;
  return static_cast<GIOCondition>(condition);
}

}  // namespace

TCurlLoopSource::TCurlLoopSource(std::function<void()> after_actions)
    : AfterActions_(std::move(after_actions)) {
  InitializeCurlOnce();
  Multi_ = curl_multi_init();
  if (Multi_ == nullptr) throw EHttpTransferError(kHttpErrorNotEnoughMemory, "no memory for curl");
  curl_multi_setopt(Multi_, CURLMOPT_SOCKETFUNCTION, &TCurlLoopSource::OnSocket);
  curl_multi_setopt(Multi_, CURLMOPT_SOCKETDATA, this);
  curl_multi_setopt(Multi_, CURLMOPT_TIMERFUNCTION, &TCurlLoopSource::OnTimer);
  curl_multi_setopt(Multi_, CURLMOPT_TIMERDATA, this);

  // Sources that only watch descriptors and a ready time need no
  // prepare or check of their own.
  static GSourceFuncs funcs = [] {
    GSourceFuncs only_dispatch{};
    only_dispatch.dispatch = &TCurlLoopSource::Dispatch;
    return only_dispatch;
  }();
  Source_ = g_source_new(&funcs, sizeof(TGSource));
  reinterpret_cast<TGSource*>(Source_)->Owner = this;
  g_source_set_name(Source_, "qel-http");
  g_source_attach(Source_, nullptr);
}

TCurlLoopSource::~TCurlLoopSource() {
  // curl still reports the sockets it closes here.
  curl_multi_cleanup(Multi_);
  reinterpret_cast<TGSource*>(Source_)->Owner = nullptr;
  g_source_destroy(Source_);
  g_source_unref(Source_);
}

int TCurlLoopSource::OnSocket(CURL*, curl_socket_t socket, int what, void* self, void*) {
  static_cast<TCurlLoopSource*>(self)->WatchSocket(socket, what);
  return 0;
}

int TCurlLoopSource::OnTimer(CURLM*, long timeout_ms, void* self) {
  auto* owner = static_cast<TCurlLoopSource*>(self);
  if (timeout_ms < 0) {
    owner->CurlDue_ = -1;
  } else {
    owner->CurlDue_ = timeout_ms == 0 ? 0 : g_get_monotonic_time() + gint64{timeout_ms} * 1000;
  }
  owner->UpdateReadyTime();
  return 0;
}

void TCurlLoopSource::WakeAt(gint64 monotonic_us) {
  Wake_ = monotonic_us < 0 ? -1 : monotonic_us;
  UpdateReadyTime();
}

void TCurlLoopSource::UpdateReadyTime() {
  gint64 ready = CurlDue_;
  if (Wake_ >= 0 && (ready < 0 || Wake_ < ready)) ready = Wake_;
  g_source_set_ready_time(Source_, ready);
}

gboolean TCurlLoopSource::Dispatch(GSource* source, GSourceFunc, gpointer) {
  TCurlLoopSource* owner = reinterpret_cast<TGSource*>(source)->Owner;
  // If the owner goes away inside RunDue, it has destroyed this source,
  // and GLib drops it whatever the answer.
  if (owner != nullptr) owner->RunDue();
  return G_SOURCE_CONTINUE;
}

void TCurlLoopSource::WatchSocket(curl_socket_t socket, int what) {
  const auto watch = Watches_.find(socket);
  if (what == CURL_POLL_REMOVE) {
    if (watch != Watches_.end()) {
      g_source_remove_unix_fd(Source_, watch->second.Tag);
      Watches_.erase(watch);
    }
    return;
  }
  if (watch == Watches_.end()) {
    Watches_.emplace(socket, TWatch{g_source_add_unix_fd(Source_, socket, ConditionFor(what)), what});
  } else {
    g_source_modify_unix_fd(Source_, watch->second.Tag, ConditionFor(what));
    watch->second.What = what;
  }
}

bool TCurlLoopSource::WantsToWrite() const {
  for (const auto& [socket, watch] : Watches_) {
    if (watch.What & CURL_POLL_OUT) return true;
  }
  return false;
}

void TCurlLoopSource::Act(curl_socket_t socket, int events) {
  int running = 0;
  const CURLMcode result = curl_multi_socket_action(Multi_, socket, events, &running);
  // A socket that an earlier action in the same round closed is no failure.
  if (result != CURLM_OK && result != CURLM_BAD_SOCKET && Failure_ == CURLM_OK) Failure_ = result;
}

void TCurlLoopSource::RunDue() {
  // What is due is taken before acting: curl sets its next time while acting.
  const gint64 now = g_get_monotonic_time();
  const bool curl_due = CurlDue_ >= 0 && CurlDue_ <= now;
  if (curl_due) CurlDue_ = -1;
  if (Wake_ >= 0 && Wake_ <= now) Wake_ = -1;
  // Dispatching does not clear the ready time.
  UpdateReadyTime();

  // Acting changes the watches, so the ready ones are taken first.
  std::vector<std::pair<curl_socket_t, int>> ready;
  for (const auto& [socket, watch] : Watches_) {
    const int events = CurlEventsOf(g_source_query_unix_fd(Source_, watch.Tag));
    if (events != 0) ready.emplace_back(socket, events);
  }
  for (const auto& [socket, events] : ready) Act(socket, events);
  if (curl_due) Act(CURL_SOCKET_TIMEOUT, 0);
  // A copy: the call may destroy this object and with it AfterActions_.
  const std::function<void()> after = AfterActions_;
  after();
}

}  // namespace qel
