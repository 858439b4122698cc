/* The header as plain C: built with a C compiler and run against the
 * library. It opens a channel for a plug-in window nobody listens on, so
 * every step has one expected answer; exit 0 when all came as expected. */
#include <stdint.h>
#include <stdio.h>
#include <time.h>

#include "qelchannel.h"

static int failures = 0;

static void expect(int got, int wanted, const char* what) {
  if (got != wanted) {
    printf("%s: %d (%s), wanted %d\n", what, got, qelchannel_status_text(got), wanted);
    ++failures;
  }
}

int main(void) {
  /* Windows no other run uses at the same time: the clock and where the
   * stack happens to lie. */
  int here = 0;
  const uint64_t game = (((uint64_t)time(NULL) << 16) ^ (uint64_t)(uintptr_t)&here) & 0xFFFFFFFFFFFFull;
  qelchannel* channel = NULL;
  qelchannel_request* request = NULL;
  qelchannel_reply* reply = NULL;
  static const uint16_t wide[] = {0x48, 0x69};

  expect(qelchannel_open(game | 1, game | 2, &channel), QELCHANNEL_OK, "open");
  expect(qelchannel_fd(channel) >= 0, 1, "fd");
  expect(qelchannel_request_new(1, QELCHANNEL_CALL_FRAME, "f", "frame", &request), QELCHANNEL_OK,
         "request");
  expect(qelchannel_request_add_int(request, 42), QELCHANNEL_OK, "int");
  expect(qelchannel_request_add_wstring(request, wide, 2), QELCHANNEL_OK, "wide string");
  expect(qelchannel_send(channel, request, 100), QELCHANNEL_ERR_NO_PLUGIN, "send");
  expect(qelchannel_receive(channel, 0, &reply), QELCHANNEL_TIMEOUT, "receive");
  expect(reply == NULL, 1, "no reply");
  qelchannel_request_free(request);
  qelchannel_close(channel);
  return failures == 0 ? 0 : 1;
}
