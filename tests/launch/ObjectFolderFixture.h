// A plug-in folder for install registers and a private folder for the named
// objects, both fresh for each test.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "NativeTempFolder.h"
#include "platform/NamedObjectFolder.h"

namespace qel::test {

class ObjectFolderFixture : public testing::Test {
 protected:
  // Set before any member of a derived fixture makes its named objects.
  ObjectFolderFixture() { SetNamedObjectFolderForTesting(Objects_.Path()); }
  ~ObjectFolderFixture() override { SetNamedObjectFolderForTesting(""); }

  std::string RegisterFile() const { return PluginFolder_ / "gamepath.dat"; }

  TNativeTempFolder Objects_;
  TNativeTempFolder PluginFolder_;
};

// One 516-byte record as another writer may have left it: the texts are
// copied as far as they fit, without a NUL when they fill their field.
inline std::string RawRecord(const std::string& id, const std::string& folder) {
  std::string record(516, '\0');
  record.replace(0, std::min<std::size_t>(id.size(), 64), id.substr(0, 64));
  record.replace(64, std::min<std::size_t>(folder.size(), 452), folder.substr(0, 452));
  return record;
}

}  // namespace qel::test
