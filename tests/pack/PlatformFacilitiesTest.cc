// The platform facilities the pack code stands on: SHA-1 and RSA
// verification, the library's resources, mapped packs and tree files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "PackSystem.h"
#include "PackTestKit.h"
#include "platform/Error.h"
#include "platform/MappedFile.h"
#include "platform/Resource.h"
#include "platform/RsaVerify.h"
#include "platform/TreeFiles.h"

namespace qel::test {
namespace {

std::span<const uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

std::string Hex(const TSha1Digest& digest) {
  std::string hex;
  for (uint8_t byte : digest) {
    hex += "0123456789abcdef"[byte >> 4];
    hex += "0123456789abcdef"[byte & 15];
  }
  return hex;
}

TSha1Digest DigestOf(const std::string& text) {
  TSha1Hash hash;
  hash.Add(Bytes(text));
  return hash.Finish();
}

TEST(Sha1Test, MatchesKnownDigestsWhetherFedWholeOrInPieces) {
  EXPECT_EQ(Hex(DigestOf("")), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  EXPECT_EQ(Hex(DigestOf("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
  TSha1Hash pieces;
  pieces.Add(Bytes("a"));
  pieces.Add(Bytes(""));
  pieces.Add(Bytes("bc"));
  EXPECT_EQ(Hex(pieces.Finish()), "a9993e364706816aba3e25717850c26c9cd0d89d");
}

TEST(RsaVerifyTest, AcceptsOnlyTheSignatureOfTheDigestLeastSignificantByteFirst) {
  const auto& signer = TTestKey::Signer();
  const auto key = TRsaPublicKey::Import(signer.PublicBlob());
  EXPECT_EQ(key->ModulusBytes(), 128u);
  std::vector<uint8_t> signature = signer.Sign(Bytes("pack"));
  EXPECT_TRUE(key->VerifySha1(DigestOf("pack"), signature));
  EXPECT_FALSE(key->VerifySha1(DigestOf("pact"), signature));

  std::vector<uint8_t> big_endian(signature.rbegin(), signature.rend());
  EXPECT_FALSE(key->VerifySha1(DigestOf("pack"), big_endian));
  signature.push_back(0);
  EXPECT_FALSE(key->VerifySha1(DigestOf("pack"), signature));
  signature.resize(127);
  EXPECT_FALSE(key->VerifySha1(DigestOf("pack"), signature));
  EXPECT_FALSE(key->VerifySha1(DigestOf("pack"), {}));
}

TEST(RsaVerifyTest, RefusesBlobsThatAreNotRsaSignaturePublicKeys) {
  const std::vector<uint8_t> good = TTestKey::Signer().PublicBlob();
  ASSERT_NO_THROW(TRsaPublicKey::Import(good));
  // Blob type, version, reserved, algorithm, magic, bit length, exponent.
  for (size_t offset : {0, 1, 2, 5, 8, 13, 16}) {
    std::vector<uint8_t> bad = good;
    bad[offset] ^= offset == 16 ? 0x01 : 0x40;  // an even exponent
    EXPECT_THROW(TRsaPublicKey::Import(bad), EQelError) << "byte " << offset;
  }
  EXPECT_THROW(TRsaPublicKey::Import(std::span(good).first(147)), EQelError);
  EXPECT_THROW(TRsaPublicKey::Import(std::span(good).first(19)), EQelError);
}

TEST(ResourceTest, FindsTheBuiltInKeyByTypeAndNameInAnyCase) {
  for (const auto& [type, name] : {std::pair{"RAW", "PUBLIC_KEY"}, {"raw", "public_key"},
                                   {"Raw", "Public_Key"}}) {
    const auto blob = FindLibraryResource(type, name);
    ASSERT_TRUE(blob) << type << " " << name;
    EXPECT_EQ(blob->size(), 148u);
    EXPECT_EQ(TRsaPublicKey::Import(*blob)->ModulusBytes(), 128u);
  }
  EXPECT_FALSE(FindLibraryResource("RAW", "PUBLIC_KEYS"));
  EXPECT_FALSE(FindLibraryResource("RCDATA", "PUBLIC_KEY"));
}

TEST(ResourceTest, TestOverrideReplacesAndRestoresTheCompiledInResource) {
  const std::vector<uint8_t> built_in(FindLibraryResource("RAW", "PUBLIC_KEY")->begin(),
                                      FindLibraryResource("RAW", "PUBLIC_KEY")->end());
  SetLibraryResourceForTesting("raw", "Public_Key", std::vector<uint8_t>{1, 2, 3});
  EXPECT_EQ(FindLibraryResource("RAW", "PUBLIC_KEY")->size(), 3u);
  SetLibraryResourceForTesting("RAW", "PUBLIC_KEY", std::nullopt);
  const auto restored = FindLibraryResource("RAW", "PUBLIC_KEY");
  EXPECT_TRUE(std::equal(restored->begin(), restored->end(), built_in.begin(), built_in.end()));
}

TEST(MappedFileTest, GivesTheFilesBytesAnEmptySpanForAnEmptyFileAndFailsForAMissingOne) {
  TTempFolder temp;
  const std::string content = RandomBytes(70000, 11);
  WriteText(temp / "pack", content);
  const auto mapped = TMappedFile::Open(temp / "pack");
  const std::span<const uint8_t> bytes = mapped->Bytes();
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), content);

  WriteText(temp / "empty", "");
  EXPECT_TRUE(TMappedFile::Open(temp / "empty")->Bytes().empty());
  EXPECT_THROW(TMappedFile::Open(temp / "missing"), EQelError);
  EXPECT_THROW(TMappedFile::Open(temp.Path()), EQelError);
}

class TreeFilesTest : public testing::Test {
 protected:
  TTempFolder Temp_;
  fs::path Outside_ = Temp_ / "outside";
  fs::path Inside_ = Temp_ / "inside";
  void SetUp() override {
    fs::create_directory(Outside_);
    fs::create_directory(Inside_);
  }
};

TEST_F(TreeFilesTest, TreeFolderIsMadeOrKeptAndWhatIsInItsPlaceReplaced) {
  MakeTreeFolder((Inside_ / "new").string());
  WriteText(Inside_ / "new" / "kept", "x");
  MakeTreeFolder((Inside_ / "new").string());
  EXPECT_EQ(ReadText(Inside_ / "new" / "kept"), "x");

  WriteText(Inside_ / "file", "x");
  MakeTreeFolder((Inside_ / "file").string());
  EXPECT_TRUE(fs::is_directory(Inside_ / "file"));
  EXPECT_TRUE(fs::exists(Outside_));
  EXPECT_THROW(MakeTreeFolder((Inside_ / "missing" / "deeper").string()), EQelError);
}

TEST_F(TreeFilesTest, TreeFolderReplacesALinkInItsPlaceAndLeavesItsTargetAlone) {
  WriteText(Outside_ / "kept", "keep");
  if (!MakeSymlink(Outside_, Inside_ / "link")) GTEST_SKIP() << kNoSymlinks;
  MakeTreeFolder((Inside_ / "link").string());
  EXPECT_TRUE(fs::is_directory(fs::symlink_status(Inside_ / "link")));
  EXPECT_EQ(ReadText(Outside_ / "kept"), "keep");
}

TEST_F(TreeFilesTest, DestinationFolderMayBeALinkTheCallerChose) {
  if (!MakeSymlink(Outside_, Inside_ / "link")) GTEST_SKIP() << kNoSymlinks;
  EXPECT_NO_THROW(MakeFolderIfMissing((Inside_ / "link").string() + "/"));
  EXPECT_TRUE(fs::is_symlink(Inside_ / "link"));
  MakeFolderIfMissing((Inside_ / "made").string() + "/");
  EXPECT_TRUE(fs::is_directory(Inside_ / "made"));
}

TEST_F(TreeFilesTest, CreatingAFileEmptiesAnExistingOne) {
  WriteText(Inside_ / "f", "old and long content");
  auto file = TTreeFile::Create((Inside_ / "f").string());
  file->Write(Bytes("new"));
  file->Close();
  EXPECT_EQ(ReadText(Inside_ / "f"), "new");
}

TEST_F(TreeFilesTest, CreatingAFileReplacesALinkAndLeavesItsTargetAlone) {
  WriteText(Outside_ / "target", "keep");
  if (!MakeSymlink(Outside_ / "target", Inside_ / "f")) GTEST_SKIP() << kNoSymlinks;
  MakeSymlink(Outside_ / "absent", Inside_ / "dangling");
  for (const char* name : {"f", "dangling"}) {
    auto file = TTreeFile::Create((Inside_ / name).string());
    file->Write(Bytes("new"));
    file->Close();
    EXPECT_FALSE(fs::is_symlink(Inside_ / name));
    EXPECT_EQ(ReadText(Inside_ / name), "new");
  }
  EXPECT_EQ(ReadText(Outside_ / "target"), "keep");
  EXPECT_FALSE(fs::exists(Outside_ / "absent"));
}

TEST_F(TreeFilesTest, CreatingAFileReplacesAFolderTreePipeOrDeviceWithoutOpeningThem) {
  fs::create_directories(Inside_ / "folder" / "deeper");
  WriteText(Outside_ / "kept", "keep");
  // Links, pipes and device nodes only where this system makes them.
  MakeSymlink(Outside_, Inside_ / "folder" / "deeper" / "away");
  std::vector<const char*> names = {"folder"};
  if (MakeNamedPipe((Inside_ / "pipe").string())) {
    names.push_back("pipe");
    // Only a privileged user can make a device node; a written /dev/null
    // would leave the node in place.
    if (std::system(("mknod '" + (Inside_ / "device").string() + "' c 1 3 2>/dev/null").c_str()) == 0)
      names.push_back("device");
  }
  for (const char* name : names) {
    auto file = TTreeFile::Create((Inside_ / name).string());
    file->Write(Bytes(name));
    file->Close();
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(Inside_ / name))) << name;
    EXPECT_EQ(ReadText(Inside_ / name), name);
  }
  EXPECT_EQ(ReadText(Outside_ / "kept"), "keep");
}

}  // namespace
}  // namespace qel::test
