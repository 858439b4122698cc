// Tables that the entry-point tests hand to the library's exports.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "host/NPApi.h"
#include "host/npqelgame.h"

namespace qel {

// NP_Initialize as this platform's browsers call it, with no plug-in table.
inline NPError InitializeWith(NPNetscapeFuncs* browser) {
  return QEL_NP_INITIALIZE_CALL(NP_Initialize, browser, nullptr);
}

// A browser table of any claimed size, every entry a recognisable non-null
// value, inside a buffer larger than any table the library copies.
class BrowserTable {
 public:
  explicit BrowserTable(uint16_t size, uint16_t version = NP_VERSION_MINOR)
      : Bytes_(1024, 0) {
    for (size_t i = 0; i < Bytes_.size(); ++i) Bytes_[i] = static_cast<char>(0x40 + i % 32);
    auto* table = Table();
    table->size = size;
    table->version = version;
  }
  NPNetscapeFuncs* Table() { return reinterpret_cast<NPNetscapeFuncs*>(Bytes_.data()); }
  const char* Bytes() const { return Bytes_.data(); }

 private:
  std::vector<char> Bytes_;
};

class EntryPoints : public ::testing::Test {
 protected:
  // Leave an empty browser table behind so no later call jumps through junk.
  void TearDown() override {
    NPNetscapeFuncs empty{};
    empty.size = sizeof empty;
    ASSERT_EQ(InitializeWith(&empty), NPERR_NO_ERROR);
  }
};

// A plug-in table of any claimed size, every byte 0xEE until written.
struct PluginTable {
  explicit PluginTable(uint16_t size) {
    std::memset(&Funcs, 0xEE, sizeof Funcs);
    Funcs.size = size;
  }
  NPPluginFuncs Funcs;
};

}  // namespace qel
