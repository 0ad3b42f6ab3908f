// The server's command line as the platform hands it to start-up: zero-ended arguments.
#include "platform/arguments.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using Texts = std::vector<std::string>;

Texts Arguments(const char *list) {
  Texts arguments;
  for (const char *argument = list; *argument != '\0'; argument += arguments.back().size() + 1) {
    arguments.emplace_back(argument);
  }
  return arguments;
}

TEST(CommandLine, WindowsLinesSplitAtBlanksOutsideQuotes) {
  struct Case {
    const char *line;
    Texts expected;
  };
  const Case cases[] = {
      {"hlds.exe -game cstrike -sys_ticrate 1000",
       {"hlds.exe", "-game", "cstrike", "-sys_ticrate", "1000"}},
      {"\"C:\\Program Files\\hlds.exe\"  -console\t+map de_dust2 ",
       {"C:\\Program Files\\hlds.exe", "-console", "+map", "de_dust2"}},
      {"hlds \"\" -game", {"hlds", "-game"}},  // an empty argument cannot be listed
      {"", {}},
      {"   ", {}},
      {"a \"unclosed quote -sys_ticrate 5", {"a", "unclosed quote -sys_ticrate 5"}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.line);
    char list[platform::kArgumentsSize];
    size_t used = 99;
    platform::SplitCommandLine(c.line, list, &used);
    EXPECT_EQ(c.expected, Arguments(list));
  }
}

TEST(CommandLine, OverlongLinesKeepWholeArgumentsOnly) {
  std::string line = "hlds";
  for (int i = 0; i < 2000; ++i) line += " -arg" + std::to_string(i);
  char list[platform::kArgumentsSize];
  size_t used = 0;
  platform::SplitCommandLine(line.c_str(), list, &used);
  Texts arguments = Arguments(list);
  ASSERT_GT(arguments.size(), 100u);
  EXPECT_LT(arguments.size(), 2001u);
  EXPECT_LE(used + 1, sizeof(list));
  EXPECT_EQ("-arg" + std::to_string(arguments.size() - 2), arguments.back());

  std::string huge(3 * platform::kArgumentsSize, 'x');
  platform::SplitCommandLine(("hlds " + huge + " -game").c_str(), list, &used);
  EXPECT_EQ(Texts{"hlds"}, Arguments(list));  // cut before the one that cannot fit
}

TEST(CommandLine, KernelListsAreReadWholeArgumentsOnly) {
  const std::string path = ::testing::TempDir() + "qrv_cmdline_test";
  auto read = [&](const std::string &contents) {
    FILE *file = std::fopen(path.c_str(), "wb");
    EXPECT_NE(nullptr, file);
    std::fwrite(contents.data(), 1, contents.size(), file);
    std::fclose(file);
    static char list[platform::kArgumentsSize];
    size_t used = 0;
    platform::ReadArgumentFile(path.c_str(), list, &used);
    return Arguments(list);
  };
  EXPECT_EQ((Texts{"./hlds_linux", "-game", "cstrike", "-sys_ticrate", "1000"}),
            read(std::string("./hlds_linux\0-game\0cstrike\0-sys_ticrate\0001000\0", 45)));
  EXPECT_EQ((Texts{"hlds", "-x"}), read(std::string("hlds\0-x", 7)));  // no final zero
  EXPECT_EQ(Texts{}, read(""));
  std::string longList = std::string("hlds\0", 5) + std::string(platform::kArgumentsSize, 'y');
  EXPECT_EQ(Texts{"hlds"}, read(longList));  // the cut argument is dropped
  std::remove(path.c_str());

  char list[platform::kArgumentsSize] = "left over";
  size_t used = 7;
  platform::ReadArgumentFile("/nonexistent/qrv_cmdline", list, &used);
  EXPECT_EQ(Texts{}, Arguments(list)) << "a missing file is an empty list";
  EXPECT_EQ(0u, used);
}

}  // namespace
