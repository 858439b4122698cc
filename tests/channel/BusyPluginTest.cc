// A plug-in whose loop does not run, on Linux: its socket's queue is
// bounded, so it fills. (On Windows a block is taken while it is sent; a
// sender of the same process always waits for the answer.)
#include <gtest/gtest.h>

#include "PluginSide.h"

namespace qel::test {
namespace {

using BusyPluginTest = PluginSideTest;

TEST_F(BusyPluginTest, AFullQueueIsBusyUntilTheLoopRuns) {
  qelchannel_request* request = nullptr;
  ASSERT_EQ(qelchannel_request_new(1, QELCHANNEL_EVAL_WINDOW, "x", nullptr, &request),
            QELCHANNEL_OK);
  // The plug-in's queue fills while its loop does not run.
  int status = QELCHANNEL_OK;
  for (int sent = 0; sent < 100000 && status == QELCHANNEL_OK; ++sent)
    status = qelchannel_send(channel, request, 0);
  EXPECT_EQ(status, QELCHANNEL_ERR_PLUGIN_BUSY);
  qelchannel_request_free(request);
}

}  // namespace
}  // namespace qel::test
