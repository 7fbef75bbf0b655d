// The engines behind `klp view`. view.cpp parses the command line, checks what every engine
// needs alike (the target exists) and hands the options to one of these; each returns the exit
// code.
#pragma once

#include <string>

#include "host/view/options.h"

namespace klpview {

// QtWebKit with the plug-in, in this process (qtwebkit.cpp; built when Qt 5 WebKit is found).
int RunQtWebKit(const Options& o);

// Chromium or Firefox with the web runtime, through the browser driver run by node
// (browser.cpp).
int RunBrowser(const Options& o);

}  // namespace klpview
