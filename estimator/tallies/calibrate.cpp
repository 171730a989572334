#include "tallies/calibrate.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <limits>

#include "tallies/classes.h"

namespace {

const int kSecondsPerDay = 86400;
const double kBytesPerKB = 1024.0;

// The sizes at which each class's rate is measured by hand: a class the log
// has no objects of takes the model's rate there.
const double kNominalSizes[kClasses] = {1024.0, 10240.0, 102400.0, 10485760.0};

// The estimate multiplies a rate by 1024 in 64 bits; this bound keeps that,
// and the conversion from a double, defined.
const double kMaxRateKBps = 1e12;

int clampClass(int nClass) {
  if (nClass < 0) return 0;
  return nClass >= kClasses ? kClasses - 1 : nClass;
}

bool isWellMeasured(const CalibrationClass& tally) {
  return tally.nObjects >= kWellMeasuredObjects && tally.nSeconds >= kWellMeasuredSeconds;
}

// Whole KB/s, at least 1: the estimate takes no fractions, and a rate of 0
// would make a class's time silently 0.
std::uint64_t wholeRate(double dKBps) {
  if (!(dKBps >= 1.0)) return 1;  // NaN too
  if (dKBps > kMaxRateKBps) dKBps = kMaxRateKBps;
  return static_cast<std::uint64_t>(std::llround(dKBps));
}

int reportError(const char* szWhy) {
  std::fprintf(stderr, "error: %s; rates cannot be learnt from it\n", szWhy);
  return 1;
}

// Why no object took a measurable second: most steps went back in time (a
// log in reverse order, whose dated steps back are charged to nothing and
// whose undated ones read as turns of the day, each an idle gap), or all
// took less than a second or followed an idle gap.
int reportNoMeasuredSecond(const Calibration& cal) {
  std::uint64_t nBack = cal.nBackSteps + cal.nTurnSteps;
  if (nBack == 0 || nBack < cal.nSteps - nBack) {
    return reportError(
        "no object in the log took a measurable second (all within one second, or each after an "
        "idle gap)");
  }
  std::fprintf(stderr,
               "error: the log's time goes back at %" PRIu64 " of its %" PRIu64
               " steps between timed lines, as if its lines were in reverse order; rates cannot "
               "be learnt from it\n",
               nBack, cal.nSteps);
  return 1;
}

// The fit works on each class's equation divided by its seconds,
//   1 = (objects / seconds) * cost + (bytes / seconds) * secondsPerByte,
// so that classes are matched in relative terms: the small objects' few
// seconds count as much as the large ones' many. Each equation is weighted by
// the inverse of its expected relative variance: 1 / seconds from the
// one-second stamps, plus kModelSpread squared for what the model itself
// misses within a class. A class of a few seconds still informs the fit, a
// little; beyond a few hundred seconds all classes count alike.
const double kModelSpread = 0.05;

struct FitRows {
  double adObjects[kClasses];
  double adBytes[kClasses];
  double adWeight[kClasses];
  int nRows;
};

// One class as the fit sees it: objects, bytes and the seconds they took,
// whole seconds from a log or fractions from a measurement.
struct ClassSample {
  double dObjects;
  double dBytes;
  double dSeconds;
};

// Every class with a measured second takes part.
FitRows fitRows(const ClassSample* aSamples) {
  FitRows rows{};
  for (int k = 0; k < kClasses; k++) {
    const ClassSample& sample = aSamples[k];
    if (sample.dObjects == 0 || !(sample.dSeconds > 0)) continue;
    double dSeconds = sample.dSeconds;
    rows.adObjects[rows.nRows] = sample.dObjects / dSeconds;
    rows.adBytes[rows.nRows] = sample.dBytes / dSeconds;
    rows.adWeight[rows.nRows] = 1.0 / (1.0 / dSeconds + kModelSpread * kModelSpread);
    rows.nRows++;
  }
  return rows;
}

double squaredResidual(const FitRows& rows, double dCost, double dPerByte) {
  double dSum = 0;
  for (int i = 0; i < rows.nRows; i++) {
    double d = 1.0 - rows.adObjects[i] * dCost - rows.adBytes[i] * dPerByte;
    dSum += rows.adWeight[i] * d * d;
  }
  return dSum;
}

// Least squares for cost >= 0 and seconds per byte >= 0: the free solution
// when it keeps both signs, else the better of the two edges where one of
// them is 0. With one class, or classes of one average size, cost and
// bandwidth cannot be told apart: all the time counts as bandwidth (the
// single-rate model a measurement by hand gives), or as cost when the
// class's objects hold no bytes.
void fitSamples(const ClassSample* aSamples, CalibrationResult& result) {
  FitRows rows = fitRows(aSamples);
  double dAA = 0, dAB = 0, dBB = 0, dA = 0, dB = 0;
  for (int i = 0; i < rows.nRows; i++) {
    double dW = rows.adWeight[i];
    dAA += dW * rows.adObjects[i] * rows.adObjects[i];
    dAB += dW * rows.adObjects[i] * rows.adBytes[i];
    dBB += dW * rows.adBytes[i] * rows.adBytes[i];
    dA += dW * rows.adObjects[i];
    dB += dW * rows.adBytes[i];
  }
  result.nFitClasses = rows.nRows;
  double dCost = 0;
  double dPerByte = 0;
  double dDeterminant = dAA * dBB - dAB * dAB;
  if (rows.nRows >= 2 && dDeterminant > 1e-9 * dAA * dBB) {
    dCost = (dBB * dA - dAB * dB) / dDeterminant;
    dPerByte = (dAA * dB - dAB * dA) / dDeterminant;
    if (dCost < 0 || dPerByte < 0) {
      double dBytesOnly = dBB > 0 ? dB / dBB : 0;
      double dCostOnly = dAA > 0 ? dA / dAA : 0;
      bool bBytes =
          dBB > 0 && squaredResidual(rows, 0, dBytesOnly) <= squaredResidual(rows, dCostOnly, 0);
      dCost = bBytes ? 0 : dCostOnly;
      dPerByte = bBytes ? dBytesOnly : 0;
    }
  } else if (dBB > 0) {
    dPerByte = dB / dBB;
  } else if (dAA > 0) {
    dCost = dA / dAA;
  }
  result.dCostSeconds = dCost;
  result.dSecondsPerByte = dPerByte;
  result.dBandwidthKBps =
      dPerByte > 0 ? 1.0 / (dPerByte * kBytesPerKB) : std::numeric_limits<double>::infinity();
}

// The fit of a log's classes: their measured objects, bytes and seconds.
void fitModel(const CalibrationClass* aClasses, CalibrationResult& result) {
  ClassSample aSamples[kClasses];
  for (int k = 0; k < kClasses; k++) {
    aSamples[k] = {static_cast<double>(aClasses[k].nObjects),
                   static_cast<double>(aClasses[k].nBytes),
                   static_cast<double>(aClasses[k].nSeconds)};
  }
  fitSamples(aSamples, result);
}

void setRate(const CalibrationClass& tally, int nClass, CalibrationResult& result) {
  CalibrationClassResult& out = result.aClasses[nClass];
  out.nObjects = tally.nObjects;
  out.nBytes = tally.nBytes;
  out.nSeconds = tally.nSeconds;
  out.nLogObjects = tally.nLogObjects;
  out.nLogBytes = tally.nLogBytes;
  out.dMeasuredKBps = tally.nSeconds == 0 ? 0
                                          : static_cast<double>(tally.nBytes) / kBytesPerKB /
                                                static_cast<double>(tally.nSeconds);
  out.bFilled = !isWellMeasured(tally);
  out.bNominalSize = out.bFilled && tally.nLogBytes == 0;
  out.dModelSize = 0;
  if (!out.bFilled) {
    out.nRateKBps = wholeRate(out.dMeasuredKBps);
    return;
  }
  // An average of 0 bytes (directories only) says nothing of the rate of
  // files: the nominal size stands in for it.
  out.dModelSize = out.bNominalSize ? kNominalSizes[nClass]
                                    : static_cast<double>(tally.nLogBytes) /
                                          static_cast<double>(tally.nLogObjects);
  out.nRateKBps = wholeRate(modelRateKBps(result, out.dModelSize));
}

bool isFittable(const CalibrationSession& session) {
  return session.nObjects >= kSessionFitObjects && session.nBusySeconds >= kSessionFitSeconds;
}

// Starts a session at the line of the time given. A small session that ends
// past the number kept gives its place to the new one.
void startSession(Calibration& cal, const LineTime& time) {
  if (!cal.sessions.empty() && !isFittable(cal.sessions.back())) {
    if (cal.nListedSmall >= kListedSmallSessions) {
      cal.nUnlistedSessions++;
      cal.sessions.pop_back();
    } else {
      cal.nListedSmall++;
    }
  }
  cal.sessions.emplace_back();
  cal.sessions.back().start = time;
}

void countSessionObject(Calibration& cal, bool bObject) {
  if (bObject && !cal.sessions.empty()) cal.sessions.back().nObjects++;
}

// The step from the last timed line to this one, in seconds; false for a
// step back in date and time.
bool stepOf(const Calibration& cal, const LineTime& time, std::int64_t nMomentSeconds,
            std::uint64_t& nStep) {
  if (time.bDated && cal.bLastDated) {
    if (nMomentSeconds < cal.nLastMomentSeconds) return false;
    nStep = static_cast<std::uint64_t>(nMomentSeconds - cal.nLastMomentSeconds);
  } else if (time.nSecondOfDay >= cal.nLastSecond) {
    nStep = static_cast<std::uint64_t>(time.nSecondOfDay - cal.nLastSecond);
  } else {
    nStep = static_cast<std::uint64_t>(time.nSecondOfDay + kSecondsPerDay - cal.nLastSecond);
  }
  return true;
}

void finishSessions(const Calibration& cal, CalibrationResult& result) {
  result.nSessionGapSeconds = cal.nSessionGapSeconds;
  result.nSessions = cal.sessions.size() + cal.nUnlistedSessions;
  for (const CalibrationSession& session : cal.sessions) {
    SessionResult out{};
    out.start = session.start;
    out.nObjects = session.nObjects;
    out.nBusySeconds = session.nBusySeconds;
    out.bFitted = isFittable(session);
    // The last session, when small, is weighed against the number kept here.
    bool bLast = &session == &cal.sessions.back();
    if (!out.bFitted && bLast && cal.nListedSmall >= kListedSmallSessions) break;
    if (out.bFitted) {
      CalibrationResult fit;
      fitModel(session.aClasses, fit);
      out.dCostSeconds = fit.dCostSeconds;
      out.dSecondsPerByte = fit.dSecondsPerByte;
      out.dBandwidthKBps = fit.dBandwidthKBps;
    }
    result.sessions.push_back(out);
  }
}

}  // namespace

void startCalibration(Calibration& cal, std::uint64_t nGapSeconds,
                      std::uint64_t nSessionGapSeconds) {
  cal = Calibration{};
  cal.nGapSeconds = nGapSeconds;
  cal.nSessionGapSeconds = nSessionGapSeconds;
}

void calibrateLine(Calibration& cal, bool bTimed, int nSecondOfDay, bool bObject,
                   std::uint64_t nSize, int nClass) {
  LineTime time;
  time.bTimed = bTimed;
  time.nSecondOfDay = nSecondOfDay;
  calibrateTimedLine(cal, time, bObject, nSize, nClass);
}

void calibrateTimedLine(Calibration& cal, const LineTime& time, bool bObject, std::uint64_t nSize,
                        int nClass) {
  const int nK = clampClass(nClass);
  CalibrationClass& tally = cal.aClasses[nK];
  if (bObject) {
    tally.nLogObjects++;
    tally.nLogBytes = addSaturating(tally.nLogBytes, nSize);
  }
  const int nSecondOfDay = time.nSecondOfDay;
  if (!time.bTimed || nSecondOfDay < 0 || nSecondOfDay >= kSecondsPerDay) {
    if (bObject) {
      cal.nUntimedObjects++;
      cal.bUntimedPending = true;
    }
    countSessionObject(cal, bObject);
    return;
  }
  if (bObject) cal.nTimedObjects++;
  const std::int64_t nMomentSeconds = time.bDated ? momentSeconds(time.nMoment) : 0;
  if (!cal.bStarted) {
    // Nothing tells when the first line's work began.
    cal.bStarted = true;
    cal.bUntimedPending = false;
    cal.nFirstSecond = cal.nLastSecond = nSecondOfDay;
    cal.nFirstClock = cal.nClock = nSecondOfDay;
    cal.bLastDated = time.bDated;
    cal.nLastMomentSeconds = nMomentSeconds;
    cal.firstTime = cal.lastTime = time;
    startSession(cal, time);
    countSessionObject(cal, bObject);
    return;
  }
  std::uint64_t nStep = 0;
  bool bForward = stepOf(cal, time, nMomentSeconds, nStep);
  cal.nSteps++;
  if (bForward && !(time.bDated && cal.bLastDated) && nSecondOfDay < cal.nLastSecond) {
    cal.nTurnSteps++;
  }
  cal.nLastSecond = nSecondOfDay;
  cal.bLastDated = time.bDated;
  cal.nLastMomentSeconds = nMomentSeconds;
  cal.lastTime = time;
  bool bUntimedPending = cal.bUntimedPending;
  cal.bUntimedPending = false;
  if (!bForward) {
    cal.nBackSteps++;
    countSessionObject(cal, bObject);
    return;
  }
  cal.nClock += static_cast<std::int64_t>(nStep);
  cal.nDayTurns =
      static_cast<std::uint64_t>(cal.nClock / kSecondsPerDay - cal.nFirstClock / kSecondsPerDay);
  bool bNewSession = nStep > cal.nSessionGapSeconds;
  if (bNewSession) startSession(cal, time);
  countSessionObject(cal, bObject);
  CalibrationSession& session = cal.sessions.back();
  if (nStep > cal.nGapSeconds || bNewSession) {
    cal.nGaps++;
    cal.nGapTotal += nStep;
  } else if (!bObject || bUntimedPending) {
    cal.nOtherSeconds += nStep;
    session.nBusySeconds += nStep;
  } else {
    tally.nObjects++;
    tally.nBytes = addSaturating(tally.nBytes, nSize);
    tally.nSeconds += nStep;
    CalibrationClass& own = session.aClasses[nK];
    own.nObjects++;
    own.nBytes = addSaturating(own.nBytes, nSize);
    own.nSeconds += nStep;
    session.nBusySeconds += nStep;
  }
}

int finishCalibration(const Calibration& cal, CalibrationResult& result) {
  result = CalibrationResult{};
  result.nGapSeconds = cal.nGapSeconds;
  std::uint64_t nLogObjects = 0;
  std::uint64_t nMeasured = 0;
  for (const CalibrationClass& tally : cal.aClasses) {
    nLogObjects += tally.nLogObjects;
    nMeasured += tally.nObjects;
    result.nObjectSeconds += tally.nSeconds;
  }
  if (nLogObjects == 0 && cal.nTooLarge > 0) {
    std::fprintf(stderr,
                 "error: each of the log's %" PRIu64
                 " object lines has a size too large to be a file's (over "
                 "9223372036854775807 bytes); rates cannot be learnt from it\n",
                 cal.nTooLarge);
    return 1;
  }
  if (nLogObjects == 0) {
    return reportError("the log holds no line that sends an object (with \"-->\")");
  }
  if (cal.nTimedObjects == 0) return reportError("the log's lines carry no time of day");
  if (cal.nTimedObjects < 2) return reportError("the log holds only one object with a time of day");
  if (result.nObjectSeconds == 0) return reportNoMeasuredSecond(cal);
  result.nFirstSecond = cal.nFirstSecond;
  result.nLastSecond = cal.nLastSecond;
  result.first = cal.firstTime;
  result.last = cal.lastTime;
  result.nDayTurns = cal.nDayTurns;
  result.nSpanSeconds = static_cast<std::uint64_t>(cal.nClock - cal.nFirstClock);
  result.nBackSteps = cal.nBackSteps;
  result.nLogObjects = nLogObjects;
  finishSessions(cal, result);
  result.nOtherSeconds = cal.nOtherSeconds;
  result.nBusySeconds = result.nObjectSeconds + cal.nOtherSeconds;
  result.nGaps = cal.nGaps;
  result.nGapTotal = cal.nGapTotal;
  result.nLeftOut = nLogObjects - nMeasured;
  result.nUntimedObjects = cal.nUntimedObjects;
  result.nTooLarge = cal.nTooLarge;
  fitModel(cal.aClasses, result);
  for (int k = 0; k < kClasses; k++) setRate(cal.aClasses[k], k, result);
  return 0;
}

namespace {

// Set i of a measurement is counted as class i: its files' size must lie in it.
constexpr bool eachSetInItsClass() {
  for (int i = 0; i < kMeasureSets; i++) {
    if (sizeClass(kMeasureFileSizes[i]) != i) return false;
  }
  return true;
}
static_assert(kMeasureSets == kClasses, "a measurement has one set a class");
static_assert(eachSetInItsClass(), "each set of a measurement measures its own size class");

std::uint64_t wholeSeconds(double dSeconds) {
  return dSeconds > 0 ? static_cast<std::uint64_t>(std::llround(dSeconds)) : 0;
}

}  // namespace

void calibrateMeasurement(const MeasuredClass (&aSets)[kMeasureSets], CalibrationResult& result) {
  result = CalibrationResult{};
  ClassSample aSamples[kClasses];
  double dSeconds = 0;
  for (int k = 0; k < kClasses; k++) {
    const MeasuredClass& set = aSets[k];
    aSamples[k] = {static_cast<double>(set.nObjects), static_cast<double>(set.nBytes),
                   set.dSeconds};
    result.nLogObjects += set.nObjects;
    if (set.dSeconds > 0) dSeconds += set.dSeconds;
  }
  fitSamples(aSamples, result);
  for (int k = 0; k < kClasses; k++) {
    const MeasuredClass& set = aSets[k];
    CalibrationClassResult& out = result.aClasses[k];
    out.nObjects = out.nLogObjects = set.nObjects;
    out.nBytes = out.nLogBytes = set.nBytes;
    out.nSeconds = wholeSeconds(set.dSeconds);
    bool bMeasured = set.nObjects > 0 && set.dSeconds > 0;
    out.dMeasuredKBps =
        bMeasured ? static_cast<double>(set.nBytes) / kBytesPerKB / set.dSeconds : 0;
    out.bFilled = out.bNominalSize = !bMeasured;
    out.dModelSize = bMeasured ? 0 : static_cast<double>(kMeasureFileSizes[k]);
    out.nRateKBps =
        wholeRate(bMeasured ? out.dMeasuredKBps : modelRateKBps(result, out.dModelSize));
  }
  result.nObjectSeconds = result.nBusySeconds = result.nSpanSeconds = wholeSeconds(dSeconds);
}

void calibrateTooLarge(Calibration& cal) { cal.nTooLarge++; }

double modelRateKBps(const CalibrationResult& result, double dSize) {
  double dSeconds = result.dCostSeconds + dSize * result.dSecondsPerByte;
  if (!(dSeconds > 0)) return kMaxRateKBps;
  double dKBps = dSize / dSeconds / kBytesPerKB;
  return dKBps < kMaxRateKBps ? dKBps : kMaxRateKBps;
}

std::uint64_t modelSeconds(double dCostSeconds, double dSecondsPerByte, std::uint64_t nObjects,
                           std::uint64_t nBytes) {
  double dSeconds =
      dCostSeconds * static_cast<double>(nObjects) + dSecondsPerByte * static_cast<double>(nBytes);
  if (!(dSeconds > 0)) return 0;
  double dRounded = std::floor(dSeconds + 0.5);
  // 2^64 as a double: anything at or past it stays at the largest count.
  return dRounded < 18446744073709551616.0 ? static_cast<std::uint64_t>(dRounded)
                                           : ~std::uint64_t{0};
}

SessionSpread sessionSpread(const CalibrationResult& result, std::uint64_t nObjects,
                            std::uint64_t nBytes) {
  SessionSpread spread{};
  for (const SessionResult& session : result.sessions) {
    if (!session.bFitted) continue;
    std::uint64_t n = modelSeconds(session.dCostSeconds, session.dSecondsPerByte, nObjects, nBytes);
    if (spread.nSessions == 0 || n < spread.nFastest) spread.nFastest = n;
    if (spread.nSessions == 0 || n > spread.nSlowest) spread.nSlowest = n;
    spread.nSessions++;
  }
  return spread;
}

void startLogCalibration(LogCalibration& log, std::uint64_t nGapSeconds,
                         std::uint64_t nSessionGapSeconds, bool bOrderGiven, DateOrder order) {
  startCalibration(log.monthFirst, nGapSeconds, nSessionGapSeconds);
  startCalibration(log.dayFirst, nGapSeconds, nSessionGapSeconds);
  log.evidence = OrderEvidence();
  log.bOrderGiven = bOrderGiven;
  log.order = bOrderGiven ? order : DateOrder::kMonthFirst;
}

void calibrateStampedLine(LogCalibration& log, const LineStamp& stamp, bool bTimed,
                          const Selection& selection, bool bObject, std::uint64_t nSize) {
  if (!log.bOrderGiven) weighStamp(log.evidence, stamp);
  const int nClass = sizeClass(nSize);
  LineTime time;
  time.bTimed = bTimed;
  time.nSecondOfDay = stamp.nSecondOfDay;
  if (selection.bMonthFirst) {
    time.bDated = bTimed && computeMoment(stamp, log.order, time.nMoment);
    calibrateTimedLine(log.monthFirst, time, bObject, nSize, nClass);
  }
  if (selection.bDayFirst && !log.bOrderGiven) {
    time.bDated = bTimed && computeMoment(stamp, DateOrder::kDayFirst, time.nMoment);
    calibrateTimedLine(log.dayFirst, time, bObject, nSize, nClass);
  }
}

void calibrateTooLarge(LogCalibration& log, const Selection& selection) {
  if (selection.bMonthFirst) calibrateTooLarge(log.monthFirst);
  if (selection.bDayFirst && !log.bOrderGiven) calibrateTooLarge(log.dayFirst);
}

// Where no date proves the order (07.12.2026 reads both ways), the readings
// still differ where the date turns: read the wrong way, the next day is a
// month later. The reading with fewer steps back, then the shorter span, is
// taken; month first on a tie.
bool dayFirstFits(const LogCalibration& log) {
  const Calibration& m = log.monthFirst;
  const Calibration& d = log.dayFirst;
  if (d.nBackSteps != m.nBackSteps) return d.nBackSteps < m.nBackSteps;
  return d.nClock - d.nFirstClock < m.nClock - m.nFirstClock;
}

const Calibration& chosenCalibration(const LogCalibration& log) {
  if (log.bOrderGiven) return log.monthFirst;
  OrderVerdict verdict = judgeOrder(log.evidence);
  bool bDayFirst = verdict == OrderVerdict::kUndecided
                       ? dayFirstFits(log)
                       : chooseOrder(log.evidence) == DateOrder::kDayFirst;
  return chosenCalibration(log, bDayFirst);
}

const Calibration& chosenCalibration(const LogCalibration& log, bool bDayFirst) {
  return bDayFirst && !log.bOrderGiven ? log.dayFirst : log.monthFirst;
}
