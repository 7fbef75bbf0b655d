// Fixed-seed mutation runs of the line protocol with npklod32-ui, in both directions: streams
// cut at random through the line reader and the codec, and what the helper says read by the
// presenter on the scripted desktop. Deterministic and quick.
#include <gtest/gtest.h>

#include <string>

#include "tests/fuzz/helper_lines_check.h"
#include "tests/fuzz/mutator.h"
#include "tests/fuzz/presenter_check.h"

namespace klp::fuzz {
namespace {

const std::vector<std::string_view> kTokens{
    "\n",      " ",     "\\",    "\\n",        "\r",          "ready ",      "chosen ",
    "click ",  "key ",  "close ", "menu ",     "item ",       "dialog ",     "check ",
    "update ", "end ",  "show",  "$S",         "2147483648",  "-9223372036854775808",
    "107",     "109",   "202",   "27",         "13",          std::string_view("\0", 1)};

TEST(HelperLinesSmoke, MutatedStreamsReadSoundly) {
  std::vector<std::string> seeds = HelperLinesSeeds();
  for (const std::string& seed : seeds) ASSERT_EQ(CheckHelperLines(seed), "");
  Mutator mutator(seeds, kTokens, 20261208);
  for (int i = 0; i < 4000; ++i) {
    const std::string bytes = mutator.Next();
    ASSERT_EQ(CheckHelperLines(bytes), "") << "input " << i;
  }
}

TEST(HelperLinesSmoke, MutatedAnswersEndTheRequestSoundly) {
  std::vector<std::string> seeds = PresenterSeeds();
  for (const std::string& seed : seeds) ASSERT_EQ(CheckPresenter(seed), "") << seed;
  Mutator mutator(seeds, kTokens, 20261209);
  for (int i = 0; i < 1500; ++i) {
    const std::string bytes = mutator.Next();
    ASSERT_EQ(CheckPresenter(bytes), "") << "input " << i;
  }
}

}  // namespace
}  // namespace klp::fuzz
