// Folder trees shaped like a game's data for the benchmarks, and the folders
// they are unpacked into: a quarter of the
// bytes in eight large files, the rest in files of 1 KiB to 1 MiB
// (log-uniform) over 40 folders, every other file text-like (about 2.7:1
// with zlib) and the others random.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace qel::bench {

// A path in single quotes, for a shell command.
std::string Quote(const std::filesystem::path& path);
// Runs a shell command; raises std::runtime_error when it fails.
void Run(const std::string& command);

// A new empty folder below `root` for one measured run, the disk caught up
// with earlier runs, and free memory warm. Earlier folders stay until the
// caller removes `root`: for a minute after thousands of files are deleted,
// ext4 looks long for every new inode, which would slow down whichever side
// ran after a deletion. And this virtual machine makes the first write to a
// page that was never touched slow, which would fall on whichever side ran
// first into fresh memory.
std::filesystem::path FreshOutputFolder(const std::filesystem::path& root);

// Makes the tree under `root` (created); answers the bytes written. Names
// follow from the file count alone, so a smaller tree unpacked over a larger
// one writes over some of its files, as an update does.
int64_t MakeBenchTree(const std::filesystem::path& root, int64_t bytes, int files, uint64_t seed);

}  // namespace qel::bench
