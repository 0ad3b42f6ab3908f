// The processor-counter library is opened once per process, so tests that need it unopened run
// their steps in a fresh process of this program and check there.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace qrvtest {

// Said last by a fresh process that ran all its steps. Wine ends only the thread of a process
// whose stack overflowed past its last guard, and such a process may still exit with 0.
constexpr char kStepsDone[] = "fresh process: steps done";

// Ends the fresh process; its failed checks go to standard error, which the parent shows.
[[noreturn]] inline void ExitWithVerdict() {
  const ::testing::TestResult *result =
      ::testing::UnitTest::GetInstance()->current_test_info()->result();
  for (int i = 0; i < result->total_part_count(); ++i) {
    const ::testing::TestPartResult &part = result->GetTestPartResult(i);
    if (part.failed()) {
      std::fprintf(stderr, "%s:%d: %s\n", part.file_name(), part.line_number(), part.message());
    }
  }
  std::fprintf(stderr, "%s\n", kStepsDone);
  std::exit(result->Failed() ? 1 : 0);
}

// Runs the steps in a fresh process, which must end without a failed check.
template <typename Steps>
void ExpectPassInFreshProcess(Steps steps) {
#if defined(_WIN32)
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process: Windows cannot fork
#else
  // A fork of this process, whose monitor was never used: under qemu-i386 the program could not
  // start itself again.
  GTEST_FLAG_SET(death_test_style, "fast");
#endif
  EXPECT_EXIT(
      {
        steps();
        ExitWithVerdict();
      },
      ::testing::ExitedWithCode(0), kStepsDone);
}

}  // namespace qrvtest
