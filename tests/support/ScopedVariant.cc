#include "ScopedVariant.h"

#include "FakeBrowser.h"

namespace qel::test {

ScopedVariant::ScopedVariant(FakeBrowser& browser)
    : browser_(browser), variant_(qel::test::VoidVariant()) {}

ScopedVariant::ScopedVariant(FakeBrowser& browser, NPVariant adopted)
    : browser_(browser), variant_(adopted) {}

ScopedVariant::~ScopedVariant() { browser_.ReleaseVariant(variant_); }

NPVariant* ScopedVariant::out() {
  browser_.ReleaseVariant(variant_);
  return &variant_;
}

std::string ScopedVariant::Text() const { return qel::test::VariantText(variant_); }

}  // namespace qel::test
