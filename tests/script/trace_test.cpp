#include <gtest/gtest.h>

#include <string>

#include "resources/resources.h"
#include "script/trace.h"

namespace {

std::string Compose(const char* name, unsigned id) {
  char out[kEventNameSize];
  ComposeEventName(name, id, out);
  return out;
}

TEST(ComposeEventName, PrefixesTheInstanceName) {
  EXPECT_EQ(Compose("m1", resources::IDS_EVENT_ONERROR), "m1_OnError");
  EXPECT_EQ(Compose(nullptr, resources::IDS_EVENT_ONKLEVENT), "OnKLEvent");
  EXPECT_EQ(Compose("", resources::IDS_EVENT_ONMARKER), "_OnMarker");
  EXPECT_EQ(Compose("m1", resources::IDS_EVENT_ONACTIVATEANCHOR), "m1_OnActivateAnchor");
}

TEST(ComposeEventName, CutsALongNameSoTheEventNameFits) {
  std::string longName(300, 'n');
  std::string out = Compose(longName.c_str(), resources::IDS_EVENT_ONACTIVATEANCHOR);
  EXPECT_EQ(out.size(), 255u);
  EXPECT_EQ(out.substr(out.size() - 17), "_OnActivateAnchor");
  std::string exact(255 - 8, 'x');  // exactly fills with "_OnError"
  EXPECT_EQ(Compose(exact.c_str(), resources::IDS_EVENT_ONERROR), exact + "_OnError");
}

TEST(Resources, StringTableFollowsLoadStringRules) {
  char buf[256];
  EXPECT_EQ(resources::LoadString(resources::IDS_ATTR_ACTIVATEMETHOD, buf, sizeof buf), 14);
  EXPECT_STREQ(buf, "activatemethod");
  EXPECT_EQ(resources::LoadString(resources::IDS_ATTR_SRC, buf, 3), 2);
  EXPECT_STREQ(buf, "sr");
  EXPECT_EQ(resources::LoadString(4242, buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "");
  EXPECT_STREQ(resources::MimeDescription(),
               "application/kelvora-movie:klp:Kelvora Project File (*.klp)");
}

}  // namespace
