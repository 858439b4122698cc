#include "NetTestSupport.h"

#include <fstream>
#include <random>
#include <sstream>

#include "platform/Loop.h"

namespace qel::test {

std::string PatternBytes(size_t count, uint32_t seed) {
  std::mt19937 generator(seed);
  std::string bytes(count, '\0');
  for (char& byte : bytes) byte = static_cast<char>(generator() & 0xFF);
  return bytes;
}

std::u16string Wide(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

std::string AsString(const TMemoryStream& data) {
  return std::string(reinterpret_cast<const char*>(data.Memory()), static_cast<size_t>(data.Size()));
}

bool AwaitState(THttpRequest& request, TRequestState state) {
  return RunLoopUntil(
      [&] {
        request.Poll();
        return request.State() == state;
      },
      kPatienceMs);
}

void RunQuietly(THttpRequest& request) {
  RunLoopUntil(
      [&] {
        request.Poll();
        return false;
      },
      kQuietMs);
}

TNotifications::TNotifications(THttpRequest& request) {
  request.OnComplete = [this](THttpRequest&) { ++Completed; };
  request.OnFailed = [this](THttpRequest&) { ++Failed; };
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(file.good()) << path;
}

void NginxTest::SetUp() {
  if (FindNginx().empty()) GTEST_SKIP() << "nginx is not installed; scripts/setup installs it";
  Nginx = std::make_unique<TNginxServer>();
  ASSERT_TRUE(Nginx->Running()) << Nginx->Failure();
}

}  // namespace qel::test
