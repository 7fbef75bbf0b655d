// `klp view`: opens a page (or a project in full-page mode) in a browser engine, QtWebKit with
// the plug-in or Chromium or Firefox with the web runtime, prints the page's console output to
// stdout, and runs the timed screenshots and clicks.
#pragma once

#include <string>
#include <vector>

namespace klpview {

// Runs `klp view` with the arguments that follow "view"; returns the exit code.
int RunViewCommand(const std::vector<std::string>& args);

}  // namespace klpview
