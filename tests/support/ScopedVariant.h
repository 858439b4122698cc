// An NPVariant that is released (NPN_ReleaseVariantValue) when it goes away,
// for results a test receives and values it hands out.
#pragma once

#include <string>

#include "host/NPApi.h"

namespace qel::test {

class FakeBrowser;

class ScopedVariant {
 public:
  // Starts void.
  explicit ScopedVariant(FakeBrowser& browser);
  // Takes over a variant the caller owns.
  ScopedVariant(FakeBrowser& browser, NPVariant adopted);
  ~ScopedVariant();
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;

  const NPVariant& get() const { return variant_; }
  // For an out parameter: releases the current value first.
  NPVariant* out();
  std::string Text() const;

 private:
  FakeBrowser& browser_;
  NPVariant variant_;
};

}  // namespace qel::test
