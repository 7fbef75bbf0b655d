#include "host/view/view.h"

#include <cstdio>
#include <filesystem>

#include "host/view/engines.h"
#include "host/view/options.h"

namespace klpview {

int RunViewCommand(const std::vector<std::string>& args) {
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::fputs(Usage(), stdout);
    return kExitOk;
  }
  Options o;
  std::string error;
  if (!ParseOptions(args, &o, &error)) {
    Fail(error);
    std::fputs(Usage(), stderr);
    return kExitUsage;
  }
  if (!IsUrl(o.target) && !std::filesystem::is_regular_file(o.target)) {
    Fail("no such file: " + o.target);
    return kExitNoFile;
  }
  if (o.engine != Engine::QtWebKit) return RunBrowser(o);
#ifdef KLP_HAVE_QTWEBKIT
  return RunQtWebKit(o);
#else
  Fail("this klp was built without QtWebKit (qtbase5-dev, libqt5webkit5-dev); use --engine "
       "chromium or --engine firefox");
  return kExitNoEngine;
#endif
}

}  // namespace klpview
