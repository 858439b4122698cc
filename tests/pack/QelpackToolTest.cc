// The qelpack program as publishers run it: a tree made into a pack and
// extracted again comes back byte for byte; bad input gets a message and a
// non-zero exit.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>

#include "PackSystem.h"
#include "PackTestKit.h"
#include "platform/Resource.h"
#include "platform/TreeFiles.h"
#include "qelpack/PackBuilder.h"

namespace qel::test {
namespace {

struct TRun {
  int ExitCode;
  std::string Output;
};

class QelpackToolTest : public testing::Test {
 protected:
  TRun Qelpack(const std::string& arguments) {
    const std::string log = Temp_ / "log";
    const int code = RunProgram(QEL_QELPACK_PATH, arguments, log);
    // Read as text: a Windows program ends its lines with "\r\n".
    std::ifstream file(log);
    return {code, {std::istreambuf_iterator<char>(file), {}}};
  }
  std::string Q(const fs::path& path) { return QuotedArgument(path.string()); }

  // The development key signs these packs: `verify` and `extract` use the
  // key built into the library.
  void RequireDevelopmentKeyBuiltIn() {
    const auto built_in = FindLibraryResource("RAW", "PUBLIC_KEY");
    const auto dev = pack_tool::TPackSigner::Load(QEL_DEV_PRIVATE_KEY)->PublicBlob();
    if (!std::equal(built_in->begin(), built_in->end(), dev.begin(), dev.end()))
      GTEST_SKIP() << "QEL_PUBLIC_KEY_BLOB is not the development key";
  }

  void MakeTree(const fs::path& root) {
    fs::create_directories(root / "empty");
    fs::create_directories(root / "data" / "deeper");
    WriteText(root / "big.txt", TextBytes(300000));
    WriteText(root / "random.bin", RandomBytes(200000, 7));
    WriteText(root / "data" / "empty.txt", "");
    WriteText(root / "data" / "tiny", "t");
    WriteText(root / "data" / "noise", RandomBytes(3000, 3));
    for (int i = 0; i < 40; ++i)
      WriteText(root / "data" / "deeper" / ("n" + std::to_string(i)), TextBytes(500 + 97 * i));
  }

  TTempFolder Temp_;
  const std::string Key_ = QEL_DEV_PRIVATE_KEY;
};

TEST_F(QelpackToolTest, CreateThenExtractReproducesTheTreeByteForByte) {
  RequireDevelopmentKeyBuiltIn();
  const fs::path tree = Temp_ / "tree";
  const fs::path pack = Temp_ / "game.pack";
  MakeTree(tree);
  ASSERT_EQ(Qelpack("create --key " + Q(Key_) + " --guid {Game-1} --max-block 16384 " + Q(tree) +
                    " " + Q(pack)).ExitCode, 0);

  const TRun list = Qelpack("list " + Q(pack));
  EXPECT_EQ(list.ExitCode, 0);
  EXPECT_NE(list.Output.find("single-file entries 1 unpacked 300000"), std::string::npos);
  EXPECT_NE(list.Output.find("stored entries 1 unpacked 200000"), std::string::npos);
  EXPECT_NE(list.Output.find("multi-entry"), std::string::npos);
  EXPECT_NE(list.Output.find("file " + Native("data/deeper/n39") + " 4283"), std::string::npos);

  const TRun verify = Qelpack("verify " + Q(pack));
  EXPECT_EQ(verify.ExitCode, 0) << verify.Output;
  EXPECT_EQ(Qelpack("extract --guid {GAME-1} " + Q(pack) + " " + Q(Temp_ / "out")).ExitCode, 0);
  EXPECT_EQ(Qelpack("extract --guid {game-1} --flush " + Q(pack) + " " + Q(Temp_ / "out2") + "/")
                .ExitCode, 0);
  EXPECT_EQ(ReadTree(Temp_ / "out"), ReadTree(tree));
  EXPECT_EQ(ReadTree(Temp_ / "out2"), ReadTree(tree));
}

TEST_F(QelpackToolTest, DamagedPackOrWrongGameIsRefusedAndWritesNothing) {
  RequireDevelopmentKeyBuiltIn();
  const fs::path tree = Temp_ / "tree";
  const fs::path pack = Temp_ / "game.pack";
  MakeTree(tree);
  ASSERT_EQ(Qelpack("create --key " + Q(Key_) + " --guid G " + Q(tree) + " " + Q(pack)).ExitCode, 0);
  EXPECT_EQ(Qelpack("extract --guid H " + Q(pack) + " " + Q(Temp_ / "out")).ExitCode, 1);

  std::string bytes = ReadText(pack);
  bytes[bytes.size() / 2] ^= 1;
  WriteText(pack, bytes);
  const TRun verify = Qelpack("verify " + Q(pack));
  EXPECT_EQ(verify.ExitCode, 1);
  EXPECT_NE(verify.Output.find("signature not valid"), std::string::npos);
  EXPECT_EQ(Qelpack("extract --guid G " + Q(pack) + " " + Q(Temp_ / "out")).ExitCode, 1);
  EXPECT_FALSE(fs::exists(Temp_ / "out"));
}

TEST_F(QelpackToolTest, KeygenWritesAMatchingPairAndNeverOverwrites) {
  const fs::path pem = Temp_ / "k.pem";
  const fs::path blob = Temp_ / "k.blob";
  ASSERT_EQ(Qelpack("keygen " + Q(pem) + " " + Q(blob)).ExitCode, 0);
  const std::string written = ReadText(blob);
  const auto derived = pack_tool::TPackSigner::Load(pem.string())->PublicBlob();
  EXPECT_EQ(written, std::string(derived.begin(), derived.end()));
  EXPECT_EQ(written.size(), 148u);

  const TRun again = Qelpack("keygen " + Q(pem) + " " + Q(Temp_ / "other.blob"));
  EXPECT_EQ(again.ExitCode, 1);
  EXPECT_NE(again.Output.find("exists already"), std::string::npos);
  EXPECT_FALSE(fs::exists(Temp_ / "other.blob"));
}

TEST_F(QelpackToolTest, BadArgumentsOrFilesGetAMessageAndANonZeroExit) {
  const fs::path tree = Temp_ / "tree";
  fs::create_directories(tree);
  const std::string create = "create --key " + Q(Key_) + " ";
  const struct {
    std::string Arguments;
    int ExitCode;
    std::string Message;
  } cases[] = {
      {"", 2, "usage"},
      {"unpack x y", 2, "usage"},
      {"verify", 2, "takes 1 operands"},
      {"extract x y", 2, "needs --guid"},
      {"create --guid G " + Q(tree) + " p", 2, "needs --key and --guid"},
      {create + "--guid G --max-block 0 " + Q(tree) + " p", 2, "--max-block"},
      {create + "--guid G --max-block 12x " + Q(tree) + " p", 2, "--max-block"},
      {create + "--guid G --guid H " + Q(tree) + " p", 2, "repeated"},
      {create + "--guid " + std::string(64, 'g') + " " + Q(tree) + " p", 1, "1 to 63 bytes"},
      {create + "--guid G " + Q(Temp_ / "none") + " p", 1, "not a folder"},
      {"create --key " + Q(Temp_ / "no.pem") + " --guid G " + Q(tree) + " p", 1, "cannot open"},
      {"list " + Q(Temp_ / "none.pack"), 1, "cannot open"},
      {"list " + Q(Key_), 1, "damaged or not a pack"},
      {"verify " + Q(Temp_ / "empty.pack"), 1, "truncated pack: 0 bytes"},
      {"extract --guid G --flush --flush x y", 2, "repeated"},
  };
  WriteText(Temp_ / "empty.pack", "");
  for (const auto& c : cases) {
    const TRun run = Qelpack(c.Arguments);
    EXPECT_EQ(run.ExitCode, c.ExitCode) << c.Arguments << "\n" << run.Output;
    EXPECT_NE(run.Output.find(c.Message), std::string::npos) << c.Arguments << "\n" << run.Output;
  }
}

TEST_F(QelpackToolTest, CreateRefusesLinksInTheTree) {
  const fs::path tree = Temp_ / "tree";
  fs::create_directories(tree);
  WriteText(Temp_ / "outside", "not in the tree");
  if (!MakeSymlink(Temp_ / "outside", tree / "link")) GTEST_SKIP() << kNoSymlinks;
  const TRun run = Qelpack("create --key " + Q(Key_) + " --guid G " + Q(tree) + " " +
                           Q(Temp_ / "p.pack"));
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("only folders and regular files"), std::string::npos);
}

// Packs signed by the built-in key but damaged in one place each: extract and
// verify must name that place. Each case states the whole line printed.
struct TRefusal {
  std::string Name;
  std::vector<uint8_t> Pack;
  // After "qelpack: <pack>: " (verify) or "... not extracted: " (extract);
  // "<dest>" stands for the destination folder.
  std::string Message;
};

class QelpackRefusalTest : public QelpackToolTest {
 protected:
  void SetUp() override { RequireDevelopmentKeyBuiltIn(); }

  static const pack_tool::TPackSigner& Dev() {
    static const auto signer = pack_tool::TPackSigner::Load(QEL_DEV_PRIVATE_KEY);
    return *signer;
  }
  static std::vector<uint8_t> Signed(const TBodyBuilder& b) {
    return SignedPack(b.Body(), "{Game}", Dev());
  }
  static std::vector<uint8_t> Signed(const std::vector<uint8_t>& body) {
    return SignedPack(body, "{Game}", Dev());
  }
  // One file "f" of "abc" in one stored block.
  static TBodyBuilder Small() {
    TBodyBuilder b;
    b.File("f", "abc");
    b.Stored(1, "abc");
    return b;
  }
  static std::vector<uint8_t> WithHeader(const std::function<void(TPackHeader&)>& change) {
    std::vector<uint8_t> pack = Signed(Small());
    change(HeaderOf(pack));
    Resign(pack, Dev());
    return pack;
  }
  static std::vector<uint8_t> WithBodyHeader(TBodyBuilder b,
                                             const std::function<void(TBodyHeader&)>& change) {
    std::vector<uint8_t> body = b.Body();
    change(*reinterpret_cast<TBodyHeader*>(body.data()));
    return Signed(body);
  }
  static TBodyBuilder& BlockHeader(TBodyBuilder& b, TBlockHeader header, size_t data) {
    b.Raw({reinterpret_cast<const uint8_t*>(&header), sizeof header});
    const std::string bytes(data, 'x');
    b.Raw({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
    return b;
  }

  std::string WritePack(const std::vector<uint8_t>& pack) {
    const fs::path path = Temp_ / "refused.pack";
    WriteText(path, std::string(pack.begin(), pack.end()));
    return path.string();
  }
  static std::string Fill(std::string message, const std::string& dest) {
    for (size_t at; (at = message.find("<dest>")) != std::string::npos;)
      message.replace(at, 6, dest);
    return message;
  }
  void ExpectVerifyRefuses(const TRefusal& c, const std::string& prefix = "") {
    const std::string pack = WritePack(c.Pack);
    const TRun run = Qelpack("verify " + Q(pack));
    EXPECT_EQ(run.ExitCode, 1) << c.Name;
    EXPECT_EQ(run.Output, "qelpack: " + pack + ": " + prefix + c.Message + "\n") << c.Name;
  }
  void ExpectExtractRefuses(const TRefusal& c, const std::string& dest,
                            const std::string& guid = "{Game}") {
    const std::string pack = WritePack(c.Pack);
    const TRun run = Qelpack("extract --guid " + guid + " " + Q(pack) + " " + Q(dest));
    EXPECT_EQ(run.ExitCode, 1) << c.Name;
    EXPECT_EQ(run.Output, "qelpack: " + pack + ": not extracted: " + Fill(c.Message, dest) + "\n")
        << c.Name;
  }
};

TEST_F(QelpackRefusalTest, FrameAndSignatureFaultsAreNamedByVerifyAndExtract) {
  const std::vector<uint8_t> good = Signed(Small());
  const auto n = std::to_string(good.size());
  TPackFrame frame;
  std::memcpy(&frame, good.data(), sizeof frame);
  const std::span<const uint8_t> region(good.data() + 8, frame.SignedLength);
  const std::span<const uint8_t> signature(good.data() + 8 + frame.SignedLength,
                                           frame.SignatureLength);
  std::vector<uint8_t> overflowing(8 + 16);
  const TPackFrame wrapping{0xFFFFFFF8u, 0x18u};
  std::memcpy(overflowing.data(), &wrapping, sizeof wrapping);
  std::vector<uint8_t> flipped = good;
  flipped[8 + 100] ^= 1;
  std::vector<uint8_t> longer = good;
  longer.insert(longer.end(), {1, 2, 3});

  const TRefusal cases[] = {
      {"short",
       {good.begin(), good.begin() + 5},
       "truncated pack: 5 bytes, fewer than the 8-byte frame"},
      {"truncated",
       {good.begin(), good.end() - 10},
       "truncated pack: the frame says " + n + " bytes, the file has " +
           std::to_string(good.size() - 10)},
      {"trailing", longer,
       "3 bytes after the end of the pack (the frame says " + n + " bytes, the file has " +
           std::to_string(good.size() + 3) + ")"},
      {"overflow", overflowing,
       "damaged frame: signed length and signature length add up to more than 4 GiB"},
      {"signature length", pack_tool::FramePack(region, signature.first(100)),
       "bad signature block length: 100 bytes, the built-in key's signatures have 128"},
      {"signed by another key", SignedPack(Small().Body(), "{Game}", TTestKey::Signer()),
       "signature not valid for the built-in key"},
      {"changed after signing", flipped, "signature not valid for the built-in key"},
  };
  for (const TRefusal& c : cases) {
    ExpectVerifyRefuses(c);
    ExpectExtractRefuses(c, Temp_ / "out");
  }
  EXPECT_FALSE(fs::exists(Temp_ / "out"));
}

TEST_F(QelpackRefusalTest, HeaderFaultsAndAnotherGameAreNamed) {
  const std::string region(100, 'r');
  const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(region.data()),
                                       region.size());
  std::vector<uint8_t> small = Signed(Small());
  const int32_t length = HeaderOf(small).SignedLength;
  const auto l = std::to_string(length);
  const auto b = std::to_string(length - 152);

  const TRefusal cases[] = {
      {"region shorter than a header", pack_tool::FramePack(bytes, Dev().Sign(bytes)),
       "damaged header: the signed region has 100 bytes, fewer than the 152-byte header"},
      {"header size", WithHeader([](TPackHeader& h) { h.HeaderSize = 150; }),
       "damaged header: HeaderSize is 150, not 152"},
      {"format version", WithHeader([](TPackHeader& h) { h.FormatVersion = 3; }),
       "format version 3; only version 2 can be read"},
      {"signed length", WithHeader([](TPackHeader& h) { ++h.SignedLength; }),
       "damaged header: its SignedLength is " + std::to_string(length + 1) + ", the frame's is " +
           l},
      {"body length", WithHeader([](TPackHeader& h) { --h.BodyLength; }),
       "damaged header: BodyLength is " + std::to_string(length - 153) +
           ", the signed length leaves " + b},
  };
  for (const TRefusal& c : cases) {
    ExpectVerifyRefuses(c, "signed, but ");
    ExpectExtractRefuses(c, Temp_ / "out");
  }
  ExpectExtractRefuses({"game", Signed(Small()), R"(pack for game "{Game}", not "{Other}")"},
                       Temp_ / "out", "{Other}");
  EXPECT_FALSE(fs::exists(Temp_ / "out"));
}

TEST_F(QelpackRefusalTest, EntryTableFaultsNameTheEntry) {
  TBodyBuilder named;
  named.File("fine", "x");
  named.File("a/b", "y");
  named.Stored(2, "xy");
  TBodyBuilder outside;
  outside.File("f", "x", 5);
  outside.Stored(1, "x");
  TBodyBuilder file_parent;
  file_parent.File("g", "z", file_parent.File("f", "y"));
  file_parent.Stored(2, "yz");
  TBodyBuilder short_table = Small();
  short_table.EntryCount = 2;
  const std::vector<uint8_t> body = Small().Body();
  const auto after_header = std::to_string(body.size() - 32);

  const TRefusal cases[] = {
      {"body shorter than its header", Signed(std::vector<uint8_t>(20, 0)),
       "damaged body: 20 bytes, fewer than its 32-byte header"},
      {"negative count", WithBodyHeader(Small(), [](TBodyHeader& h) { h.EntryCount = -1; }),
       "damaged body header: EntryCount is -1"},
      {"table past body",
       WithBodyHeader(Small(), [](TBodyHeader& h) { h.DirectoryPackedSize = 5000; }),
       "damaged entry table: 5000 bytes long, but only " + after_header +
           " follow the body header"},
      {"table inflates short", Signed(short_table),
       "damaged entry table: it does not inflate to 2 entries"},
      {"name", Signed(named),
       R"(entry 1 "a/b": damaged entry table: the name is not one path component)"},
      {"parent outside", Signed(outside),
       R"(entry 0 "f": damaged entry table: parent 5 is not an earlier entry)"},
      {"parent is a file", Signed(file_parent),
       R"(entry 1 "g": damaged entry table: parent 0 is a file)"},
  };
  for (const TRefusal& c : cases) ExpectExtractRefuses(c, Temp_ / "out");
  EXPECT_FALSE(fs::exists(Temp_ / "out"));
}

TEST_F(QelpackRefusalTest, BlockFaultsNameTheBlockAndEntry) {
  TBodyBuilder header_past;
  header_past.File("f", "abc");
  header_past.Stored(1, "abc");
  const uint8_t part[] = {0, 0, 0, 0, 0, 0};
  header_past.Raw(part);
  TBodyBuilder negative;
  TBodyBuilder data_past;
  data_past.File("f", std::string(100, 'x'));
  TBodyBuilder beyond = Small();
  beyond.Stored(1, "");
  TBodyBuilder file_past;
  file_past.Entry(file_past.File("f", "abc")).Size = 1000;
  file_past.Stored(1, "abc");
  TBodyBuilder single_folder;
  single_folder.Folder("dir");
  single_folder.Compressed(1, TextBytes(100));
  TBodyBuilder single_size;
  single_size.File("f", TextBytes(99));
  single_size.Compressed(1, TextBytes(100));
  TBodyBuilder above_max;
  above_max.File("a", TextBytes(600));
  above_max.File("b", TextBytes(600));
  above_max.Compressed(2, TextBytes(600) + TextBytes(600));
  above_max.MaxBlockSize = 1199;
  TBodyBuilder corrupt;
  corrupt.File("a", std::string(25, 'a'));
  corrupt.File("b", std::string(25, 'b'));
  TBodyBuilder sizes;
  sizes.File("a", "abc");
  sizes.Stored(1, "abc");
  sizes.File("b", "defgh");
  sizes.Stored(1, "defgh", 6);
  TBodyBuilder left_over = Small();
  left_over.File("g", "de");
  TBodyBuilder total = Small();
  total.TotalSize = 8 + 274 + 4;

  const TRefusal cases[] = {
      {"header past body", Signed(header_past),
       "block 1: damaged block: its 12-byte header runs past the end of the body (6 bytes left)"},
      {"negative size", Signed(BlockHeader(negative, {4, -1, 0}, 4)),
       "block 0: damaged block: UnpackedSize is -1"},
      {"data past body", Signed(BlockHeader(data_past, {100, 100, 1}, 99)),
       "block 0: damaged block: 100 bytes of data, but only 99 left in the body"},
      {"beyond the table", Signed(beyond),
       "block 1: damaged block: it covers entries beyond the table's 1"},
      {"file past block", Signed(file_past),
       R"(block 0, entry 0 "f": damaged block: the file's size 1000 runs past the block's 3 bytes of data left)"},
      {"single-file folder", Signed(single_folder),
       R"(block 0, entry 0 "dir": damaged block: a single-file block covers a folder)"},
      {"single-file size", Signed(single_size),
       R"(block 0, entry 0 "f": damaged block: the file's size is 99, the single-file block unpacks to 100 bytes)"},
      {"above max block", Signed(above_max),
       "block 0: damaged block: it unpacks to 1200 bytes, more than the pack's largest block of "
       "1199"},
      {"corrupt data", Signed(BlockHeader(corrupt, {10, 50, 2}, 10)),
       "block 0: damaged block: its compressed data do not inflate to 50 bytes"},
      {"sizes differ", Signed(sizes),
       "block 1: damaged block: its files add up to 5 bytes, its header says 6"},
      {"entries left over", Signed(left_over), "damaged pack: the blocks end after 1 of 2 entries"},
      {"total size", Signed(total),
       "damaged pack: the header's total size is 286, the pack unpacked to 285"},
  };
  for (const TRefusal& c : cases) ExpectExtractRefuses(c, Temp_ / c.Name);
}

TEST_F(QelpackRefusalTest, WritingFaultsNameThePath) {
  // Given without its last delimiter: the tool adds the system's own.
  const std::string dest = Temp_ / "dest";
  const std::string sep(1, kTreePathSeparator);
  fs::create_directories(dest);
  // A name the pack allows but the file system does not: it fails for any
  // user, where a folder or file in the way would now be replaced.
  const std::string overlong(256, 'n');
  TBodyBuilder folder;
  folder.File("g", "x", folder.Folder(overlong));
  folder.Stored(2, "x");
  TBodyBuilder file;
  file.File(overlong, "abc");
  file.Stored(1, "abc");

  ExpectExtractRefuses({"destination", Signed(Small()),
                        "cannot make the destination folder <dest>" + sep + ": cannot create folder: " +
                            NoSuchFolderText()},
                       Temp_ / "none/out");
  ExpectExtractRefuses({"folder", Signed(folder),
                        "block 0, entry 0 \"" + overlong + "\": cannot make folder <dest>" + sep +
                            overlong + ": cannot create folder: " + NameTooLongText()},
                       dest);
  ExpectExtractRefuses({"file", Signed(file),
                        "block 0, entry 0 \"" + overlong + "\": cannot write <dest>" + sep + overlong +
                            ": cannot create file: " + NameTooLongText()},
                       dest);
}

}  // namespace
}  // namespace qel::test
