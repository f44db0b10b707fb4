#include "support/machine/dispatch_check.h"

#include <gtest/gtest.h>

#include <map>

void expect_named_rows(std::initializer_list<named_row> rows) {
  std::map<u32, const dispatch_row*> by_address;
  for (int i = 0; i < game_dispatch_row_count; ++i) by_address[game_dispatch_rows[i].address] = &game_dispatch_rows[i];
  for (const named_row& n : rows) {
    auto it = by_address.find(n.address);
    if (it == by_address.end()) {
      ADD_FAILURE() << std::hex << "$" << n.address << " is not in the dispatch table";
      continue;
    }
    EXPECT_EQ(it->second->kind, n.kind) << std::hex << "$" << n.address;
    EXPECT_STREQ(it->second->owner_name, n.owner) << std::hex << "$" << n.address;
  }
}
