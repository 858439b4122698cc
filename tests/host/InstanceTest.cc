#include <gtest/gtest.h>

#include "FakeBrowser.h"
#include "RecordingPlugin.h"

namespace qel::test {
namespace {

using Calls = std::vector<std::string>;
using Attributes = std::vector<std::pair<std::string, std::string>>;

class Instance : public ::testing::Test {
 protected:
  void SetUp() override {
    Recording() = {};
    ASSERT_EQ(browser.Initialize(), NPERR_NO_ERROR);
  }
  const NPPluginFuncs& Funcs() { return browser.PluginFuncs(); }
  FakeBrowser browser;
};

TEST_F(Instance, KeepsTheAttributesInPageOrderWithRepeats) {
  auto instance = browser.NewInstance(kRecordingMime, {{"a", "1"}, {"b", ""}, {"a", "3"}});
  ASSERT_NE(instance, nullptr);
  auto* plugin = static_cast<TPlugin*>(instance->Npp()->pdata);
  EXPECT_EQ(plugin->ParamNames(), (Calls{"a", "b", "a"}));
  EXPECT_EQ(plugin->ParamValues(), (Calls{"1", "", "3"}));

  auto bare = browser.NewInstance(kRecordingMime, {});
  ASSERT_NE(bare, nullptr);
  EXPECT_TRUE(static_cast<TPlugin*>(bare->Npp()->pdata)->ParamNames().empty());
  instance.reset();
  bare.reset();
  browser.ExpectClean();
}

TEST_F(Instance, NewRefusesWhatItCannotServeAndLeavesPdataAlone) {
  int marker = 0;
  NPP_t npp{&marker, nullptr};
  char mime[] = "application/x-unknown";
  EXPECT_EQ(Funcs().newp(mime, &npp, NP_EMBED, 0, nullptr, nullptr, nullptr),
            NPERR_GENERIC_ERROR);
  EXPECT_EQ(npp.pdata, &marker);

  char ours[] = "application/x-qel-recording";
  EXPECT_EQ(Funcs().newp(ours, &npp, NP_EMBED, -1, nullptr, nullptr, nullptr),
            NPERR_GENERIC_ERROR);
  EXPECT_EQ(Funcs().newp(ours, nullptr, NP_EMBED, 0, nullptr, nullptr, nullptr),
            NPERR_INVALID_INSTANCE_ERROR);
  EXPECT_EQ(Funcs().newp(nullptr, &npp, NP_EMBED, 0, nullptr, nullptr, nullptr),
            NPERR_GENERIC_ERROR);

  Recording().ThrowOnCreate = true;
  EXPECT_EQ(Funcs().newp(ours, &npp, NP_EMBED, 0, nullptr, nullptr, nullptr),
            NPERR_GENERIC_ERROR);
  EXPECT_EQ(npp.pdata, &marker);
  browser.ExpectClean();
}

TEST_F(Instance, TheLauncherTypeMatchesInAnyLetterCase) {
  auto instance = browser.NewInstance("APPLICATION/QELLAUNCHER", {});
  EXPECT_NE(instance, nullptr);
  instance.reset();
  browser.ExpectClean();
}

TEST_F(Instance, DestroyClearsPdataBeforeTheObjectGoes) {
  auto instance = browser.NewInstance(kRecordingMime, {});
  ASSERT_NE(instance, nullptr);
  EXPECT_EQ(instance->Destroy(), NPERR_NO_ERROR);
  EXPECT_EQ(Recording().PdataAtDestruction, nullptr);
  EXPECT_EQ(Recording().Calls, (Calls{"Destroyed"}));

  NPP_t empty{};
  EXPECT_EQ(Funcs().destroy(&empty, nullptr), NPERR_NO_ERROR);
  EXPECT_EQ(Funcs().destroy(nullptr, nullptr), NPERR_INVALID_INSTANCE_ERROR);
  browser.ExpectClean();
}

TEST_F(Instance, WindowChangesCallDetachAttachAndChangedInOrder) {
  auto instance = browser.NewInstance(kRecordingMime, {});
  ASSERT_NE(instance, nullptr);
  NPWindow window{};
  window.window = reinterpret_cast<void*>(0x500);
  window.width = 300;
  EXPECT_EQ(instance->SetWindow(&window), NPERR_NO_ERROR);
  EXPECT_EQ(Recording().Calls, (Calls{"Detach 0", "Attach 1280", "Changed"}));

  Recording().Calls.clear();
  window.width = 400;  // same window, new size
  EXPECT_EQ(instance->SetWindow(&window), NPERR_NO_ERROR);
  EXPECT_EQ(Recording().Calls, (Calls{"Changed"}));

  Recording().Calls.clear();
  EXPECT_EQ(instance->SetWindow(nullptr), NPERR_NO_ERROR);
  EXPECT_EQ(Recording().Calls, (Calls{"Detach 1280", "Attach 0", "Changed"}));

  Recording().ThrowOnWindowChanged = true;
  EXPECT_EQ(instance->SetWindow(&window), NPERR_GENERIC_ERROR);
  instance.reset();
  browser.ExpectClean();
}

TEST_F(Instance, CallsWithoutAnObjectGetTheirErrorCodes) {
  NPP_t empty{};
  NPWindow window{};
  NPStream stream{};
  uint16_t type = 0;
  char mime[] = "text/html";
  EXPECT_EQ(Funcs().setwindow(&empty, &window), NPERR_GENERIC_ERROR);
  EXPECT_EQ(Funcs().setwindow(nullptr, &window), NPERR_INVALID_INSTANCE_ERROR);
  EXPECT_EQ(Funcs().newstream(&empty, mime, &stream, false, &type), NPERR_GENERIC_ERROR);
  EXPECT_EQ(Funcs().newstream(nullptr, mime, &stream, false, &type),
            NPERR_INVALID_INSTANCE_ERROR);
  EXPECT_EQ(Funcs().destroystream(nullptr, &stream, NPRES_DONE), NPERR_INVALID_INSTANCE_ERROR);
  EXPECT_EQ(Funcs().destroystream(&empty, &stream, NPRES_DONE), NPERR_GENERIC_ERROR);
  EXPECT_EQ(Funcs().destroystream(&empty, nullptr, NPRES_DONE), NPERR_GENERIC_ERROR);
  EXPECT_EQ(Funcs().write(&empty, &stream, 0, 1, mime), -1);
  EXPECT_EQ(Funcs().write(&empty, nullptr, 0, 1, mime), -1);
  Funcs().asfile(&empty, &stream, "/nonexistent");  // nothing to act on
  Funcs().asfile(&empty, nullptr, nullptr);

  NPBool flag = false;
  EXPECT_EQ(Funcs().getvalue(&empty, NPPVpluginWindowBool, &flag),
            NPERR_INVALID_INSTANCE_ERROR);
  EXPECT_EQ(Funcs().getvalue(nullptr, NPPVpluginWindowBool, &flag),
            NPERR_INVALID_INSTANCE_ERROR);
  EXPECT_EQ(Funcs().setvalue(&empty, NPNVxDisplay, nullptr), NPERR_NO_ERROR);
  EXPECT_EQ(Funcs().setvalue(nullptr, NPNVxDisplay, nullptr), NPERR_INVALID_INSTANCE_ERROR);
}

TEST_F(Instance, GetValueAnswersTheKnownVariablesOnly) {
  auto instance = browser.NewInstance(kRecordingMime, {});
  ASSERT_NE(instance, nullptr);
  auto ask_bool = [&](NPPVariable variable) {
    NPBool value = 0x7F;
    EXPECT_EQ(instance->GetValue(variable, &value), NPERR_NO_ERROR) << variable;
    return static_cast<int>(value);
  };
  EXPECT_EQ(ask_bool(NPPVpluginWindowBool), 1);
  EXPECT_EQ(ask_bool(NPPVpluginTransparentBool), 0);
  EXPECT_EQ(ask_bool(NPPVpluginWantsAllNetworkStreams), 1);
  EXPECT_EQ(ask_bool(NPPVpluginCancelSrcStream), 0);

  const char* text = "unset";
  EXPECT_EQ(instance->GetValue(NPPVpluginNameString, &text), NPERR_NO_ERROR);
  EXPECT_EQ(text, nullptr);
  text = "unset";
  EXPECT_EQ(instance->GetValue(NPPVpluginDescriptionString, &text), NPERR_NO_ERROR);
  EXPECT_EQ(text, nullptr);

  void* untouched = &text;
  EXPECT_EQ(instance->GetValue(NPPVpluginNeedsXEmbed, &untouched), NPERR_GENERIC_ERROR);
  EXPECT_EQ(instance->GetValue(NPPVpluginTimerInterval, &untouched), NPERR_GENERIC_ERROR);
  EXPECT_EQ(untouched, &text);
  EXPECT_EQ(instance->GetValue(NPPVpluginWindowBool, nullptr), NPERR_GENERIC_ERROR);
  instance.reset();
  browser.ExpectClean();
}

TEST_F(Instance, StreamModeDecidesTheStreamType) {
  auto instance = browser.NewInstance(kRecordingMime, {});
  ASSERT_NE(instance, nullptr);
  char mime[] = "application/octet-stream";
  for (auto [mode, expected] : {std::pair{smFile, NP_ASFILEONLY}, {smMemory, NP_NORMAL}}) {
    Recording().StreamMode = mode;
    NPStream stream{};
    stream.url = "http://127.0.0.1/x";
    uint16_t type = 0;
    ASSERT_EQ(Funcs().newstream(instance->Npp(), mime, &stream, false, &type), NPERR_NO_ERROR);
    EXPECT_EQ(type, expected);
    EXPECT_NE(stream.pdata, nullptr);
    EXPECT_EQ(Funcs().destroystream(instance->Npp(), &stream, NPRES_DONE), NPERR_NO_ERROR);
    EXPECT_EQ(stream.pdata, nullptr);
  }
  EXPECT_EQ(Recording().Calls, (Calls{"Done 0", "Done 0"}));
  instance.reset();
  browser.ExpectClean();
}

}  // namespace
}  // namespace qel::test
