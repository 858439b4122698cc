// The fake browser's own tests start from here: the browser with the mini
// plug-in loaded, and one instance of it.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "FakeBrowser.h"
#include "MiniPlugin.h"

namespace qel::test {

class MiniInstanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mini::Reset();
    ASSERT_EQ(browser.Initialize(), NPERR_NO_ERROR);
    instance = browser.NewInstance(mini::kMime, {});
    ASSERT_NE(instance, nullptr);
  }

  FakeBrowser browser{mini::Entry()};
  NPNetscapeFuncs& npn = browser.BrowserFuncs();
  std::unique_ptr<FakeInstance> instance;
};

}  // namespace qel::test
