// Host-layer tests that need the library loaded in the fake browser with one
// instance of the recording plug-in start from here.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "FakeBrowser.h"
#include "RecordingPlugin.h"

namespace qel::test {

class RecordingInstanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Recording() = {};
    ASSERT_EQ(browser.Initialize(), NPERR_NO_ERROR);
    instance = browser.NewInstance(kRecordingMime, {});
    ASSERT_NE(instance, nullptr);
  }
  // Ends the instance and checks that nothing of it is left in the browser.
  void Done() {
    instance.reset();
    browser.ExpectClean();
  }

  FakeBrowser browser;
  std::unique_ptr<FakeInstance> instance;
};

}  // namespace qel::test
