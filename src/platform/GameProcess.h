// Starting a game's program as a process of its own. The caller never waits
// for it nor ends it; the process is reaped when it ends, so that it leaves
// nothing behind.
#pragma once

#include <cstdint>
#include <string>

namespace qel {

// The variable that carries a game's parameters when the game reads them
// from its environment, where only the user can read them.
inline constexpr char kGameParametersVariable[] = "QEL_GAME_PARAMETERS";

// Starts `program` (a full path) with the parameter string as its only
// argument (no argument when the string is empty), in `working_folder`, with
// this process's environment, and kGameParametersVariable set to
// `environment_parameters` when that is not empty (never inherited). Only standard input, output and error are
// inherited; signals start unblocked with their default actions. A program
// file that lacks its owner's execute permission (packs carry no permissions)
// gets it first. Answers the process id; raises EQelError naming the program
// and the reason when the process cannot be started. The exit status is
// collected by the plug-in thread's loop (platform/Loop.h).
uint32_t StartGameProcess(const std::string& program, const std::string& parameters,
                          const std::string& working_folder, const std::string& environment_parameters);

}  // namespace qel
