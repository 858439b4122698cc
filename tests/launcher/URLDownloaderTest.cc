// The data fetched through the browser: a launcher instance whose workflow
// has the browser-stream downloader, real signed packs delivered by the fake
// browser as streams, and the system's extraction.
#include <filesystem>

#include "GameFiles.h"
#include "LauncherFixture.h"
#include "TempFolder.h"
#include "launcher/URLDownloader.h"
#include "platform/Loop.h"
#include "qelpack/PackBuilder.h"
#include "qelpack/PackSigner.h"

namespace qel::test {
namespace {

constexpr char kInitUrl[] = "http://127.0.0.1:9/init.pak";
constexpr char kUpdateUrl[] = "http://127.0.0.1:9/update.pak";

// A pack of `tree` for the sample game, signed with the development key as
// `qelpack create` signs it.
std::string PackOf(const std::string& tree) {
  const auto signer = pack_tool::TPackSigner::Load(QEL_DEV_PRIVATE_KEY);
  const std::vector<uint8_t> region = pack_tool::BuildSignedRegion(tree, {kGameId});
  const std::vector<uint8_t> pack = pack_tool::FramePack(region, signer->Sign(region));
  return {pack.begin(), pack.end()};
}

class BrowserStreamDownload : public LauncherTest {
 protected:
  void SetUp() override {
    LauncherTest::SetUp();
    TInstanceServices services = InstanceServices();
    services.DownloaderClass = &TURLDownloader::Create;
    SetInstanceServicesForTesting(std::move(services));
  }

  // Embeds with both packs behind, gives a window and starts the workflow.
  void Start(const std::string& update_url = kUpdateUrl) {
    Embed({{"gameguid", kGameId}, {"initdata", kInitUrl}, {"updatedata", update_url},
           {"initver", "3"}, {"updatever", "2"}});
    GiveWindow();
    Tick();
    ASSERT_NE(Plugin().Launcher(), nullptr);
  }
  using LauncherTest::Write;
  TURLDownloader& Downloader() { return dynamic_cast<TURLDownloader&>(*Plugin().Launcher()->Downloader()); }
  bool Requested(const std::string& url) {
    for (const std::string& call : browser.Calls())
      if (call.rfind("GetURL " + url, 0) == 0) return true;
    return false;
  }

  // The browser's side of one stream.
  struct TStream {
    std::string Url;
    NPStream Stream{};
  };
  NPError Offer(TStream& stream, uint32_t end) {
    stream.Stream.url = stream.Url.c_str();
    stream.Stream.end = end;
    uint16_t type = 0;
    char mime[] = "application/octet-stream";
    return browser.PluginFuncs().newstream(instance->Npp(), mime, &stream.Stream, false, &type);
  }
  void Write(TStream& stream, const std::string& bytes, size_t from = 0) {
    std::string part = bytes.substr(from);
    ASSERT_EQ(browser.PluginFuncs().write(instance->Npp(), &stream.Stream, static_cast<int32_t>(from),
                                           static_cast<int32_t>(part.size()), part.data()),
              static_cast<int32_t>(part.size()));
  }
  void End(TStream& stream, NPReason reason) {
    browser.PluginFuncs().destroystream(instance->Npp(), &stream.Stream, reason);
  }
  // A whole pack, delivered and ended well.
  void Deliver(TStream& stream, const std::string& pack) {
    ASSERT_EQ(Offer(stream, static_cast<uint32_t>(pack.size())), NPERR_NO_ERROR);
    Write(stream, pack);
    End(stream, NPRES_DONE);
  }

  TTempFolder InitTree, UpdateTree;
};

TEST_F(BrowserStreamDownload, InstallsTheInitPackThenAsksForTheUpdate) {
  WriteGame(InitTree.Path());
  PutFile(UpdateTree / "news.txt", "update 2");
  const std::string init = PackOf(InitTree.Path());
  const std::string update = PackOf(UpdateTree.Path());
  Start();
  EXPECT_EQ(Downloader().State(), dsInitDownloading);
  EXPECT_TRUE(Requested(std::string(kInitUrl) + " (null)")) << testing::PrintToString(browser.Calls());

  TStream stray{"http://127.0.0.1:9/other.pak"};
  EXPECT_EQ(Offer(stray, 10), NPERR_GENERIC_ERROR);
  TStream stream{kInitUrl};
  ASSERT_EQ(Offer(stream, static_cast<uint32_t>(init.size())), NPERR_NO_ERROR);
  Write(stream, init.substr(0, 1000));
  Write(stream, init, 1000);
  // The browser's figures, before the end.
  EXPECT_EQ(Downloader().InitReceived(), static_cast<int32_t>(init.size()));
  EXPECT_EQ(Downloader().InitTotal(), static_cast<int32_t>(init.size()));
  EXPECT_EQ(Downloader().GetProgress(), 89);
  EXPECT_FALSE(Requested(kUpdateUrl));
  End(stream, NPRES_DONE);
  EXPECT_EQ(Downloader().State(), dsInitExtracting);

  ASSERT_TRUE(RunLoopUntil([&] { Tick(); return Downloader().State() != dsInitExtracting; }, 20000));
  EXPECT_EQ(Downloader().State(), dsUpdateDownloading);
  EXPECT_TRUE(Requested(kUpdateUrl));
  TStream second{kUpdateUrl};
  Deliver(second, update);
  ASSERT_TRUE(TickUntilState(lsReady)) << "error " << int{Plugin().Launcher()->ErrorCode()};
  const std::string folder = Plugin().Launcher()->InstallPath();
  EXPECT_EQ(FileContent(folder + "news.txt"), "update 2");
}

// With one address for both packs the first stream is the init pack and,
// once the update is awaited, the next one the update.
TEST_F(BrowserStreamDownload, OneAddressForBothPacksServesEachInTurn) {
  WriteGame(InitTree.Path());
  const std::string pack = PackOf(InitTree.Path());
  Start(kInitUrl);
  TStream first{kInitUrl};
  Deliver(first, pack);
  EXPECT_EQ(Downloader().State(), dsInitExtracting);
  ASSERT_TRUE(RunLoopUntil([&] { Tick(); return Downloader().State() == dsUpdateDownloading; }, 20000));
  TStream second{kInitUrl};
  Deliver(second, pack);
  EXPECT_EQ(Downloader().State(), dsUpdateExtracting);
  ASSERT_TRUE(TickUntilState(lsReady));
}

TEST_F(BrowserStreamDownload, AStreamThatDoesNotEndWellFailsTheDownload) {
  Start();
  TStream stream{kInitUrl};
  ASSERT_EQ(Offer(stream, 1000), NPERR_NO_ERROR);
  Write(stream, std::string(400, 'p'));
  End(stream, NPRES_NETWORK_ERR);
  EXPECT_EQ(Downloader().State(), dsError);
  EXPECT_EQ(Downloader().GetProgress(), -1);
}

TEST_F(BrowserStreamDownload, AbortAsksTheBrowserToEndTheStreamAndItsEndFails) {
  Start();
  TStream stream{kInitUrl};
  ASSERT_EQ(Offer(stream, 1000), NPERR_NO_ERROR);
  browser.ClearCalls();
  EXPECT_TRUE(Write("abortgame", FakeBrowser::BoolVariant(true)));
  bool cancelled = false;
  for (const std::string& call : browser.Calls())
    if (call.rfind("DestroyStream", 0) == 0) cancelled = call.find(" 2") != std::string::npos;
  EXPECT_TRUE(cancelled) << testing::PrintToString(browser.Calls());
  End(stream, NPRES_USER_BREAK);
  EXPECT_EQ(Downloader().State(), dsError);
}

TEST_F(BrowserStreamDownload, TheInstanceWaitsForAnExtractionWhenDestroyed) {
  WriteGame(InitTree.Path());
  PutFile(InitTree / "big.bin", std::string(8 << 20, 'b'));
  const std::string init = PackOf(InitTree.Path());
  Start();
  const std::string folder = Plugin().Launcher()->InstallPath();
  TStream stream{kInitUrl};
  Deliver(stream, init);
  ASSERT_EQ(Downloader().State(), dsInitExtracting);
  instance.reset();
  // The thread had finished its work before the instance was gone.
  EXPECT_EQ(FileContent(folder + "big.bin").size(), size_t{8} << 20);
}

TEST(BrowserStreamDownloader, WithoutAnInstanceTheFirstStartFails) {
  TURLDownloader downloader;
  downloader.InitUrl = kInitUrl;
  downloader.InitTargetVersion = 1;
  downloader.StartNext();
  EXPECT_EQ(downloader.State(), dsError);
}

}  // namespace
}  // namespace qel::test
