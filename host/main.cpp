// klp: the command-line tool for project files and movies; see commands.h.
#include <iostream>
#include <string>
#include <vector>

#include "host/commands.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const int status = klp::tools::Main(args, std::cout, std::cerr);
  std::cout.flush();
  return std::cout ? status : 2;
}
