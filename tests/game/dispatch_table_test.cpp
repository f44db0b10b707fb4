// Checks of the dispatcher's table as generated from the routine sources.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "machine/dispatch.h"

namespace {

TEST(DispatchTable, AddressesAreUniqueAndSorted) {
  for (int i = 1; i < game_dispatch_row_count; ++i)
    EXPECT_LT(game_dispatch_rows[i - 1].address, game_dispatch_rows[i].address)
        << std::hex << game_dispatch_rows[i].address;
}

TEST(DispatchTable, EveryLabelBelongsToARoutineOfTheTable) {
  std::set<std::string> routines;
  for (int i = 0; i < game_dispatch_row_count; ++i)
    if (game_dispatch_rows[i].kind == routine_entry) routines.insert(game_dispatch_rows[i].owner_name);
  for (int i = 0; i < game_dispatch_row_count; ++i) {
    const dispatch_row& r = game_dispatch_rows[i];
    EXPECT_TRUE(routines.count(r.owner_name)) << std::hex << r.address << " owned by " << r.owner_name;
    EXPECT_LE(r.address, 0xFFFFFFu);
  }
}

TEST(DispatchTable, EveryReturnPointIsALabelOfTheCallerOrAnEntry) {
  std::map<u32, const dispatch_row*> by_address;
  for (int i = 0; i < game_dispatch_row_count; ++i) by_address[game_dispatch_rows[i].address] = &game_dispatch_rows[i];
  for (int i = 0; i < game_dispatch_call_count; ++i) {
    const dispatch_call& c = game_dispatch_calls[i];
    auto it = by_address.find(c.return_address);
    ASSERT_NE(it, by_address.end()) << std::hex << c.return_address << " in " << c.caller_name;
    if (c.return_is_label) {
      EXPECT_EQ(it->second->kind, resume_label) << std::hex << c.return_address;
      EXPECT_STREQ(it->second->owner_name, c.caller_name) << std::hex << c.return_address;
    } else {
      EXPECT_EQ(it->second->kind, routine_entry) << std::hex << c.return_address;
    }
  }
}

TEST(DispatchTable, EveryRowDispatches) {
  // The switch and the rows come from one generator run; an address of the
  // rows that the switch does not know would be a generator fault.
  for (int i = 0; i < game_dispatch_row_count; ++i) EXPECT_NE(game_dispatch_rows[i].owner, nullptr);
  EXPECT_EQ(game_table_try(0xFFFFFF), 0);
}

// The list of every address ever declared (dispatch_addresses.txt), as
// "address kind owner" lines.
std::map<u32, std::string> listed_addresses() {
  std::map<u32, std::string> listed;
  std::ifstream in(DISPATCH_ADDRESSES_PATH);
  EXPECT_TRUE(in) << DISPATCH_ADDRESSES_PATH;
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && line[0] != '#') listed[static_cast<u32>(std::stoul(line.substr(0, 6), nullptr, 16))] = line;
  return listed;
}

std::string table_line(const dispatch_row& r) {
  char address[8];
  std::snprintf(address, sizeof address, "%06X", r.address);
  return std::string(address) + (r.kind == resume_label ? " label " : " entry ") + r.owner_name;
}

TEST(DispatchTable, NoListedAddressVanishesOrChanges) {
  // A saved state resumes at these addresses: each must still be there,
  // the same kind, in the same routine.
  std::map<u32, std::string> table;
  for (int i = 0; i < game_dispatch_row_count; ++i)
    table[game_dispatch_rows[i].address] = table_line(game_dispatch_rows[i]);
  const std::map<u32, std::string> listed = listed_addresses();
  EXPECT_FALSE(listed.empty());
  for (const auto& [address, line] : listed) {
    auto it = table.find(address);
    if (it == table.end())
      ADD_FAILURE() << "\"" << line << "\" is no longer in the dispatch table";
    else
      EXPECT_EQ(it->second, line) << "a listed address changed kind or routine";
  }
}

TEST(DispatchTable, EveryAddressIsListed) {
  const std::map<u32, std::string> listed = listed_addresses();
  for (int i = 0; i < game_dispatch_row_count; ++i)
    EXPECT_TRUE(listed.count(game_dispatch_rows[i].address))
        << "\"" << table_line(game_dispatch_rows[i]) << "\" is not in " << DISPATCH_ADDRESSES_PATH
        << ": add it with `cmake --build build --target dispatch_addresses`";
}

} // namespace
