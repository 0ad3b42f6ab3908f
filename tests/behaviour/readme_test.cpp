// The operator's tables in the README against what the plug-in registers, so that neither can
// drift from the other: every variable and command the plug-in registers is listed, everything
// listed is registered, and every listed default is the value the server starts with.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/plugin_fixture.h"

namespace {

// First column (the name between backticks) mapped to the second (backticks dropped) of every
// table row under the README heading.
std::map<std::string, std::string> TableUnder(const std::string &heading) {
  std::ifstream in(std::string(QRV_SOURCE_DIR) + "/README.md");
  std::map<std::string, std::string> rows;
  bool inside = false;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("#", 0) == 0) {
      inside = line == heading;
      continue;
    }
    if (!inside || line.rfind("| `", 0) != 0) continue;
    std::vector<std::string> cells;
    std::istringstream cellStream(line.substr(1));
    for (std::string cell; std::getline(cellStream, cell, '|');) {
      cell.erase(0, cell.find_first_not_of(' '));
      cell.erase(cell.find_last_not_of(' ') + 1);
      cell.erase(std::remove(cell.begin(), cell.end(), '`'), cell.end());
      cells.push_back(cell);
    }
    if (cells.size() >= 2) rows[cells[0]] = cells[1];
  }
  return rows;
}

std::set<std::string> Keys(const std::map<std::string, std::string> &rows) {
  std::set<std::string> keys;
  for (const auto &row : rows) keys.insert(row.first);
  return keys;
}

// What a server knows besides the plug-in's registrations.
const std::set<std::string> kEngineOwn = {"sys_ticrate", "hostname", "exec", "echo"};

TEST(Readme, ListsEveryVariableWithTheDefaultTheServerStartsWith) {
  const std::map<std::string, std::string> listed = TableUnder("### Console variables");
  ASSERT_GT(listed.size(), 40u) << "the README's variable table was not found";
  emu::Session server;
  server.StartServer();
  std::set<std::string> registered;
  for (const std::string &name : server.engine().CvarNames()) {
    if (kEngineOwn.count(name) == 0) registered.insert(name);
  }
  EXPECT_EQ(registered, Keys(listed));
  for (const auto &row : listed) {
    const cvar_t *variable = server.engine().FindCvar(row.first);
    if (variable == nullptr) continue;  // reported above
    EXPECT_EQ(row.second, variable->string) << row.first;
  }
}

TEST(Readme, ListsEveryCommandInBothModes) {
  const std::set<std::string> listed = Keys(TableUnder("### Console commands"));
  ASSERT_GT(listed.size(), 15u) << "the README's command table was not found";
  std::set<std::string> registered;
  for (emu::HostMode mode : {emu::HostMode::kMetamod, emu::HostMode::kStandalone}) {
    emu::SessionOptions options;
    options.host = mode;
    emu::Session server(options);
    server.StartServer();
    for (const std::string &name : server.engine().CommandNames()) {
      if (kEngineOwn.count(name) == 0) registered.insert(name);
    }
  }
  EXPECT_EQ(registered, listed);
}

}  // namespace
