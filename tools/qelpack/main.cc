// qelpack: makes, signs, verifies, lists and extracts data packs.
#include <iostream>
#include <string>
#include <vector>

#include "qelpack/Commands.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return qel::pack_tool::RunQelpack(args, std::cout, std::cerr);
}
