// klp_demo [MODULE [PROJECT]]: loads the plug-in into the test host, embeds one movie as a page
// would, and prints each step with the requests, trace lines and script events it caused.
#include <cstdio>
#include <string>

#include "tests/host/host.h"

namespace {

using klp::host::Host;

class Log {
 public:
  explicit Log(Host& host) : host_(host) {}

  void Step(const std::string& text) { std::printf("%d. %s\n", ++step_, text.c_str()); }

  // Prints what the plug-in did since the last call.
  void Effects() {
    const auto& calls = host_.runtime().scriptCalls();
    for (; seenCalls_ < calls.size(); ++seenCalls_) {
      const auto& c = calls[seenCalls_];
      if (c.method == "OnSysOut") {
        std::printf("     trace    %s\n", c.args.empty() ? "" : c.args[0].c_str());
        continue;
      }
      std::string args;
      for (const auto& a : c.args) args += (args.empty() ? "" : ", ") + a;
      std::printf("     event    %s(%s)\n", c.method.c_str(), args.c_str());
    }
    for (; seenRequests_ < host_.requests.size(); ++seenRequests_) {
      const auto& r = host_.requests[seenRequests_];
      std::printf("     request  %s (notify data %zu)\n", r.url.c_str(),
                  reinterpret_cast<size_t>(r.notifyData));
    }
  }

 private:
  Host& host_;
  int step_ = 0;
  size_t seenCalls_ = 0;
  size_t seenRequests_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  const std::string module = argc > 1 ? argv[1] : KLP_MODULE_PATH;
  const std::string project = argc > 2 ? argv[2] : KLP_EXAMPLES_DIR "/demo/tour.klp";
  const std::string pageDir = "http://example.invalid/demo/";

  Host host(module);
  if (!host.ok()) {
    std::fprintf(stderr, "klp_demo: cannot load %s: %s\n", module.c_str(), host.error().c_str());
    return 1;
  }
  std::printf("module   %s\nhandles  %s\n\n", module.c_str(),
              host.exports().NP_GetMIMEDescription());
  Log log(host);

  log.Step("NP_Initialize -> " + std::to_string(host.Initialize()));
  log.Effects();

  const klp::host::Attributes attributes = {
      {"src", pageDir + "tour.klp"}, {"name", "demo"}, {"kldebug", "true"}};
  NPError result = 0;
  NPP instance = host.New(attributes, NP_EMBED, &result);
  log.Step("NPP_New, embedded: src=" + pageDir + "tour.klp name=demo kldebug=true -> " +
           std::to_string(result));
  log.Effects();

  log.Step("the browser delivers the project file " + project);
  host.DeliverFile(instance, pageDir + "tour.klp", project);
  log.Effects();

  log.Step("NPP_SetWindow, 320x240 -> " + std::to_string(host.SetWindow(instance, 320, 240)));
  log.Effects();

  if (host.requests.empty()) {
    log.Step("no movie was requested");
  } else {
    klp::host::TempDir downloads;
    const std::string movie = downloads.Write("tour.mpg", "");
    log.Step("the browser delivers the movie as " + movie + ", then reports the request done");
    host.Answer(host.requests.front(), movie, NPRES_DONE);
    log.Effects();
  }

  log.Step("NPP_Destroy -> " + std::to_string(host.Destroy(instance)));
  log.Effects();
  return 0;
}
