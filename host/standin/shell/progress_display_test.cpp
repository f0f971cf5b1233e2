// The throttle of the progress display, fed timestamps, and the lines it shows.
#include "standin/shell/progress_display.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr int64_t kMs = 1'000'000;

struct ThrottleCase {
  const char* name;
  std::vector<int64_t> timesMs;  // when updates arrive
  std::vector<bool> shown;       // which of them are shown
};

TEST(ProgressThrottleTest, ShowsAnUpdateOnlyAfterTheIntervalSinceTheLastOneShown) {
  const ThrottleCase cases[] = {
      {"the first update is always shown", {5}, {true}},
      {"a burst shows its first only", {0, 1, 2, 50, 99}, {true, false, false, false, false}},
      {"exactly the interval later is shown", {0, 100, 200}, {true, true, true}},
      {"the interval counts from the last shown, not the last seen",
       {0, 60, 120, 180, 230},
       {true, false, true, false, true}},
      {"a pause lets the next one through", {0, 10, 5000, 5001}, {true, false, true, false}},
      {"a clock that starts far from zero", {1'000'000, 1'000'099, 1'000'100}, {true, false, true}},
  };
  for (const ThrottleCase& c : cases) {
    host::ProgressThrottle throttle(100 * kMs);
    std::vector<bool> shown;
    for (int64_t ms : c.timesMs) shown.push_back(throttle.Admit(ms * kMs));
    EXPECT_EQ(shown, c.shown) << c.name;
  }
}

TEST(ProgressThrottleTest, AtMostTenAreShownInASecondOfUpdatesEveryMillisecond) {
  host::ProgressThrottle throttle(100 * kMs);
  int shown = 0;
  for (int64_t ms = 0; ms < 1000; ++ms) shown += throttle.Admit(ms * kMs) ? 1 : 0;
  EXPECT_EQ(shown, 10);
}

TEST(ProgressLineTest, ShowsTheTotalWhenKnownAndTheRateOnceTimeHasPassed) {
  struct Case {
    int64_t done, total;
    double seconds;
    const char* line;
  } cases[] = {
      {1200, 5000, 1.5, "Export: 1200 of 5000 elements, 800/s, 1.5 s"},
      {1200, -1, 1.5, "Export: 1200 elements, 800/s, 1.5 s"},
      {0, 0, 0.0, "Export: 0 of 0 elements, 0.0 s"},
      {3, 10, 0.0, "Export: 3 of 10 elements, 0.0 s"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(host::ProgressLine("Export", c.done, c.total, c.seconds), c.line);
}

TEST(ProgressLineTest, SummaryNamesElementsFoldersTimeAndFailures) {
  EXPECT_EQ(host::SummaryLine("Import", 96, 0, 0, 12.34),
            "Import: 96 elements and 0 folders written in 12.3 s");
  EXPECT_EQ(host::SummaryLine("Export", 5, 4, 1, 0.0),
            "Export: 5 elements and 4 folders written in 0.0 s; 1 element failed");
  EXPECT_EQ(host::SummaryLine("Export", 0, 0, 7, 0.0),
            "Export: 0 elements and 0 folders written in 0.0 s; 7 elements failed");
}

}  // namespace
