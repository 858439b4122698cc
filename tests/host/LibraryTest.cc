// The built library as a browser loads it: by file, through its exports only.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "host/NPApi.h"

namespace {

class Library : public ::testing::Test {
 protected:
  void SetUp() override {
    Handle_ = dlopen(QEL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(Handle_, nullptr) << dlerror();
  }
  void TearDown() override {
    if (Handle_) dlclose(Handle_);
  }
  template <class F>
  F Export(const char* name) {
    return reinterpret_cast<F>(dlsym(Handle_, name));
  }
  void* Handle_ = nullptr;
};

TEST_F(Library, ExportsTheEntryPointsAndHidesTheRest) {
  for (const char* name : {"NP_Initialize", "NP_GetEntryPoints", "NP_Shutdown",
                           "NP_GetMIMEDescriptionFunc", "NP_GetMIMEDescription", "NP_GetValue"}) {
    EXPECT_NE(dlsym(Handle_, name), nullptr) << name;
  }
  for (const char* name : {"NPP_New", "_ZN3qel9PluginsEv", "_ZN3qel13BrowserFuncsEv"}) {
    EXPECT_EQ(dlsym(Handle_, name), nullptr) << name;
  }
}

TEST_F(Library, AnswersABrowserThatLoadsIt) {
  auto get_mime = Export<const char* (*)()>("NP_GetMIMEDescription");
  ASSERT_NE(get_mime, nullptr);
  EXPECT_EQ(std::string(get_mime()).rfind("application/qellauncher:", 0), 0u);

  auto initialize = Export<NPError (*)(NPNetscapeFuncs*, NPPluginFuncs*)>("NP_Initialize");
  ASSERT_NE(initialize, nullptr);
  NPNetscapeFuncs browser{};
  browser.size = sizeof browser;
  browser.version = 27;
  NPPluginFuncs plugin{};
  plugin.size = sizeof plugin;
  ASSERT_EQ(initialize(&browser, &plugin), NPERR_NO_ERROR);
  EXPECT_EQ(plugin.version, 27);
  ASSERT_NE(plugin.newp, nullptr);

  // An instance of the launcher comes and goes without any browser service.
  NPP_t instance{};
  char name[] = "gameguid";
  char value[] = "{x}";
  char* argn[] = {name};
  char* argv[] = {value};
  char mime[] = "application/qellauncher";
  ASSERT_EQ(plugin.newp(mime, &instance, NP_EMBED, 1, argn, argv, nullptr), NPERR_NO_ERROR);
  EXPECT_NE(instance.pdata, nullptr);
  EXPECT_EQ(plugin.destroy(&instance, nullptr), NPERR_NO_ERROR);
  EXPECT_EQ(instance.pdata, nullptr);
}

}  // namespace
