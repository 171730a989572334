#include "tallies/window.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

namespace {

const std::uint64_t kMax = UINT64_MAX;

TEST(ParseDurationTest, ReadsSecondsAndUnitsUpToTheLargestNumber) {
  struct Case {
    const char* szText;
    std::uint64_t nSeconds;
  };
  const Case kCases[] = {
      {"8h", 28800},
      {"90m", 5400},
      {"1h30m", 5400},
      {"45s", 45},
      {"5400", 5400},
      {"1", 1},
      {"007", 7},
      {"1h30m15s", 5415},
      {"2h15s", 7215},
      {"1h90m", 9000},
      {"0h1s", 1},
      {"8H", 28800},
      {"1H30m15S", 5415},
      {"4294967296", std::uint64_t{1} << 32},
      {"18446744073709551615", kMax},
      {"18446744073709551615s", kMax},
      {"0018446744073709551615", kMax},
      {"5124095576030431h15s", kMax},  // 5124095576030431 h = 2^64 - 16 s
      {"307445734561825860m15s", kMax},
  };
  for (const Case& c : kCases) {
    std::uint64_t nSeconds = 0;
    EXPECT_TRUE(parseDuration(c.szText, nSeconds)) << c.szText;
    EXPECT_EQ(nSeconds, c.nSeconds) << c.szText;
  }
}

TEST(ParseDurationTest, RejectsWhatIsNotADurationAndLeavesTheResultAlone) {
  const char* const kTexts[] = {
      // Nothing, or nothing long.
      "", "0", "0s", "0h0m0s", "000",
      // Parts missing, repeated or out of order.
      "h", "1x", "1h30", "1hm", "30m1h", "1h1h", "1s1m", "1m1h", "s5",
      // Blanks, signs, fractions and words.
      " 8h", "8h ", "1 h", "1h 30m", "+5", "-5", "1.5h", "1,5h", "1d", "8hours", "1e3",
      // Past 2^64 - 1 seconds, in any part or in their sum.
      "18446744073709551616", "18446744073709551616s", "99999999999999999999999",
      "5124095576030432h", "5124095576030431h16s", "307445734561825861m", "5124095576030431h1m"};
  for (const char* szText : kTexts) {
    std::uint64_t nSeconds = 12345;
    EXPECT_FALSE(parseDuration(szText, nSeconds)) << szText;
    EXPECT_EQ(nSeconds, 12345u) << szText;
  }
  std::uint64_t nSeconds = 12345;
  EXPECT_FALSE(parseDuration(nullptr, nSeconds));
}

TEST(ParseClockWindowTest, ReadsTheLengthAcrossMidnightAndRejectsTheRest) {
  struct Case {
    const char* szText;
    std::uint64_t nSeconds;
    int nStart;
  };
  const Case kCases[] = {
      {"22:00-06:00", 8 * 3600, 22 * 3600},
      {"06:00-22:00", 16 * 3600, 6 * 3600},
      {"0:00-23:59", 86340, 0},
      {"23:59-00:00", 60, 86340},   // one minute, across midnight
      {"00:01-00:00", 86340, 60},   // all but a minute
      {"9:30-10:00", 1800, 34200},  // a one-digit hour
      {"21:45-01:15", 3 * 3600 + 1800, 78300},
  };
  for (const Case& c : kCases) {
    std::uint64_t nSeconds = 0;
    int nStart = -1;
    EXPECT_TRUE(parseClockWindow(c.szText, nSeconds, nStart)) << c.szText;
    EXPECT_EQ(nSeconds, c.nSeconds) << c.szText;
    EXPECT_EQ(nStart, c.nStart) << c.szText;
  }
  const char* const kNotWindows[] = {
      "22:00-22:00",   "24:00-06:00",  "22:60-06:00", "22:00-6",          "22:00", "22-06",
      "22:00 - 06:00", "022:00-06:00", "22:0-06:00",  "22:00-06:00x",     "",      "-06:00",
      "22:00-06:000",  "2200-0600",    "8h",          "22:00-06:00-07:00"};
  for (const char* szText : kNotWindows) {
    std::uint64_t nSeconds = 7;
    int nStart = 7;
    EXPECT_FALSE(parseClockWindow(szText, nSeconds, nStart)) << szText;
    EXPECT_EQ(nSeconds, 7u) << szText;
    EXPECT_EQ(nStart, 7) << szText;
  }
  std::uint64_t nSeconds = 0;
  int nStart = 0;
  EXPECT_FALSE(parseClockWindow(nullptr, nSeconds, nStart));
}

TEST(JudgeWindowTest, FitsUpToTheWindowAndRoundsTheFactorUp) {
  struct Case {
    std::uint64_t nWindow;
    std::uint64_t nEstimate;
    bool bFits;
    std::uint64_t nSpare;
    std::uint64_t nOver;
    std::uint64_t nWhole;
    unsigned nHundredths;
  };
  const Case kCases[] = {
      {28800, 28800, true, 0, 0, 1, 0},  // exactly the window
      {28800, 28799, true, 1, 0, 1, 0},  // 0.99997 rounds up to 1.00
      {28800, 28801, false, 0, 1, 1, 1},
      {28800, 0, true, 28800, 0, 0, 0},
      {28800, 20751, true, 8049, 0, 0, 73},
      {28800, 39940, false, 0, 11140, 1, 39},
      {100, 139, false, 0, 39, 1, 39},        // exactly 1.39 stays
      {100, 13901, false, 0, 13801, 139, 1},  // 139.01 exactly
      {1000, 1391, false, 0, 391, 1, 40},     // 1.391 goes up
      {3, 1, true, 2, 0, 0, 34},
      {3, 2, true, 1, 0, 0, 67},
      {200, 399, false, 0, 199, 2, 0},  // 1.995 carries into the whole
      {7, 700, false, 0, 693, 100, 0},
      {0, 0, true, 0, 0, 0, 0},
      {0, 5, false, 0, 5, 5, 0},
      // Values where 100 times the estimate, or ten times a remainder, overflows.
      {1, kMax, false, 0, kMax - 1, kMax, 0},
      {kMax, kMax, true, 0, 0, 1, 0},
      {kMax, kMax - 1, true, 1, 0, 1, 0},
      {kMax, 1, true, kMax - 1, 0, 0, 1},
      {kMax - 1, kMax, false, 0, 1, 1, 1},
      {2, kMax, false, 0, kMax - 2, kMax / 2, 50},
      {3, kMax, false, 0, kMax - 3, kMax / 3, 0},
      {kMax / 2 + 1, kMax, false, 0, kMax / 2, 2, 0},  // 1.99999... carries
  };
  for (const Case& c : kCases) {
    WindowVerdict verdict = judgeWindow(c.nWindow, c.nEstimate);
    std::string where = std::to_string(c.nEstimate) + " in " + std::to_string(c.nWindow);
    EXPECT_EQ(verdict.nWindowSeconds, c.nWindow) << where;
    EXPECT_EQ(verdict.nEstimateSeconds, c.nEstimate) << where;
    EXPECT_EQ(verdict.bFits, c.bFits) << where;
    EXPECT_EQ(verdict.nSpareSeconds, c.nSpare) << where;
    EXPECT_EQ(verdict.nOverSeconds, c.nOver) << where;
    EXPECT_EQ(verdict.nFactorWhole, c.nWhole) << where;
    EXPECT_EQ(verdict.nFactorHundredths, c.nHundredths) << where;
  }
  // An estimate that passed 2^64 - 1 and stayed there fits no window, not even
  // the largest.
  WindowVerdict largest = judgeWindow(kMax, kMax, true);
  EXPECT_FALSE(largest.bFits);
  EXPECT_EQ(largest.nSpareSeconds, 0u);
  EXPECT_EQ(largest.nFactorWhole, 1u);
  EXPECT_FALSE(judgeWindow(28800, kMax, true).bFits);
}

#ifdef __SIZEOF_INT128__
TEST(JudgeWindowTest, FactorAgreesWithWideArithmetic) {
  std::mt19937_64 random(13);
  for (int i = 0; i < 200000; i++) {
    // Numbers of every width, so that quotients of all sizes come up.
    std::uint64_t nWindow = random() >> (random() % 64);
    std::uint64_t nEstimate = random() >> (random() % 64);
    if (nWindow == 0) continue;
    unsigned __int128 nScaled = static_cast<unsigned __int128>(nEstimate) * 100;
    unsigned __int128 nHundredths = (nScaled + nWindow - 1) / nWindow;
    WindowVerdict verdict = judgeWindow(nWindow, nEstimate);
    ASSERT_EQ(verdict.nFactorWhole, static_cast<std::uint64_t>(nHundredths / 100))
        << nEstimate << " in " << nWindow;
    ASSERT_EQ(verdict.nFactorHundredths, static_cast<unsigned>(nHundredths % 100))
        << nEstimate << " in " << nWindow;
  }
}
#endif

}  // namespace
