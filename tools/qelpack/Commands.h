// The qelpack commands. Each answers the process's exit code: 0 done,
// 1 failed, 2 bad arguments.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace qel::pack_tool {

// `args` without the program name.
int RunQelpack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace qel::pack_tool
