// A launcher instance embedded in the fake browser, with its script object,
// and short ways to read and write properties as page script does.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "FakeBrowser.h"
#include "ScopedVariant.h"
#include "platform/AnsiText.h"

namespace qel::test {

class LauncherTest : public ::testing::Test {
 protected:
  using Attributes = std::vector<std::pair<std::string, std::string>>;

  void SetUp() override { ASSERT_EQ(browser.Initialize(), NPERR_NO_ERROR); }
  void TearDown() override {
    object.reset();
    instance.reset();
    browser.ExpectClean();
    SetAnsiCharsetForTesting("");
  }

  void Embed(Attributes attributes = {}) {
    instance = browser.NewInstance("application/qellauncher", std::move(attributes));
    ASSERT_NE(instance, nullptr);
    object = instance->ScriptObject();
    ASSERT_TRUE(object);
  }

  // What page script reads: the value as text, or nothing when the read fails.
  std::optional<std::string> Read(const std::string& name) {
    ScopedVariant result(browser);
    if (!browser.GetProperty(object.get(), name, result.out())) return std::nullopt;
    return result.Text();
  }
  NPVariantType ReadType(const std::string& name) {
    ScopedVariant result(browser);
    EXPECT_TRUE(browser.GetProperty(object.get(), name, result.out())) << name;
    return result.get().type;
  }
  // Writes and gives the variant back to the browser, as a script engine does.
  bool Write(const std::string& name, NPVariant value) {
    bool answer = browser.SetProperty(object.get(), name, value);
    browser.ReleaseVariant(value);
    return answer;
  }
  bool WriteText(const std::string& name, const std::string& utf8) {
    return Write(name, browser.StringVariant(utf8));
  }

  FakeBrowser browser;
  std::unique_ptr<FakeInstance> instance;
  ObjectRef object;
};

}  // namespace qel::test
