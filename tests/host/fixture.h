// The fixture of the integration tests: a fresh module in a Host, a temporary directory for
// project files, and shorthands for the usual steps.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "tests/host/host.h"

namespace klp::host {

inline void* const kMovieRequest = reinterpret_cast<void*>(1);

class PluginTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(host.ok()) << host.error(); }

  // Initializes the module once (version: the browser's interface version) and creates an
  // instance.
  NPP NewInstance(const Attributes& attributes, uint16_t mode = NP_EMBED) {
    if (!initialized_) {
      EXPECT_EQ(host.Initialize(), NPERR_NO_ERROR);
      initialized_ = true;
    }
    NPError result = -1;
    NPP instance = host.New(attributes, mode, &result);
    EXPECT_EQ(result, NPERR_NO_ERROR);
    return instance;
  }

  // A new project file whose "Global" section holds the given lines (e.g. "Source=m.mpg\r\n").
  std::string Project(const std::string& global) {
    return dir.Write("p" + std::to_string(++projects_) + ".klp",
                     "[Global]\r\nKLPVersion=1.00\r\n" + global + "[Marker]\r\nstart:0\r\n");
  }

  // The request the module made, when it made exactly one.
  Request OnlyRequest() {
    EXPECT_EQ(host.requests.size(), 1u);
    return host.requests.empty() ? Request{} : host.requests.front();
  }

  Host host{KLP_MODULE_PATH};
  TempDir dir;

 private:
  bool initialized_ = false;
  int projects_ = 0;
};

}  // namespace klp::host
