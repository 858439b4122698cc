// The library's resources on Windows: the module's resource section (here
// the test program's, ContentTests.rc), the test override, and resources
// that code registers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Resource.h"

namespace qel::test {
namespace {

constexpr std::string_view kSampleText = "Bytes of a test resource.";

std::string Text(std::span<const uint8_t> bytes) { return {bytes.begin(), bytes.end()}; }

constexpr uint8_t kRegisteredOnly[] = {'o', 'n', 'l', 'y'};
constexpr uint8_t kRegisteredSample[] = {'s', 'h', 'a', 'd', 'o', 'w'};
const TResourceRegistration kOnlyRegistration("Test_Bytes", "Registered_Only", kRegisteredOnly);
const TResourceRegistration kSampleRegistration("TEST_BYTES", "SAMPLE_RESOURCE", kRegisteredSample);

TEST(ResourceTest, FindsTheModulesResourcesByTypeAndNameInAnyCase) {
  for (const auto& [type, name] : {std::pair{"TEST_BYTES", "SAMPLE_RESOURCE"},
                                   {"test_bytes", "sample_resource"}, {"Test_Bytes", "sAMPLE_rESOURCE"}}) {
    const auto bytes = FindLibraryResource(type, name);
    ASSERT_TRUE(bytes) << type << " " << name;
    EXPECT_EQ(Text(*bytes), kSampleText);
  }
  const auto key = FindLibraryResource("raw", "public_key");
  ASSERT_TRUE(key);
  EXPECT_EQ(key->size(), 148u);
}

TEST(ResourceTest, AnswersNoneForResourcesTheModuleDoesNotHave) {
  EXPECT_FALSE(FindLibraryResource("RAW", "PUBLIC_KEYS"));
  EXPECT_FALSE(FindLibraryResource("RCDATA", "PUBLIC_KEY"));
  EXPECT_FALSE(FindLibraryResource("", "PUBLIC_KEY"));
  EXPECT_FALSE(FindLibraryResource("RAW", ""));
  // Neither a name cut short at a NUL nor one the system reads as a number.
  EXPECT_FALSE(FindLibraryResource("RAW", std::string_view("PUBLIC_KEY\0X", 12)));
  EXPECT_FALSE(FindLibraryResource("#10", "#1"));
}

TEST(ResourceTest, TestOverrideReplacesAndRestoresTheModulesResource) {
  SetLibraryResourceForTesting("raw", "Public_Key", std::vector<uint8_t>{1, 2, 3});
  EXPECT_EQ(FindLibraryResource("RAW", "PUBLIC_KEY")->size(), 3u);
  SetLibraryResourceForTesting("RAW", "PUBLIC_KEY", std::nullopt);
  EXPECT_EQ(FindLibraryResource("RAW", "PUBLIC_KEY")->size(), 148u);

  SetLibraryResourceForTesting("RAW", "ABSENT", std::vector<uint8_t>{});
  const auto empty = FindLibraryResource("raw", "absent");
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty->empty());
  SetLibraryResourceForTesting("RAW", "ABSENT", std::nullopt);
  EXPECT_FALSE(FindLibraryResource("RAW", "ABSENT"));
}

TEST(ResourceTest, RegisteredResourcesStandBehindTheModulesOwn) {
  const auto only = FindLibraryResource("test_bytes", "registered_only");
  ASSERT_TRUE(only);
  EXPECT_EQ(Text(*only), "only");
  EXPECT_EQ(Text(*FindLibraryResource("TEST_BYTES", "SAMPLE_RESOURCE")), kSampleText);
}

}  // namespace
}  // namespace qel::test
