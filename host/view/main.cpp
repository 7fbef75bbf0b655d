// klp-view: `klp view` as a program of its own.
#include <string>
#include <vector>

#include "host/view/view.h"

int main(int argc, char** argv) {
  return klpview::RunViewCommand(std::vector<std::string>(argv + 1, argv + argc));
}
