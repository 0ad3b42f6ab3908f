// A day in the life of a server: 8.64 million frames at 100 frames per second (a day of game
// time), 1000 map changes with the sample configuration files and 10,000 clients joining and
// leaving, the test build of the plug-in under the emulated Metamod. Afterwards nothing may be
// left behind: no open file, no timer period without its end, no memory that grows with the maps
// played, no player counted who has left, no log line lost or cut short.
//
// Every frame goes through the emulated Metamod (Session::RunFrames: StartFrame and each
// client's PlayerPreThink with mres checked, the stub game called, the command buffer run); at
// about 0.3 microseconds a frame the day takes seconds natively.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tests/plugin_fixture.h"
#include "tests/soak/process_usage.h"

namespace {

// The whole day runs in the x86_64 Linux build. The sanitizer build (ASan and UBSan, unoptimised)
// spends thirty to seventy times as long on a frame and plays a tenth of the day (100 maps, 864,000
// frames, 1000 clients); under qemu-i386 and wine, where the test command's budget is shared
// with every other suite, a hundredth (10 maps). Same schedule, same checks. QRV_SOAK_MAPS sets
// the number of maps by hand (e.g. QRV_SOAK_MAPS=1000 for the whole day anywhere).
#if defined(__SANITIZE_ADDRESS__)
constexpr int kDefaultMaps = 100;
#elif defined(__linux__) && defined(__x86_64__)
constexpr int kDefaultMaps = 1000;
#else
constexpr int kDefaultMaps = 10;
#endif

int MapsToPlay() {
  const char *chosen = std::getenv("QRV_SOAK_MAPS");
  const int maps = chosen != nullptr ? std::atoi(chosen) : 0;
  return maps >= 2 ? maps : kDefaultMaps;
}

const int kMaps = MapsToPlay();
constexpr double kFramesPerSecond = 100.0;
constexpr int kFramesPerMap = 8640;  // 86.4 s of game time: 1000 maps make a day
constexpr int kJoinsPerMap = 10;
constexpr int kFirstJoinFrame = 401;  // the map's first measuring period and the frame ending it
constexpr int kMostClients = 12;

const char *const kMapNames[] = {"de_dust2",  "de_inferno", "de_nuke",  "de_train",
                                 "cs_office", "de_aztec",   "cs_italy", "de_cbble"};

const char kFinalCommand[] = "qrv_vemtark_sepd 0";
const char kFinalLogLine[] = "[QRV] LOG: S EPD disabled.";
const char kMapStartLogLine[] = "[QRV] LOG: Server reads configs files...";

// Bytes a record of `calls` strings holds once it has grown to take them one by one.
long long CallRecordBytes(size_t calls) {
  std::vector<std::string> record;
  for (size_t call = 0; call < calls; ++call) record.emplace_back();
  return static_cast<long long>(record.capacity() * sizeof(std::string));
}

// What the day left behind, read by the checks below.
struct Day {
  std::vector<std::string> problems;  // anything the run itself could not do
  double seconds = 0.0;
  long long frames = 0;
  int maps = 0;
  int joins = 0;
  int leaves = 0;
  long filesBefore = -1;
  long filesAfter = -1;
  std::string openFilesAfter;
  // Heap and resident set after the first map, and the largest at the end of any later map.
  long long heapAfterFirstMap = -1;
  long long heapMostLater = -1;
  long long residentAfterFirstMap = -1;
  long long residentMostLater = -1;
  // The same at half of the day and at its end, when every record of the emulator has long had
  // the capacity of its busiest map.
  long long heapAtNoon = -1;
  long long heapAtEnd = -1;
  // The most calls the stub game recorded in one map (the emulator keeps that capacity), in the
  // first map and in any.
  size_t gameCallsFirstMap = 0;
  size_t mostGameCalls = 0;
  int stringPoolAfterFirstMap = 0;
  int stringPoolAtEnd = 0;
  // Joins whose long message counted a different number of players than were in the game.
  int presenceMismatches = 0;
  int joinsChecked = 0;
  std::string firstMismatch;
  int mapsNotAt100Fps = 0;
  std::string firstFpsProblem;
  int detachAnswer = -1;
  bool timerBalanced = false;
  std::string timerProblem;
  size_t timerEvents = 0;
  std::vector<std::string> faults;
  size_t unimplementedAfterFirstMap = 0;
  size_t unimplementedAtEnd = 0;
};

class Soak : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    day_ = new Day;
    const auto started = std::chrono::steady_clock::now();
    RunDay(*day_);
    day_->seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("soak: %lld frames, %d maps, %d joins, %d leaves in %.1f s\n", day_->frames,
                day_->maps, day_->joins, day_->leaves, day_->seconds);
    std::printf("soak: open files %ld before, %ld after\n", day_->filesBefore, day_->filesAfter);
    const long long doubles =
        CallRecordBytes(day_->mostGameCalls) - CallRecordBytes(day_->gameCallsFirstMap);
    std::printf(
        "soak: heap in use %lld bytes after the first map, at most %lld after a later one (%lld "
        "of it the test doubles' records), %lld at noon, %lld at the end; resident set %lld "
        "after the first map, at most %lld later\n",
        day_->heapAfterFirstMap, day_->heapMostLater, doubles, day_->heapAtNoon, day_->heapAtEnd,
        day_->residentAfterFirstMap, day_->residentMostLater);
  }
  static void TearDownTestSuite() {
    session_.reset();
    delete day_;
    day_ = nullptr;
  }

  static void RunDay(Day &day);
  static void PlayMap(Day &day, int map, std::mt19937 &random, int *nextName);
  static void Join(Day &day, int map, const std::string &name);

  static Day *day_;
  static std::unique_ptr<emu::Session> session_;
};

Day *Soak::day_ = nullptr;
std::unique_ptr<emu::Session> Soak::session_;

void Soak::RunDay(Day &day) {
  day.filesBefore = soak::OpenFileCount();
  session_ = std::make_unique<emu::Session>(qrvtest::TestBuild());
  emu::Session &server = *session_;
  // The shipped files, with a settings file whose every key is read.
  if (!server.CopyIntoAddon(QRV_SOURCE_DIR "/addons/qrv_vemtark/configs", "configs") ||
      !server.CopyIntoAddon(QRV_SOURCE_DIR "/tests/fixtures/configs", "configs")) {
    day.problems.push_back("no sample configuration files found");
  }
  if (!server.Attach()) {
    day.problems.push_back("the plug-in did not attach");
    return;
  }
  qrvtest::FakePlatform fake(server.metamod().library());
  if (!fake.Resolved()) {
    day.problems.push_back("the fake platform's controls are missing");
    return;
  }
  server.StartServer();

  std::mt19937 random(86400u);
  int nextName = 1;
  for (int map = 0; map < kMaps; ++map) {
    PlayMap(day, map, random, &nextName);
    if (!day.problems.empty()) return;
    // The emulator's records of console and client output and of the calls that reached the
    // stub game are emptied with every map, so that the emulator's bookkeeping does not pass
    // for growth of the plug-in.
    if (map == 0) day.gameCallsFirstMap = server.metamod().GameCalls().size();
    day.mostGameCalls = std::max(day.mostGameCalls, server.metamod().GameCalls().size());
    server.metamod().Game().ClearCalls();
    server.engine().TakeConsole();
    server.engine().ClearAlerts();
    server.engine().ClearClientConsoles();
    server.engine().ClearServerCommands();
    const long long heap = soak::HeapInUse();
    const long long resident = soak::ResidentBytes();
    // The pool hands out the next offset; one byte is the price of asking.
    const int pool = static_cast<int>(server.engine().AllocString(""));
    if (map == 0) {
      day.heapAfterFirstMap = heap;
      day.residentAfterFirstMap = resident;
      day.stringPoolAfterFirstMap = pool;
      day.unimplementedAfterFirstMap = server.engine().UnimplementedCalls().size();
    } else {
      day.heapMostLater = std::max(day.heapMostLater, heap);
      day.residentMostLater = std::max(day.residentMostLater, resident);
    }
    if (map == kMaps / 2) day.heapAtNoon = heap;
    day.heapAtEnd = heap;
    day.stringPoolAtEnd = pool;
  }
  day.unimplementedAtEnd = server.engine().UnimplementedCalls().size();

  for (int client : server.ClientsInGame()) {
    server.DisconnectClient(client);
    ++day.leaves;
  }
  server.EndMap();
  server.Command(kFinalCommand);
  day.detachAnswer = server.metamod().CallMetaDetach(PT_ANYTIME, PNL_CMD_FORCED);
  const ::testing::AssertionResult balanced = fake.TimerBalanced();
  day.timerBalanced = static_cast<bool>(balanced);
  day.timerProblem = balanced.message();
  day.timerEvents = fake.TimerEvents().size();
  day.faults = server.Faults();
  // The plug-in is still loaded: whatever it opened and kept would show here.
  day.filesAfter = soak::OpenFileCount();
  day.openFilesAfter = soak::OpenFileNames();
}

void Soak::PlayMap(Day &day, int map, std::mt19937 &random, int *nextName) {
  emu::Session &server = *session_;
  emu::Engine &engine = server.engine();
  const std::string mapName = kMapNames[map % (sizeof(kMapNames) / sizeof(kMapNames[0]))];
  server.StartMap(mapName);
  ++day.maps;
  // Both long messages: the frame rate one reports the players present and the map.
  server.Command("qrv_vemtark_join_msg 2");
  server.Command("qrv_vemtark_info 2");

  // Joins spread over the map, the first once a measuring period has passed, so that every
  // newcomer is told a measured rate.
  const int crowd = std::uniform_int_distribution<int>(0, kMostClients)(random);
  const int joinEvery = (kFramesPerMap - kFirstJoinFrame) / kJoinsPerMap;
  int played = 0;
  for (int join = 0; join < kJoinsPerMap; ++join) {
    const int joinFrame = kFirstJoinFrame + join * joinEvery;
    server.RunFrames(joinFrame - played, kFramesPerSecond);
    played = joinFrame;
    Join(day, map, "Player" + std::to_string((*nextName)++));
    // Leavers chosen at random until the crowd of this map is reached.
    while (static_cast<int>(server.ClientsInGame().size()) > crowd) {
      const std::vector<int> clients = server.ClientsInGame();
      const size_t pick = std::uniform_int_distribution<size_t>(0, clients.size() - 1)(random);
      server.DisconnectClient(clients[pick]);
      ++day.leaves;
    }
  }
  server.RunFrames(kFramesPerMap - played, kFramesPerSecond);
  day.frames += kFramesPerMap;

  const cvar_t *fps = engine.FindCvar("qrv_fps");
  if (fps == nullptr || std::string(fps->string) != "100") {
    if (day.mapsNotAt100Fps++ == 0) {
      day.firstFpsProblem = "map " + std::to_string(map + 1) + ": qrv_fps is \"" +
                            (fps != nullptr ? fps->string : "(missing)") + "\"";
    }
  }
}

// A newcomer's long frame-rate message counts the players already in the game: the newcomer is
// admitted (ClientPutInServer) only after ClientConnect has sent it.
void Soak::Join(Day &day, int map, const std::string &name) {
  emu::Session &server = *session_;
  const size_t present = server.ClientsInGame().size();
  const int index = server.ConnectClient(name);
  if (index == 0) {
    day.problems.push_back("client " + name + " was not admitted: " + server.LastRejectReason());
    return;
  }
  ++day.joins;
  const std::string console = server.ClientConsole(index);
  const size_t at = console.find("running at ");
  unsigned long fps = 0;
  long counted = -1;
  char shownMap[64] = {};
  bool read = at != std::string::npos &&
              std::sscanf(console.c_str() + at, "running at %lu FPS with %ld clients present.",
                          &fps, &counted) == 2;
  const size_t mapAt = console.find("Current map: ");
  read = read && mapAt != std::string::npos &&
         std::sscanf(console.c_str() + mapAt, "Current map: %63s", shownMap) == 1;
  ++day.joinsChecked;
  if (!read || counted != static_cast<long>(present) || server.engine().MapName() != shownMap) {
    if (day.presenceMismatches++ == 0) {
      day.firstMismatch = "map " + std::to_string(map + 1) + ", " + name + " with " +
                          std::to_string(present) + " in the game was told: " + console;
    }
  }
  server.engine().ClearClientConsoles();
}

TEST_F(Soak, PlaysADayOfFramesMapsAndClients) {
  EXPECT_EQ(std::vector<std::string>{}, day_->problems);
  EXPECT_EQ(std::vector<std::string>{}, day_->faults);
  EXPECT_EQ(static_cast<long long>(kMaps) * kFramesPerMap, day_->frames);
  EXPECT_EQ(kMaps, day_->maps);
  EXPECT_EQ(kMaps * kJoinsPerMap, day_->joins);
  EXPECT_EQ(day_->joins, day_->leaves);
  // Every map measured its periods at the rate the frames ran.
  EXPECT_EQ(0, day_->mapsNotAt100Fps) << day_->firstFpsProblem;
  // Nothing the plug-in calls every frame or every map is missing from the engine's table.
  EXPECT_EQ(day_->unimplementedAfterFirstMap, day_->unimplementedAtEnd);
  RecordProperty("seconds", static_cast<int>(day_->seconds));
}

TEST_F(Soak, LeavesNoFileOpen) {
  if (day_->filesBefore < 0) GTEST_SKIP() << "no /proc/self/fd to count open files on";
  EXPECT_EQ(day_->filesBefore, day_->filesAfter) << "open now:\n" << day_->openFilesAfter;
}

TEST_F(Soak, EndsEveryTimerPeriodItBegins) {
  EXPECT_EQ(1, day_->detachAnswer);
  EXPECT_TRUE(day_->timerBalanced) << day_->timerProblem;
  // A period ends and begins again with every measuring period: 21 a map.
  EXPECT_GE(day_->timerEvents, static_cast<size_t>(kMaps) * 2 * 21);
}

// Two readings of the heap in use. From the first map to any later one it may grow by what the
// test doubles took meanwhile: the stub game's record of calls, emptied with every map but
// keeping the capacity of the busiest one, reckoned exactly. From noon to the end of the day,
// when every record has its capacity, nothing may grow. 64 KiB more are allowed for the emulator's
// output records, whose capacity follows the busiest map too, and for the allocator's bookkeeping:
// over 500 maps that would be 130 bytes a map. The resident set (not under AddressSanitizer) may in
// addition hold the pages of the emulator's string pool touched since (client and map names) and 1
// MiB of allocator slack (freed memory it keeps).
TEST_F(Soak, KeepsMemoryFlatAfterTheFirstMap) {
  if (day_->heapAfterFirstMap < 0) GTEST_SKIP() << "the heap in use is read on Linux only";
  ASSERT_GT(kMaps, 1);
  const long long slack = 64 * 1024;
  const long long heapAllowance =
      CallRecordBytes(day_->mostGameCalls) - CallRecordBytes(day_->gameCallsFirstMap) + slack;
  EXPECT_LE(day_->heapMostLater - day_->heapAfterFirstMap, heapAllowance)
      << "heap in use after the first map " << day_->heapAfterFirstMap << ", later up to "
      << day_->heapMostLater;
  EXPECT_LE(day_->heapAtEnd - day_->heapAtNoon, slack)
      << "heap in use at noon " << day_->heapAtNoon << ", at the end " << day_->heapAtEnd;
  // Under AddressSanitizer freed memory waits in its quarantine (256 MiB) and stays resident.
  if (day_->residentAfterFirstMap < 0) return;
  const long long poolGrowth = day_->stringPoolAtEnd - day_->stringPoolAfterFirstMap;
  EXPECT_LE(day_->residentMostLater - day_->residentAfterFirstMap,
            heapAllowance + poolGrowth + 4096 + 1024 * 1024)
      << "resident set after the first map " << day_->residentAfterFirstMap << ", later up to "
      << day_->residentMostLater;
}

TEST_F(Soak, KeepsThePresenceTableConsistent) {
  EXPECT_EQ(kMaps * kJoinsPerMap, day_->joinsChecked);
  EXPECT_EQ(0, day_->presenceMismatches) << day_->firstMismatch;
}

TEST_F(Soak, WritesTheLogToItsLastLine) {
  ASSERT_TRUE(session_ != nullptr);
  const std::string log = session_->ReadFile(qrvtest::LogPath());
  ASSERT_FALSE(log.empty());
  EXPECT_EQ('\n', log.back()) << "the last line is cut short";
  const std::vector<std::string> messages = qrvtest::LogMessages(*session_);
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(kFinalLogLine, messages.back());
  // No map start's line went missing on the way.
  int mapStarts = 0;
  for (const std::string &message : messages) mapStarts += message == kMapStartLogLine;
  EXPECT_EQ(kMaps, mapStarts);
}

}  // namespace
