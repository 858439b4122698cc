// Helpers shared by the transfer tests: resource bytes, waiting on the loop,
// the nginx fixture and temporary folders.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "NginxServer.h"
#include "TempFolder.h"
#include "net/HttpRequest.h"

namespace qel::test {

// Long enough for a slow machine under the sanitizers.
inline constexpr int kPatienceMs = 20000;
// How long the loop runs to show that nothing more happens.
inline constexpr int kQuietMs = 150;

// Bytes that differ at every offset, so that a shifted or repeated piece shows.
std::string PatternBytes(size_t count, uint32_t seed = 1);

std::u16string Wide(const std::string& ascii);
std::string AsString(const TMemoryStream& data);

// Runs the loop, polling the request as its owner would, until its state is
// `state`; answers whether it got there.
bool AwaitState(THttpRequest& request, TRequestState state);
// Runs the loop (polling the request) for kQuietMs.
void RunQuietly(THttpRequest& request);

// Counts a request's notifications.
struct TNotifications {
  explicit TNotifications(THttpRequest& request);
  int Completed = 0;
  int Failed = 0;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

// Starts nginx for each test; skips the test only when nginx is not
// installed (a server that is installed but fails is a failure).
class NginxTest : public ::testing::Test {
 protected:
  void SetUp() override;
  std::unique_ptr<TNginxServer> Nginx;
};

}  // namespace qel::test
