#include "host/PluginRegistry.h"

#include <gtest/gtest.h>

#include "platform/Error.h"

namespace qel {
namespace {

std::unique_ptr<TPlugin> NoPlugin(const TPluginCreateArgs&) { return nullptr; }
std::unique_ptr<TPlugin> OtherNoPlugin(const TPluginCreateArgs&) { return nullptr; }

TEST(PluginRegistry, MimeTextSplitsAtSemicolonsAndBars) {
  using V = std::vector<std::string>;
  EXPECT_EQ(TPlugins::ParseMimeTypes("a;;b|c"), (V{"a", "b", "c"}));
  EXPECT_EQ(TPlugins::ParseMimeTypes(";|a|"), (V{"a"}));
  EXPECT_EQ(TPlugins::ParseMimeTypes(" A/B ;c"), (V{" A/B ", "c"}));  // case and blanks kept
  EXPECT_EQ(TPlugins::ParseMimeTypes(""), V{});
  EXPECT_EQ(TPlugins::ParseMimeTypes(";;|"), V{});
}

TEST(PluginRegistry, FindsTheFirstMatchIgnoringAsciiCase) {
  TPlugins registry;
  registry.RegisterPlugin(NoPlugin, "application/x-one;application/x-both");
  registry.RegisterPlugin(OtherNoPlugin, "application/x-both|application/x-two");

  ASSERT_NE(registry.FindPluginClass("APPLICATION/X-ONE"), nullptr);
  EXPECT_EQ(registry.FindPluginClass("application/x-both")->PluginClass, NoPlugin);
  EXPECT_EQ(registry.FindPluginClass("Application/X-Two")->PluginClass, OtherNoPlugin);
  EXPECT_EQ(registry.FindPluginClass("application/x-three"), nullptr);
  EXPECT_EQ(registry.FindPluginClass(""), nullptr);
}

TEST(PluginRegistry, CaseFoldingStopsAtAscii) {
  TPlugins registry;
  registry.RegisterPlugin(NoPlugin, "\xC4");  // a non-ASCII capital in some 8-bit set
  EXPECT_NE(registry.FindPluginClass("\xC4"), nullptr);
  EXPECT_EQ(registry.FindPluginClass("\xE4"), nullptr);
}

TEST(PluginRegistry, AnEmptyRegistrationServesEveryType) {
  TPlugins registry;
  registry.RegisterPlugin(NoPlugin, ";|");
  EXPECT_NE(registry.FindPluginClass("anything/at-all"), nullptr);
  EXPECT_NE(registry.FindPluginClass(""), nullptr);
}

TEST(PluginRegistry, RefusesANullClassAndRegistersNothing) {
  TPlugins registry;
  try {
    registry.RegisterPlugin(nullptr, "application/x-null");
    FAIL() << "a null class was registered";
  } catch (const EQelError& e) {
    EXPECT_STREQ(e.what(), "Nil plugin class not allowed");
  }
  EXPECT_EQ(registry.FindPluginClass("application/x-null"), nullptr);
  EXPECT_EQ(registry.MIMEDescription(), "");
}

TEST(PluginRegistry, TheLibraryRegistersTheLauncherAtLoad) {
  EXPECT_NE(Plugins().FindPluginClass("application/qellauncher"), nullptr);
  EXPECT_NE(Plugins().FindPluginClass("APPLICATION/QELLAUNCHER"), nullptr);
  EXPECT_EQ(Plugins().FindPluginClass("application/qellauncher2"), nullptr);
}

}  // namespace
}  // namespace qel
