// What an entry of the table may be. A signed pack is trusted, but a mistake
// in a publisher's tool must not write outside the destination folder.
#pragma once

#include <span>
#include <string>

#include "pack/PackFailure.h"
#include "pack/PackFormat.h"

namespace qel {

// The name: up to the first zero byte, or all 261 bytes.
std::string EntryName(const TPackEntry& entry);

// A name is one path component: not empty, not "." or "..", and no path
// separator of any host ('/' or '\'). Bytes after its first zero byte are
// not part of it, whatever they are (other writers leave them there).
bool EntryNameIsSound(const TPackEntry& entry);

// Every name is sound, and every Parent is negative or names an earlier
// directory entry (which also rules out cycles).
bool EntryTableIsSound(std::span<const TPackEntry> entries);

// The first entry that breaks those rules, and which rule: pfEntryName,
// pfEntryParentOutside or pfEntryParentIsFile; pfNone for a sound table.
TPackFailure FindEntryTableFault(std::span<const TPackEntry> entries);

}  // namespace qel
