// A fixed-seed mutation run of the EMBED attribute and movie URL check: thousands of attribute
// sets with odd names, values, URLs and Shift JIS bytes. Deterministic and quick.
#include <gtest/gtest.h>

#include <string>

#include "platform/win/win.h"
#include "tests/fuzz/embed_args_check.h"
#include "tests/fuzz/mutator.h"

namespace klp::fuzz {
namespace {

TEST(EmbedArgsSmoke, MutatedAttributesParseSoundly) {
  const std::vector<std::string> seeds = EmbedArgsSeeds();
  for (const std::string& seed : seeds) ASSERT_EQ(CheckEmbedArgs(seed), "");
  Mutator mutator(seeds,
                  {std::string_view("\0", 1), "\x01", "src", "SRC", "name", "activatemethod",
                   "autoplay", "true", "FALSE", "\\", "/", ":", "|", "\x81", "\x5C", "\x95\x5C",
                   "2147483648", "-"},
                  20261208);
  for (int i = 0; i < 5000; ++i) {
    const std::string bytes = mutator.Next();
    ASSERT_EQ(CheckEmbedArgs(bytes), "") << "input " << i;
  }
  win::SetAnsiCodePage(1252);
}

}  // namespace
}  // namespace klp::fuzz
