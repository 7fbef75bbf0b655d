// Calls into the module as the browser desktop counts them: a call that comes while another is
// running (the browser calling back from a menu's wait) is nested, and what waits for the calls to
// return (deleting a destroyed instance's object) runs when the outermost one has.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/npdesk/npdesk.h"

namespace {

TEST(InstanceScope, WhatWaitsForTheCallsRunsWhenTheOutermostHasReturned) {
  NPP_t a{}, b{};
  std::vector<std::string> order;
  EXPECT_FALSE(npdesk::InstanceScope::Nested());
  {
    npdesk::InstanceScope outer(&a);  // a right-click whose menu waits for the user
    EXPECT_FALSE(npdesk::InstanceScope::Nested());
    {
      npdesk::InstanceScope destroy(&b);  // the browser destroys an instance meanwhile
      EXPECT_TRUE(npdesk::InstanceScope::Nested());
      npdesk::InstanceScope::AfterCalls([&] {
        order.push_back("deleted");
        npdesk::InstanceScope again(&b);  // what runs then may call in again
        npdesk::InstanceScope::AfterCalls([&] { order.push_back("deleted too"); });
      });
    }
    EXPECT_TRUE(order.empty());
    order.push_back("menu returned");
  }
  EXPECT_EQ(order, (std::vector<std::string>{"menu returned", "deleted", "deleted too"}));
  npdesk::InstanceScope::AfterCalls([&] { order.push_back("at once"); });
  EXPECT_EQ(order.back(), "at once");
}

}  // namespace
