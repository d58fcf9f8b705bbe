#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  try {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int status = vistrel::RunCli(args, std::cin, std::cout, std::cerr);
    std::cout.flush();
    return status;
  } catch (...) {
    // RunCli tells every failure itself; this only keeps a failure to build the arguments (no
    // memory left) from ending in an abort.
    std::cerr << "vistrel-cli: unexpected failure\n";
    return vistrel::kExitComputation;
  }
}
