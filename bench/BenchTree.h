// Folder trees shaped like a game's data for the benchmarks: a quarter of the
// bytes in eight large files, the rest in files of 1 KiB to 1 MiB
// (log-uniform) over 40 folders, every other file text-like (about 2.7:1
// with zlib) and the others random.
#pragma once

#include <cstdint>
#include <filesystem>

namespace qel::bench {

// Makes the tree under `root` (created); answers the bytes written. Names
// follow from the file count alone, so a smaller tree unpacked over a larger
// one writes over some of its files, as an update does.
int64_t MakeBenchTree(const std::filesystem::path& root, int64_t bytes, int files, uint64_t seed);

}  // namespace qel::bench
