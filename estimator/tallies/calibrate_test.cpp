#include "tallies/calibrate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "sources/stamps.h"

namespace {

const int kDay = 86400;

// The class bounds of the estimate, as a reference.
int classOf(std::uint64_t nSize) {
  if (nSize < 5120) return 0;
  if (nSize < 51200) return 1;
  return nSize < 512000 ? 2 : 3;
}

// One log line: no time is kNoTime, no object is a size of kNoObject.
const int kNoTime = -1;
const std::uint64_t kNoObject = ~std::uint64_t{0};
struct Line {
  int nSecond;
  std::uint64_t nSize;
};

Calibration calibrate(const std::vector<Line>& lines, std::uint64_t nGap = kDefaultGapSeconds) {
  Calibration cal;
  startCalibration(cal, nGap);
  for (const Line& line : lines) {
    bool bObject = line.nSize != kNoObject;
    calibrateLine(cal, line.nSecond != kNoTime, line.nSecond, bObject, bObject ? line.nSize : 0,
                  bObject ? classOf(line.nSize) : 0);
  }
  return cal;
}

std::string stderrOf(const Calibration& cal, CalibrationResult& result, int& nStatus) {
  testing::internal::CaptureStderr();
  nStatus = finishCalibration(cal, result);
  return testing::internal::GetCapturedStderr();
}

// A calibration whose classes hold exactly the seconds of the model
// n * dCost + bytes * dPerByte, for class tallies {objects, bytes}.
Calibration fromModel(const std::uint64_t (&anTallies)[4][2], double dCost, double dPerByte) {
  Calibration cal;
  startCalibration(cal, kDefaultGapSeconds);
  cal.bStarted = true;
  cal.nTimedObjects = 1;
  for (int k = 0; k < kClasses; k++) {
    CalibrationClass& c = cal.aClasses[k];
    c.nObjects = c.nLogObjects = anTallies[k][0];
    c.nBytes = c.nLogBytes = anTallies[k][1];
    c.nSeconds = static_cast<std::uint64_t>(std::llround(static_cast<double>(c.nObjects) * dCost +
                                                         static_cast<double>(c.nBytes) * dPerByte));
    cal.nTimedObjects += c.nObjects;
    cal.nLastSecond += static_cast<int>(c.nSeconds);
  }
  return cal;
}

// Charging: which seconds go to which class, to no class, or to the gaps.
TEST(CalibrateLine, ChargesEachStepOnce) {
  struct Case {
    const char* szName;
    std::uint64_t nGap;
    std::vector<Line> lines;
    std::uint64_t anSeconds[4];  // per class
    std::uint64_t anObjects[4];  // measured per class
    std::uint64_t anTotals[4];   // other seconds, gaps, gap seconds, day turns
  };
  const std::uint64_t kSmall = 100, kLarge = 600000;
  // clang-format off
  const Case cases[] = {
      {"step goes to the later line's object", 60,
       {{100, kNoObject}, {103, kSmall}, {110, kLarge}, {110, 6000}},
       {3, 0, 0, 7}, {1, 1, 0, 1}, {0, 0, 0, 0}},
      {"first line's object is not measured", 60, {{100, kLarge}, {102, kLarge}},
       {0, 0, 0, 2}, {0, 0, 0, 1}, {0, 0, 0, 0}},
      {"line without an arrow is busy, in no class", 60,
       {{10, kSmall}, {15, kNoObject}, {16, kSmall}},
       {1, 0, 0, 0}, {1, 0, 0, 0}, {5, 0, 0, 0}},
      {"midnight turn", 60, {{kDay - 2, kSmall}, {3, kSmall}, {4, 60000}},
       {5, 0, 1, 0}, {1, 0, 1, 0}, {0, 0, 0, 1}},
      {"two midnight turns, one a gap", 60,
       {{kDay - 1, kSmall}, {0, kSmall}, {kDay - 5, kSmall}, {10, kSmall}},
       {16, 0, 0, 0}, {2, 0, 0, 0}, {0, 1, kDay - 5, 2}},
      {"a step of the gap is busy, one past it is idle", 60,
       {{0, kSmall}, {60, kSmall}, {121, kSmall}, {122, kNoObject}, {183, kNoObject}},
       {60, 0, 0, 0}, {1, 0, 0, 0}, {1, 2, 61 + 61, 0}},
      {"gap 0: only steps within a second count", 0, {{0, kSmall}, {0, kSmall}, {1, kSmall}},
       {0, 0, 0, 0}, {1, 0, 0, 0}, {0, 1, 1, 0}},
      {"time going back a little is a day's gap", 60,
       {{500, kSmall}, {490, kSmall}, {491, kSmall}},
       {1, 0, 0, 0}, {1, 0, 0, 0}, {0, 1, kDay - 10, 1}},
      {"untimed objects: the step covering them goes to no class", 60,
       {{0, kSmall}, {kNoTime, kSmall}, {kNoTime, kLarge}, {4, kSmall}, {6, kSmall}},
       {2, 0, 0, 0}, {1, 0, 0, 0}, {4, 0, 0, 0}},
      {"a second out of range is no time", 60, {{0, kSmall}, {kDay, kSmall}, {2, kSmall}},
       {0, 0, 0, 0}, {0, 0, 0, 0}, {2, 0, 0, 0}},
      {"untimed lines before the first time are left out", 60,
       {{kNoTime, kSmall}, {5, kNoObject}, {7, kSmall}},
       {2, 0, 0, 0}, {1, 0, 0, 0}, {0, 0, 0, 0}},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.szName);
    Calibration cal = calibrate(c.lines, c.nGap);
    std::uint64_t nCharged = 0;
    for (int k = 0; k < kClasses; k++) {
      EXPECT_EQ(cal.aClasses[k].nSeconds, c.anSeconds[k]) << "class " << k;
      EXPECT_EQ(cal.aClasses[k].nObjects, c.anObjects[k]) << "class " << k;
      nCharged += cal.aClasses[k].nSeconds;
    }
    EXPECT_EQ(cal.nOtherSeconds, c.anTotals[0]);
    EXPECT_EQ(cal.nGaps, c.anTotals[1]);
    EXPECT_EQ(cal.nGapTotal, c.anTotals[2]);
    EXPECT_EQ(cal.nDayTurns, c.anTotals[3]);
    // Every step lands somewhere: the span is busy time plus gaps.
    std::uint64_t nSpan = cal.nDayTurns * kDay + static_cast<std::uint64_t>(cal.nLastSecond) -
                          static_cast<std::uint64_t>(cal.nFirstSecond);
    EXPECT_EQ(nSpan, nCharged + cal.nOtherSeconds + cal.nGapTotal);
  }
}

TEST(CalibrateLine, ClassesAndBytesOfEveryObject) {
  Calibration cal;
  startCalibration(cal, 60);
  calibrateLine(cal, true, 0, true, 5119, 0);
  calibrateLine(cal, true, 1, true, 5120, 1);
  calibrateLine(cal, true, 2, true, ~std::uint64_t{0}, 3);
  calibrateLine(cal, true, 3, true, 2, 3);    // saturates, never wraps
  calibrateLine(cal, false, 0, true, 7, -1);  // out of range: the nearest class
  calibrateLine(cal, true, 4, true, 9, 4);
  EXPECT_EQ(cal.aClasses[0].nLogObjects, 2u);
  EXPECT_EQ(cal.aClasses[0].nLogBytes, 5126u);
  EXPECT_EQ(cal.aClasses[1].nLogBytes, 5120u);
  EXPECT_EQ(cal.aClasses[3].nLogObjects, 3u);
  EXPECT_EQ(cal.aClasses[3].nLogBytes, ~std::uint64_t{0});
  EXPECT_EQ(cal.aClasses[3].nBytes, ~std::uint64_t{0});
  EXPECT_EQ(cal.nTimedObjects, 5u);
  EXPECT_EQ(cal.nUntimedObjects, 1u);
}

// The cost-and-bandwidth fit on classes whose seconds follow a model.
TEST(FinishCalibration, FitsCostAndBandwidth) {
  const double kCost = 0.025;         // seconds per object
  const double kPerByte = 1.0 / 3e6;  // 3 MB/s
  const double kTruth = -1, kPositive = -2;
  struct Case {
    const char* szName;
    std::uint64_t anTallies[4][2];  // objects and bytes per class
    double dCost, dPerByte;         // of the classes' seconds
    int nFitClasses;
    double dWantCost, dWantPerByte;  // what the fit gives, or kTruth, or kPositive
    bool abFilled[4];
    bool bOneRate;  // all four rates are the same
  };
  // clang-format off
  const Case cases[] = {
      {"all four classes",
       {{40000, 60000000}, {20000, 400000000}, {8000, 1600000000}, {2000, 20000000000}},
       kCost, kPerByte, 4, kTruth, kTruth, {false, false, false, false}, false},
      {"a class without objects",
       {{40000, 60000000}, {0, 0}, {8000, 1600000000}, {2000, 20000000000}},
       kCost, kPerByte, 3, kTruth, kTruth, {false, true, false, false}, false},
      {"all objects in one class: one rate for all", {{0, 0}, {20000, 400000000}, {0, 0}, {0, 0}},
       kCost, kPerByte, 1, 0, (20000 * kCost + 400000000 * kPerByte) / 400000000,
       {true, false, true, true}, true},
      {"objects without bytes: all cost", {{5000, 0}, {0, 0}, {0, 0}, {0, 0}},
       kCost, kPerByte, 1, kCost, 0, {false, true, true, true}, false},
      {"a negative cost is held at 0", {{1000, 2000000}, {1000, 20000000}, {0, 0}, {0, 0}},
       -0.1, 1.0 / 10000, 2, 0, kPositive, {false, false, true, true}, false},
      {"a negative cost per byte is held at 0",
       {{1000, 2000000}, {0, 0}, {0, 0}, {1000, 1000000000}},
       1.0, -1e-7, 2, kPositive, 0, {false, true, true, false}, false},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.szName);
    CalibrationResult result;
    int nStatus;
    EXPECT_EQ(stderrOf(fromModel(c.anTallies, c.dCost, c.dPerByte), result, nStatus), "");
    ASSERT_EQ(nStatus, 0);
    EXPECT_EQ(result.nFitClasses, c.nFitClasses);
    // Whole seconds blur the model's seconds a little.
    if (c.dWantCost == kPositive) {
      EXPECT_GT(result.dCostSeconds, 0);
    } else {
      double dCost = c.dWantCost == kTruth ? c.dCost : c.dWantCost;
      EXPECT_NEAR(result.dCostSeconds, dCost, 5e-3 * dCost);
    }
    if (c.dWantPerByte == kPositive) {
      EXPECT_GT(result.dSecondsPerByte, 0);
    } else {
      double dPerByte = c.dWantPerByte == kTruth ? c.dPerByte : c.dWantPerByte;
      EXPECT_NEAR(result.dSecondsPerByte, dPerByte, 5e-3 * dPerByte);
    }
    EXPECT_GE(result.dCostSeconds, 0);
    EXPECT_GE(result.dSecondsPerByte, 0);
    EXPECT_EQ(std::isinf(result.dBandwidthKBps), result.dSecondsPerByte == 0);
    for (int k = 0; k < kClasses; k++) {
      EXPECT_EQ(result.aClasses[k].bFilled, c.abFilled[k]) << "class " << k;
      EXPECT_GE(result.aClasses[k].nRateKBps, 1u);
      if (c.bOneRate) {
        EXPECT_EQ(result.aClasses[k].nRateKBps, result.aClasses[1].nRateKBps);
      }
    }
  }
}

// A class of a few seconds is far from its true time: it pulls the model
// only a little, where a fit of equal weights would follow it.
TEST(FinishCalibration, AClassOfFewSecondsWeighsLittle) {
  const double kCost = 0.025, kPerByte = 1.0 / 3e6;
  const std::uint64_t anTallies[4][2] = {
      {40000, 60000000}, {20000, 400000000}, {99, 10000000}, {2000, 20000000000}};
  Calibration cal = fromModel(anTallies, kCost, kPerByte);
  cal.aClasses[2].nSeconds *= 2;
  CalibrationResult result;
  ASSERT_EQ(finishCalibration(cal, result), 0);
  EXPECT_EQ(result.nFitClasses, 4);
  EXPECT_NEAR(result.dCostSeconds, kCost, 0.03 * kCost);
  EXPECT_NEAR(result.dSecondsPerByte, kPerByte, 0.03 * kPerByte);
  EXPECT_TRUE(result.aClasses[2].bFilled);
}

// Fill-in: which classes take the model's rate, and at which size.
TEST(FinishCalibration, FillsInPoorlyMeasuredClasses) {
  struct Case {
    std::uint64_t nObjects, nBytes, nSeconds, nLogObjects, nLogBytes;
    bool bFilled, bNominal;
    double dSize;
  };
  const Case cases[] = {
      {99, 99000000, 1000, 99, 99000000, true, false, 1000000},
      {100, 100000000, 9, 100, 100000000, true, false, 1000000},
      {100, 100000000, 10, 100, 100000000, false, false, 0},
      {0, 0, 0, 0, 0, true, true, 102400},
      {3, 3000000, 2, 5, 7000000, true, false, 1400000},  // unmeasured objects count too
      {50, 0, 20, 50, 0, true, true, 102400},             // 0 bytes: the nominal size
      {0, 0, 0, 2, 5000000, true, false, 2500000},        // none measured: the log's average
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.nObjects << " objects, " << c.nSeconds << " s");
    const std::uint64_t anTallies[4][2] = {
        {40000, 60000000}, {20000, 400000000}, {0, 0}, {2000, 20000000000}};
    Calibration cal = fromModel(anTallies, 0.025, 1.0 / 3e6);
    CalibrationClass& tally = cal.aClasses[2];
    tally = {c.nObjects, c.nBytes, c.nSeconds, c.nLogObjects, c.nLogBytes};
    CalibrationResult result;
    ASSERT_EQ(finishCalibration(cal, result), 0);
    const CalibrationClassResult& out = result.aClasses[2];
    EXPECT_EQ(out.bFilled, c.bFilled);
    EXPECT_EQ(out.bNominalSize, c.bNominal);
    double dWant = c.bFilled ? modelRateKBps(result, c.dSize)
                             : static_cast<double>(c.nBytes) / 1024 / c.nSeconds;
    EXPECT_EQ(out.nRateKBps, static_cast<std::uint64_t>(std::llround(dWant)));
    if (c.bFilled) {
      EXPECT_DOUBLE_EQ(out.dModelSize, c.dSize);
    }
  }
}

TEST(FinishCalibration, RatesAreWholeAndAtLeastOne) {
  // {bytes, seconds} of a well-measured class 3 -> its rate in KB/s.
  const std::uint64_t anCases[][3] = {
      {1024 * 100, 200, 1},  // 0.5 KB/s
      {1024 * 250, 100, 3},  // 2.5 rounds up
      {1024 * 249, 100, 2},
      {0, 100, 1},
      {~std::uint64_t{0}, 10, 1000000000000},  // held at the ceiling
  };
  for (const auto& c : anCases) {
    SCOPED_TRACE(c[0]);
    const std::uint64_t anTallies[4][2] = {{40000, 60000000}, {20000, 400000000}, {0, 0}, {0, 0}};
    Calibration cal = fromModel(anTallies, 0.025, 1.0 / 3e6);
    cal.aClasses[3] = {1000, c[0], c[1], 1000, c[0]};
    CalibrationResult result;
    ASSERT_EQ(finishCalibration(cal, result), 0);
    EXPECT_EQ(result.aClasses[3].nRateKBps, c[2]);
  }
}

// Logs rates cannot be learnt from, and the shortest one they can.
TEST(FinishCalibration, RefusesLogsWithoutMeasurableTime) {
  const std::string kNoTimes =
      "error: the log's lines carry no time of day; rates cannot be learnt from it\n";
  struct Case {
    const char* szName;
    std::vector<Line> lines;
    const char* szError;  // nullptr: the rates are learnt
  };
  const char* const kNoObjects = "error: the log holds no line that sends an object";
  const char* const kNoSecond = "error: no object in the log took a measurable second";
  // clang-format off
  const Case cases[] = {
      {"no lines", {}, kNoObjects},
      {"no objects", {{0, kNoObject}, {5, kNoObject}}, kNoObjects},
      {"objects without times", {{0, kNoObject}, {kNoTime, 10}, {kNoTime, 20}, {9, kNoObject}},
       kNoTimes.c_str()},
      {"one timed object", {{0, kNoObject}, {5, 10}, {kNoTime, 20}, {9, kNoObject}},
       "error: the log holds only one object with a time of day"},
      {"a log of one second", {{7, 10}, {7, 10}, {7, 600000}}, kNoSecond},
      {"objects only after gaps", {{0, 10}, {100, 10}, {200, 10}}, kNoSecond},
      {"a log spanning one second", {{7, 10}, {7, 10}, {8, 600000}, {8, 10}}, nullptr},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.szName);
    CalibrationResult result;
    int nStatus;
    std::string sError = stderrOf(calibrate(c.lines), result, nStatus);
    if (c.szError == nullptr) {
      EXPECT_EQ(nStatus, 0);
      EXPECT_EQ(sError, "");
      EXPECT_EQ(result.nBusySeconds, 1u);
      for (const CalibrationClassResult& out : result.aClasses) EXPECT_TRUE(out.bFilled);
    } else {
      EXPECT_EQ(nStatus, 1);
      EXPECT_EQ(sError.rfind(c.szError, 0), 0u) << sError;
      EXPECT_EQ(sError.find('\n'), sError.size() - 1) << sError;
      EXPECT_NE(sError.find("; rates cannot be learnt from it\n"), std::string::npos);
    }
  }
}

// Uniform in [0, 1) from the engine's bits, the same on every platform.
double uniform(std::mt19937_64& random) {
  return static_cast<double>(random() >> 11) * (1.0 / 9007199254740992.0);
}

double normal(std::mt19937_64& random) {
  double dU = 1.0 - uniform(random);
  return std::sqrt(-2.0 * std::log(dU)) * std::cos(6.283185307179586 * uniform(random));
}

// A session drawn from a known model, with one-second stamps written when
// each object is done, idle waits of minutes and a midnight turn: the fit
// finds the model again, and the rates give back the session's busy time.
TEST(CalibrateModel, LearnsASimulatedSession) {
  const double kCost = 0.020;
  const double kPerByte = 1.0 / (4000.0 * 1024);  // 4000 KB/s
  const int kObjects = 100000;
  std::mt19937_64 random(12);
  Calibration cal;
  startCalibration(cal, kDefaultGapSeconds);
  double dClock = 23.0 * 3600;  // seconds since the start of the first day
  double dBusy = 0;
  std::uint64_t anBytes[4] = {};
  calibrateLine(cal, true, static_cast<int>(dClock), false, 0, 0);
  for (int i = 0; i < kObjects; i++) {
    if (uniform(random) < 1.0 / 10000) {  // an idle wait, announced by a line
      dClock += 120 + 600 * uniform(random);
      calibrateLine(cal, true, static_cast<int>(dClock) % kDay, false, 0, 0);
    }
    auto nSize = static_cast<std::uint64_t>(std::exp(std::log(8000.0) + 2.0 * normal(random)));
    double dSeconds =
        (kCost + static_cast<double>(nSize) * kPerByte) * (0.7 + 0.6 * uniform(random));
    dClock += dSeconds;
    dBusy += dSeconds;
    int nClass = classOf(nSize);
    anBytes[nClass] += nSize;
    calibrateLine(cal, true, static_cast<int>(dClock) % kDay, true, nSize, nClass);
  }
  CalibrationResult result;
  ASSERT_EQ(finishCalibration(cal, result), 0);
  EXPECT_GE(result.nDayTurns, 1u);
  EXPECT_GT(result.nGaps, 0u);
  EXPECT_EQ(result.nFitClasses, 4);
  EXPECT_NEAR(result.dCostSeconds, kCost, 0.10 * kCost);
  EXPECT_NEAR(result.dSecondsPerByte, kPerByte, 0.10 * kPerByte);
  // What the estimate makes of the same log with the learnt rates.
  std::uint64_t nEstimate = 0;
  for (int k = 0; k < kClasses; k++) {
    EXPECT_FALSE(result.aClasses[k].bFilled);
    nEstimate += anBytes[k] / (result.aClasses[k].nRateKBps * 1024);
  }
  EXPECT_NEAR(static_cast<double>(nEstimate), dBusy, 0.03 * dBusy);
}

// A line stamped with date and time, as the log's reader hands it over.
struct DatedLine {
  const char* szWhen;  // YYYY-MM-DDThh:mm:ss, or hh:mm:ss for a line without a date
  std::uint64_t nSize;
};

LineTime timeOf(const char* szWhen) {
  LineTime time;
  time.bTimed = true;
  if (std::strlen(szWhen) == 8) {  // hh:mm:ss
    time.nSecondOfDay = ((szWhen[0] - '0') * 10 + szWhen[1] - '0') * 3600 +
                        ((szWhen[3] - '0') * 10 + szWhen[4] - '0') * 60 + (szWhen[6] - '0') * 10 +
                        szWhen[7] - '0';
    return time;
  }
  EXPECT_TRUE(parseSince(szWhen, time.nMoment)) << szWhen;
  time.bDated = true;
  time.nSecondOfDay = static_cast<int>(momentSeconds(time.nMoment) % kDay);
  return time;
}

Calibration calibrateDated(const std::vector<DatedLine>& lines,
                           std::uint64_t nSessionGap = kDefaultSessionGapSeconds) {
  Calibration cal;
  startCalibration(cal, kDefaultGapSeconds, nSessionGap);
  for (const DatedLine& line : lines) {
    bool bObject = line.nSize != kNoObject;
    calibrateTimedLine(cal, timeOf(line.szWhen), bObject, bObject ? line.nSize : 0,
                       bObject ? classOf(line.nSize) : 0);
  }
  return cal;
}

// Dated lines: steps across days, months and years are their true length,
// a step back is charged to nothing, and a line without a date is read by
// its time of day alone.
TEST(CalibrateTimedLine, MeasuresStepsFromDateAndTime) {
  struct Case {
    const char* szName;
    std::vector<DatedLine> lines;
    std::uint64_t nCharged;  // seconds charged to class 0
    std::uint64_t nGapTotal;
    std::uint64_t nBackSteps;
    std::uint64_t nDayTurns;
  };
  const std::uint64_t k = 100;
  // clang-format off
  const Case cases[] = {
      {"the next night starts later in the day: a gap, not 31 s",
       {{"2026-12-05T22:04:50", k}, {"2026-12-05T22:04:59", k}, {"2026-12-06T22:05:30", k}},
       9, kDay + 31, 0, 1},
      {"end of a month", {{"2026-11-30T23:59:58", k}, {"2026-12-01T00:00:03", k}}, 5, 0, 0, 1},
      {"leap day", {{"2028-02-28T23:59:59", k}, {"2028-02-29T00:00:01", k}}, 2, 0, 0, 1},
      {"no leap day", {{"2027-02-28T23:59:59", k}, {"2027-03-01T00:00:02", k}}, 3, 0, 0, 1},
      {"end of a year", {{"2026-12-31T23:59:59", k}, {"2027-01-01T00:00:04", k}}, 5, 0, 0, 1},
      {"a clock set back: not charged, the next step counts from it",
       {{"2026-12-06T10:00:00", k}, {"2026-12-06T09:59:00", k}, {"2026-12-06T09:59:03", k}},
       3, 0, 1, 0},
      {"a date back but a later time of day is a step back too",
       {{"2026-12-06T10:00:00", k}, {"2026-12-05T10:00:05", k}, {"2026-12-05T10:00:06", k}},
       1, 0, 1, 0},
      {"a line without a date: the time of day turns the day",
       {{"2026-12-06T23:59:58", k}, {"00:00:01", k}, {"2026-12-07T00:00:02", k}},
       4, 0, 0, 1},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.szName);
    Calibration cal = calibrateDated(c.lines);
    EXPECT_EQ(cal.aClasses[0].nSeconds, c.nCharged);
    EXPECT_EQ(cal.nGapTotal, c.nGapTotal);
    EXPECT_EQ(cal.nBackSteps, c.nBackSteps);
    EXPECT_EQ(cal.nDayTurns, c.nDayTurns);
    // The first and the last line in file order, a step back or not.
    LineTime first = timeOf(c.lines.front().szWhen);
    LineTime last = timeOf(c.lines.back().szWhen);
    EXPECT_EQ(cal.firstTime.bDated, first.bDated);
    EXPECT_EQ(cal.firstTime.nMoment, first.nMoment);
    EXPECT_EQ(cal.lastTime.bDated, last.bDated);
    EXPECT_EQ(cal.lastTime.nMoment, last.nMoment);
    EXPECT_EQ(cal.lastTime.nSecondOfDay, last.nSecondOfDay);
  }
}

// When no second was measured, the message says why: a time that goes back
// at most steps (dated, or as turns of the day without dates) is a log in
// reverse order; and object lines whose sizes pass 2^63 - 1 are no objects.
TEST(FinishCalibration, SaysWhyNothingWasLearnt) {
  const char* const kNoSecond = "error: no object in the log took a measurable second";
  const char* const kBackwards = "error: the log's time goes back at ";
  const struct {
    const char* szName;
    std::vector<DatedLine> lines;
    int nTooLarge;  // object lines of sizes past 2^63 - 1 besides
    const char* szError;
  } kCases[] = {
      {"dated, in reverse order",
       {{"2026-12-06T10:00:09", 10}, {"2026-12-06T10:00:05", 10}, {"2026-12-06T10:00:01", 10}},
       0,
       "error: the log's time goes back at 2 of its 2 steps between timed lines, as if its lines "
       "were in reverse order; rates cannot be learnt from it\n"},
      {"undated, in reverse order",
       {{"10:00:09", 10}, {"10:00:05", 10}, {"10:00:01", 10}, {"09:59:57", 10}},
       0,
       "error: the log's time goes back at 3 of its 3 steps between timed lines, as if its lines "
       "were in reverse order; rates cannot be learnt from it\n"},
      {"back at half the steps",
       {{"10:00:00", 10}, {"10:05:00", 10}, {"10:04:00", 10}},
       0,
       kBackwards},
      {"back at fewer than half",
       {{"10:00:00", 10}, {"10:05:00", 10}, {"10:10:00", 10}, {"10:09:00", 10}},
       0,
       kNoSecond},
      {"every size too large",
       {{"10:00:00", kNoObject}, {"10:00:05", kNoObject}},
       3,
       "error: each of the log's 3 object lines has a size too large to be a file's (over "
       "9223372036854775807 bytes); rates cannot be learnt from it\n"},
      {"one size too large, others learnt from",
       {{"10:00:00", 10}, {"10:00:02", 10}, {"10:00:03", 10}},
       1,
       nullptr},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.szName);
    Calibration cal = calibrateDated(c.lines);
    for (int i = 0; i < c.nTooLarge; i++) calibrateTooLarge(cal);
    CalibrationResult result;
    int nStatus;
    std::string sError = stderrOf(cal, result, nStatus);
    if (c.szError == nullptr) {
      EXPECT_EQ(nStatus, 0);
      EXPECT_EQ(result.nTooLarge, static_cast<std::uint64_t>(c.nTooLarge));
    } else {
      EXPECT_EQ(nStatus, 1);
      EXPECT_EQ(sError.rfind(c.szError, 0), 0u) << sError;
    }
  }
}

// Sessions: a step past the session gap starts one; those of enough objects
// and busy seconds are fitted alone, and their fits give the spread.
TEST(CalibrateLine, SplitsAndFitsSessions) {
  Calibration cal;
  startCalibration(cal, kDefaultGapSeconds);
  // {first second, objects, seconds between two}, more than 2 hours apart:
  // fitted; at half the speed; one object short; no busy second.
  const int anSessions[4][3] = {{0, 1000, 1}, {10000, 1200, 2}, {20000, 999, 1}, {30000, 1000, 0}};
  for (const auto& session : anSessions) {
    for (int i = 0; i < session[1]; i++) {
      calibrateLine(cal, true, session[0] + i * session[2], true, 1000, 0);
    }
  }
  CalibrationResult result;
  ASSERT_EQ(finishCalibration(cal, result), 0);
  ASSERT_EQ(result.nSessions, 4u);
  ASSERT_EQ(result.sessions.size(), 4u);
  const bool abFitted[] = {true, true, false, false};
  const std::uint64_t anBusy[] = {999, 2398, 998, 0};
  for (int i = 0; i < 4; i++) {
    SCOPED_TRACE(i);
    EXPECT_EQ(result.sessions[i].bFitted, abFitted[i]);
    EXPECT_EQ(result.sessions[i].nBusySeconds, anBusy[i]);
    EXPECT_EQ(result.sessions[i].start.nSecondOfDay, anSessions[i][0]);
  }
  // 1000 bytes a second, one session at half that speed.
  SessionSpread spread = sessionSpread(result, 100, 1000000);
  EXPECT_EQ(spread.nSessions, 2);
  EXPECT_NEAR(static_cast<double>(spread.nFastest), 1000, 2);
  EXPECT_NEAR(static_cast<double>(spread.nSlowest), 2000, 4);

  // A step of exactly the session gap stays within the session.
  startCalibration(cal, kDefaultGapSeconds, 3600);
  for (int nSecond : {0, 3600, 3601, 7202}) calibrateLine(cal, true, nSecond, true, 100, 0);
  ASSERT_EQ(finishCalibration(cal, result), 0);
  EXPECT_EQ(result.nSessions, 2u);
  EXPECT_EQ(result.sessions[0].nObjects, 3u);
}

// A log whose every step starts a session keeps a bounded list of them.
TEST(CalibrateTimedLine, KeepsFewSmallSessions) {
  Calibration cal;
  startCalibration(cal, kDefaultGapSeconds, 10);
  for (int i = 0; i < 1000; i++) calibrateLine(cal, true, i * 11 % kDay, true, 100, 0);
  calibrateLine(cal, true, 1000 * 11 - 5, true, 100, 0);  // one step within a session
  CalibrationResult result;
  ASSERT_EQ(finishCalibration(cal, result), 0);
  EXPECT_EQ(result.nSessions, 1000u);
  EXPECT_EQ(result.sessions.size(), kListedSmallSessions);
  EXPECT_LE(cal.sessions.size(), kListedSmallSessions + 1);
}

TEST(ModelSeconds, RoundsAndSaturates) {
  EXPECT_EQ(modelSeconds(0.02, 1.0 / 4096000, 1000, 4096000), 21u);
  EXPECT_EQ(modelSeconds(0.0004, 0, 1000, 0), 0u);  // 0.4 s
  EXPECT_EQ(modelSeconds(0.0005, 0, 1000, 0), 1u);
  EXPECT_EQ(modelSeconds(1e9, 1.0, ~std::uint64_t{0}, ~std::uint64_t{0}), ~std::uint64_t{0});
  EXPECT_EQ(modelSeconds(0, 0, 5, 5), 0u);
}

// A measurement: sets whose seconds follow a model exactly give that model
// back, each rate is the set's own bytes over its seconds, and a set that
// copied nothing takes the model's rate at its files' size.
TEST(CalibrateMeasurement, FitsTheSetsAndTakesTheirOwnRates) {
  const double kCost = 0.002, kPerByte = 1.0 / 50e6;  // 2 ms per file, 50 MB/s
  const std::uint64_t anFiles[kMeasureSets] = {5000, 4000, 1500, 40};
  MeasuredClass aSets[kMeasureSets];
  std::uint64_t nAll = 0;
  for (int k = 0; k < kMeasureSets; k++) {
    aSets[k].nObjects = anFiles[k];
    aSets[k].nBytes = anFiles[k] * kMeasureFileSizes[k];
    aSets[k].dSeconds =
        static_cast<double>(anFiles[k]) * kCost + static_cast<double>(aSets[k].nBytes) * kPerByte;
    aSets[k].nRounds = 1;
    nAll += anFiles[k];
  }
  CalibrationResult result;
  calibrateMeasurement(aSets, result);
  EXPECT_EQ(result.nFitClasses, 4);
  EXPECT_NEAR(result.dCostSeconds, kCost, 1e-9);
  EXPECT_NEAR(result.dSecondsPerByte, kPerByte, 1e-15);
  EXPECT_NEAR(result.dBandwidthKBps, 50e6 / 1024, 1e-3);
  EXPECT_EQ(result.nLogObjects, nAll);
  EXPECT_EQ(result.nSessions, 0u);
  for (int k = 0; k < kMeasureSets; k++) {
    SCOPED_TRACE(k);
    const CalibrationClassResult& c = result.aClasses[k];
    double dKBps = static_cast<double>(aSets[k].nBytes) / 1024 / aSets[k].dSeconds;
    EXPECT_EQ(c.nObjects, anFiles[k]);
    EXPECT_EQ(c.nLogBytes, aSets[k].nBytes);
    EXPECT_DOUBLE_EQ(c.dMeasuredKBps, dKBps);
    EXPECT_EQ(c.nRateKBps, static_cast<std::uint64_t>(std::llround(dKBps)));
    EXPECT_FALSE(c.bFilled);
  }

  // The 100 KiB set copied nothing: filled in from the three others' model.
  aSets[2] = MeasuredClass();
  calibrateMeasurement(aSets, result);
  EXPECT_EQ(result.nFitClasses, 3);
  EXPECT_NEAR(result.dCostSeconds, kCost, 1e-9);
  EXPECT_TRUE(result.aClasses[2].bFilled);
  EXPECT_TRUE(result.aClasses[2].bNominalSize);
  EXPECT_EQ(result.aClasses[2].dModelSize, 102400.0);
  EXPECT_EQ(
      result.aClasses[2].nRateKBps,
      static_cast<std::uint64_t>(std::llround(102400.0 / (kCost + 102400 * kPerByte) / 1024)));
}

// A set's rate is whole KB/s, rounded to the nearest, at least 1 and at most
// 10^12, as the estimate takes them; whole seconds round alike.
TEST(CalibrateMeasurement, RoundsRatesAndSeconds) {
  struct Case {
    std::uint64_t nBytes;
    double dSeconds;
    std::uint64_t nRate;
    std::uint64_t nSeconds;
  };
  const Case cases[] = {
      {1024, 1.0, 1, 1},
      {1535, 1.0, 1, 1},
      {1536, 1.0, 2, 1},
      {100, 1.0, 1, 1},
      {1024, 2.5, 1, 3},
      {1024 * 1000, 0.4999, 2000, 0},
      {~std::uint64_t{0}, 1e-9, 1000000000000, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.nBytes);
    MeasuredClass aSets[kMeasureSets];
    for (MeasuredClass& set : aSets) set = {1, c.nBytes, c.dSeconds, 1};
    CalibrationResult result;
    calibrateMeasurement(aSets, result);
    EXPECT_EQ(result.aClasses[0].nRateKBps, c.nRate);
    EXPECT_EQ(result.aClasses[0].nSeconds, c.nSeconds);
  }
}

}  // namespace
