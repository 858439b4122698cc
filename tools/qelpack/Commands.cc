#include "qelpack/Commands.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <optional>

#include "pack/ExtractThread.h"
#include "pack/HashChecker.h"
#include "pack/PackFrame.h"
#include "platform/Error.h"
#include "platform/MappedFile.h"
#include "platform/TreeFiles.h"
#include "qelpack/FailureText.h"
#include "qelpack/PackBuilder.h"
#include "qelpack/PackListing.h"
#include "qelpack/PackSigner.h"

namespace qel::pack_tool {
namespace fs = std::filesystem;
namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

constexpr const char* kUsageText =
    "usage: qelpack keygen <private.pem> <public.blob>\n"
    "       qelpack create --key <private.pem> --guid <GameGuid> [--max-block <bytes>] "
    "<folder> <pack>\n"
    "       qelpack verify <pack>\n"
    "       qelpack list <pack>\n"
    "       qelpack extract --guid <GameGuid> [--flush] <pack> <folder>\n";

// Options of the form "--name value", flags of the form "--name", and the
// remaining operands, in order.
struct TArguments {
  std::vector<std::pair<std::string, std::string>> Options;
  std::vector<std::string> Flags;
  std::vector<std::string> Operands;

  bool Flag(const std::string& name) const {
    return std::find(Flags.begin(), Flags.end(), name) != Flags.end();
  }

  std::optional<std::string> Option(const std::string& name) const {
    for (const auto& [key, value] : Options)
      if (key == name) return value;
    return std::nullopt;
  }
};

std::optional<TArguments> Split(const std::vector<std::string>& args,
                                const std::vector<std::string>& known,
                                const std::vector<std::string>& flags, std::ostream& err) {
  TArguments parsed;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (std::find(flags.begin(), flags.end(), arg) != flags.end()) {
      if (parsed.Flag(arg)) {
        err << "qelpack: repeated option " << arg << "\n";
        return std::nullopt;
      }
      parsed.Flags.push_back(arg);
    } else if (arg.size() > 2 && arg.starts_with("--")) {
      if (std::find(known.begin(), known.end(), arg) == known.end() || i + 1 >= args.size() ||
          parsed.Option(arg)) {
        err << "qelpack: unknown, repeated or empty option " << arg << "\n";
        return std::nullopt;
      }
      parsed.Options.emplace_back(arg, args[++i]);
    } else {
      parsed.Operands.push_back(arg);
    }
  }
  return parsed;
}

void WriteWholeFile(const std::string& path, std::initializer_list<std::span<const uint8_t>> parts) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  for (const auto& part : parts)
    file.write(reinterpret_cast<const char*>(part.data()), static_cast<std::streamsize>(part.size()));
  file.close();
  if (!file) throw EQelError("cannot write " + path);
}

int Keygen(const TArguments& args, std::ostream& out) {
  const std::string& pem = args.Operands[0];
  const std::string& blob = args.Operands[1];
  for (const std::string& path : {pem, blob})
    if (fs::exists(path)) throw EQelError(path + " exists already; not overwritten");
  const auto signer = TPackSigner::Generate();
  signer->SavePrivateKey(pem);
  fs::permissions(pem, fs::perms::owner_read | fs::perms::owner_write);
  WriteWholeFile(blob, {signer->PublicBlob()});
  out << "wrote " << pem << " and " << blob << "\n";
  return kDone;
}

int Create(const TArguments& args, std::ostream& out, std::ostream& err) {
  const auto key = args.Option("--key");
  const auto guid = args.Option("--guid");
  if (!key || !guid) {
    err << "qelpack: create needs --key and --guid\n";
    return kUsage;
  }
  TBuildOptions options;
  options.GameGuid = *guid;
  if (const auto block = args.Option("--max-block")) {
    const char* end = block->data() + block->size();
    const auto [stop, error] = std::from_chars(block->data(), end, options.MaxBlockSize);
    if (error != std::errc() || stop != end || options.MaxBlockSize <= 0) {
      err << "qelpack: --max-block wants a byte count from 1 to 2147483647\n";
      return kUsage;
    }
  }
  const auto signer = TPackSigner::Load(*key);
  const std::vector<uint8_t> region = BuildSignedRegion(args.Operands[0], options);
  const std::vector<uint8_t> signature = signer->Sign(region);
  const TPackFrame frame{static_cast<uint32_t>(region.size()),
                         static_cast<uint32_t>(signature.size())};
  WriteWholeFile(args.Operands[1],
                 {{reinterpret_cast<const uint8_t*>(&frame), sizeof frame}, region, signature});
  out << "wrote " << args.Operands[1] << " (" << kPackFrameSize + region.size() + signature.size()
      << " bytes)\n";
  return kDone;
}

int Verify(const TArguments& args, std::ostream& out, std::ostream& err) {
  const auto mapped = TMappedFile::Open(args.Operands[0]);
  const std::span<const uint8_t> pack = mapped->Bytes();
  THashChecker checker(8388608);
  TStepResult result = checker.Open(pack);
  while (result == srContinue) result = checker.Step();
  if (result != srDone) {
    err << "qelpack: " << args.Operands[0] << ": " << DescribePackFailure(checker.Failure())
        << "\n";
    return kFailed;
  }
  TPackFailure failure;
  const auto parts = ReadPackParts(pack, &failure);
  if (!parts) {
    err << "qelpack: " << args.Operands[0] << ": signed, but " << DescribePackFailure(failure)
        << "\n";
    return kFailed;
  }
  out << "signature valid; game " << PackGameGuid(parts->Header) << "\n";
  return kDone;
}

int List(const TArguments& args, std::ostream& out, std::ostream& err) {
  if (!ListPack(TMappedFile::Open(args.Operands[0])->Bytes(), out)) {
    err << "qelpack: " << args.Operands[0] << ": damaged or not a pack\n";
    return kFailed;
  }
  return kDone;
}

int Extract(const TArguments& args, std::ostream& out, std::ostream& err) {
  const auto guid = args.Option("--guid");
  if (!guid) {
    err << "qelpack: extract needs --guid\n";
    return kUsage;
  }
  // Read in place: the pages come in as the blocks are reached.
  const auto pack = TMappedFile::Open(args.Operands[0]);
  std::string folder = args.Operands[1];
  if (!folder.ends_with(kTreePathSeparator)) folder += kTreePathSeparator;
  TExtractOptions options;
  // Like tar, the tool leaves writeback to the system unless asked.
  options.FlushWritten = args.Flag("--flush");
  TExtractThread thread(folder, pack->Bytes(), *guid, std::move(options));
  while (!thread.WaitFor(1000)) {
  }
  if (!thread.Succeeded()) {
    err << "qelpack: " << args.Operands[0]
        << ": not extracted: " << DescribePackFailure(thread.Failure(), *guid) << "\n";
    return kFailed;
  }
  out << "extracted into " << folder << "\n";
  return kDone;
}

struct TCommand {
  const char* Name;
  std::vector<std::string> Options;
  std::vector<std::string> Flags;
  size_t Operands;
};

const TCommand kCommands[] = {
    {"keygen", {}, {}, 2},
    {"create", {"--key", "--guid", "--max-block"}, {}, 2},
    {"verify", {}, {}, 1},
    {"list", {}, {}, 1},
    {"extract", {"--guid"}, {"--flush"}, 2},
};

}  // namespace

int RunQelpack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const TCommand* command = nullptr;
  for (const TCommand& candidate : kCommands)
    if (!args.empty() && args[0] == candidate.Name) command = &candidate;
  if (command == nullptr) {
    err << kUsageText;
    return kUsage;
  }
  const auto parsed = Split(args, command->Options, command->Flags, err);
  if (!parsed) return kUsage;
  if (parsed->Operands.size() != command->Operands) {
    err << "qelpack: " << command->Name << " takes " << command->Operands << " operands\n"
        << kUsageText;
    return kUsage;
  }
  try {
    const std::string name = command->Name;
    if (name == "keygen") return Keygen(*parsed, out);
    if (name == "create") return Create(*parsed, out, err);
    if (name == "verify") return Verify(*parsed, out, err);
    if (name == "list") return List(*parsed, out, err);
    return Extract(*parsed, out, err);
  } catch (const std::exception& failure) {
    err << "qelpack: " << failure.what() << "\n";
    return kFailed;
  }
}

}  // namespace qel::pack_tool
