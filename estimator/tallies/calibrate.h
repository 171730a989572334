// Learns the four rates from a schedule log: how long the session took for
// the objects of each size class.
//
// The log's lines carry the time of day to the second, while a small object
// takes milliseconds. The seconds between one timed line and the next are
// charged to the object of the later line, as the client writes an object's
// line when the object is done: on average this is exact, and the charges of
// all lines add up to the session's busy time. A step longer than the gap
// limit is idle time and is left out, with the object that ends it. A class's
// rate is its bytes over its seconds. Beside the four rates, a fixed cost per
// object plus bytes over a bandwidth is fitted to the classes' seconds; it
// gives the rate of a class the log holds too little of.
//
// Where the lines carry dates, a step is measured from date and time together;
// a step backwards (a clock set back, lines out of order) is charged to
// nothing. Lines without dates take a time earlier than the last one as the
// turn of a day. A step longer than the session gap starts a new session (a
// night, or a run), and a session large enough is fitted alone as well: the
// spread of its fits shows how much the same backup varies.
//
// A measurement of a target (--measure) gives the same result from its four
// sets, each of one class, fitted alike.
//
// The caller reads the lines and hands over plain values, one line at a time;
// the accumulators are of fixed size, whatever the length of the log, but for
// one entry per large session (and at most kListedSmallSessions small ones).
#ifndef PLOMET_ESTIMATOR_CALIBRATE_H_
#define PLOMET_ESTIMATOR_CALIBRATE_H_

#include <cstdint>
#include <vector>

#include "sources/measure.h"
#include "tallies/classes.h"
#include "tallies/dates.h"

/// A class whose measured objects are fewer than this, or whose seconds are
/// fewer than kWellMeasuredSeconds, takes its rate from the model.
const std::uint64_t kWellMeasuredObjects = 100;
const std::uint64_t kWellMeasuredSeconds = 10;

/// A log whose measured objects are fewer than this is too small for its
/// rates to be trusted.
const std::uint64_t kTrustedLogObjects = 1000;

/// Idle steps longer than this many seconds are left out unless told otherwise.
const std::uint64_t kDefaultGapSeconds = 60;

/// Steps longer than this many seconds start a new session unless told otherwise.
const std::uint64_t kDefaultSessionGapSeconds = 7200;

/// A session of at least this many objects and busy seconds is fitted alone.
const std::uint64_t kSessionFitObjects = 1000;
const std::uint64_t kSessionFitSeconds = 60;

/// Sessions too small to fit that are kept to be listed; further ones are
/// only counted, so that a log whose every step is long stays small in memory.
const std::uint64_t kListedSmallSessions = 100;

/// The tallies of one size class.
struct CalibrationClass {
  std::uint64_t nObjects;     // objects whose seconds were measured
  std::uint64_t nBytes;       // their bytes
  std::uint64_t nSeconds;     // the seconds charged to them
  std::uint64_t nLogObjects;  // every object of the class in the log, measured or not
  std::uint64_t nLogBytes;    // their bytes
};

/// When a line was written, as far as it tells.
struct LineTime {
  bool bTimed = false;       // it carries a time of day
  int nSecondOfDay = 0;      // 0 to 86399
  bool bDated = false;       // and a date that is one in the order read
  std::int64_t nMoment = 0;  // then its date and time, as computeMoment makes them
};

/// One session of the log: from a line after a long step to the next such.
struct CalibrationSession {
  LineTime start;                       // of the line that starts it
  std::uint64_t nObjects;               // object lines, timed or not
  std::uint64_t nBusySeconds;           // its steps counted as busy
  CalibrationClass aClasses[kClasses];  // its measured objects (nObjects, nBytes, nSeconds)
};

/// A calibration in progress.
struct Calibration {
  std::uint64_t nGapSeconds;  // the longest step still counted as busy
  CalibrationClass aClasses[kClasses];
  std::uint64_t nOtherSeconds;               // busy seconds charged to no class
  std::uint64_t nGaps;                       // steps left out as idle
  std::uint64_t nGapTotal;                   // their seconds
  std::uint64_t nTimedObjects;               // object lines with a time of day
  std::uint64_t nUntimedObjects;             // object lines without one
  std::uint64_t nDayTurns;                   // times the time of day went backwards
  int nFirstSecond;                          // the first timed line's second of the day
  int nLastSecond;                           // the last one's so far
  bool bStarted;                             // a timed line has been seen
  bool bUntimedPending;                      // objects without a time since the last timed line
  std::uint64_t nSessionGapSeconds;          // the longest step within a session
  std::uint64_t nBackSteps;                  // steps back in date and time, charged to nothing
  bool bLastDated;                           // the last timed line carried a date
  std::int64_t nLastMomentSeconds;           // then its momentSeconds
  std::int64_t nFirstClock;                  // the first timed line's second of the day
  std::int64_t nClock;                       // and the seconds stepped forward from it
  std::vector<CalibrationSession> sessions;  // the last is the current one
  std::uint64_t nListedSmall;                // small sessions kept
  std::uint64_t nUnlistedSessions;           // small sessions only counted
  LineTime firstTime;                        // the first timed line
  LineTime lastTime;                         // and the last one so far, in file order
  std::uint64_t nSteps;                      // steps from one timed line to the next
  std::uint64_t nTurnSteps;                  // those where the time of day alone went back
  std::uint64_t nTooLarge;                   // object lines whose size passed 2^63 - 1
};

/// Starts a calibration that leaves out steps between lines longer than
/// nGapSeconds, and starts a session at a step longer than nSessionGapSeconds.
void startCalibration(Calibration& cal, std::uint64_t nGapSeconds,
                      std::uint64_t nSessionGapSeconds = kDefaultSessionGapSeconds);

/// Takes one line of the log, in file order. bTimed: the line carries a time
/// of day, nSecondOfDay (0 to 86399; any other value counts as no time); a time
/// earlier than the last one means the date turned. bObject: the line sends an
/// object (it holds the arrow) of nSize bytes in size class nClass (0 to 3:
/// below 5120, 51200, 512000 bytes, and the rest; a value out of range counts
/// as the nearest class).
///
/// The step from the previous timed line is charged to this line's object, or,
/// for a line without an arrow, to no class (it still counts as busy). A step
/// that also covers objects without a time is charged to no class and leaves
/// out those objects and this one, as nothing tells how to share it.
void calibrateLine(Calibration& cal, bool bTimed, int nSecondOfDay, bool bObject,
                   std::uint64_t nSize, int nClass);

/// calibrateLine for a line that may carry a date. Between two dated lines
/// the step is the difference of their dates and times; a negative one is
/// counted in nBackSteps and charged to nothing, and leaves out the line's
/// object. Otherwise the time of day alone is read, as calibrateLine does.
void calibrateTimedLine(Calibration& cal, const LineTime& time, bool bObject, std::uint64_t nSize,
                        int nClass);

/// The outcome for one size class.
struct CalibrationClassResult {
  std::uint64_t nObjects;  // as in CalibrationClass
  std::uint64_t nBytes;
  std::uint64_t nSeconds;
  std::uint64_t nLogObjects;
  std::uint64_t nLogBytes;
  double dMeasuredKBps;     // nBytes / 1024 / nSeconds; 0 when nSeconds is 0
  bool bFilled;             // the rate comes from the model, as the class is poorly measured
  bool bNominalSize;        // filled in at the class's nominal size: the log has none of it
  double dModelSize;        // bytes per object at which the model was taken, when filled
  std::uint64_t nRateKBps;  // the rate the estimate takes: whole KB/s, at least 1
};

/// One session of the log, and its fit when it was fitted alone.
struct SessionResult {
  LineTime start;
  std::uint64_t nObjects;
  std::uint64_t nBusySeconds;
  bool bFitted;         // large enough to be fitted alone
  double dCostSeconds;  // then its model, as CalibrationResult's
  double dSecondsPerByte;
  double dBandwidthKBps;
};

/// Everything the report, and a machine-readable one, needs.
struct CalibrationResult {
  std::uint64_t nGapSeconds;
  CalibrationClassResult aClasses[kClasses];
  int nFirstSecond;  // seconds of the day of the first and the last timed line
  int nLastSecond;
  std::uint64_t nDayTurns;
  std::uint64_t nSpanSeconds;    // from the first timed line to the last
  std::uint64_t nBusySeconds;    // nObjectSeconds + nOtherSeconds
  std::uint64_t nObjectSeconds;  // the classes' seconds together
  std::uint64_t nOtherSeconds;   // busy seconds charged to no class
  std::uint64_t nGaps;           // idle steps left out, and their seconds
  std::uint64_t nGapTotal;
  std::uint64_t nLeftOut;         // objects whose seconds were not measured
  std::uint64_t nUntimedObjects;  // object lines without a time of day
  int nFitClasses;                // classes the model was fitted to (1 to 4)
  double dCostSeconds;            // the model: seconds per object, >= 0
  double dSecondsPerByte;         // and seconds per byte, >= 0
  double dBandwidthKBps;          // 1 / dSecondsPerByte in KB/s; infinite when that is 0
  std::uint64_t nBackSteps;       // steps back in date and time, not charged
  std::uint64_t nLogObjects;      // object lines in the log
  std::uint64_t nSessionGapSeconds;
  std::uint64_t nSessions;              // every session, listed or not
  std::vector<SessionResult> sessions;  // in log order; small ones past a number left out
  LineTime first;                       // the first and the last timed line
  LineTime last;
  std::uint64_t nTooLarge;              // object lines left out, their sizes past 2^63 - 1
};

/// Counts an object line whose size is too large to be a file's, and is
/// left out (a line of its time is still taken, as one without an object).
void calibrateTooLarge(Calibration& cal);

/// Computes the rates and the model. Returns 0, or the exit status 1 after
/// writing "error: ..." on standard error when rates cannot be learnt: the log
/// has no object lines (or only sizes too large to be files'), its object
/// lines carry no time of day, fewer than two of them do, or no object took a
/// measurable second (saying so when most steps went back in time, as in a
/// log in reverse order).
int finishCalibration(const Calibration& cal, CalibrationResult& result);

/// Fills result from a measurement of a target (--measure), set k having
/// measured class k. Each set is measured on purpose, so a class's rate is its
/// bytes over its seconds (whole KB/s, at least 1); a set that copied nothing
/// or took no time takes the model's rate at its files' size (bFilled). The
/// cost per object and the bandwidth are fitted to the sets as
/// finishCalibration fits a log's classes. The log's counts (nLogObjects,
/// nLogBytes) are what was copied; there are no sessions, gaps or steps.
void calibrateMeasurement(const MeasuredClass (&aSets)[kMeasureSets], CalibrationResult& result);

/// Returns the seconds nObjects objects of nBytes bytes in all take under a
/// cost per object and seconds per byte, in whole seconds, rounded to the
/// nearest and at most 2^64 - 1.
std::uint64_t modelSeconds(double dCostSeconds, double dSecondsPerByte, std::uint64_t nObjects,
                           std::uint64_t nBytes);

/// The estimates by the fits of the sessions fitted alone: their number, and
/// the least and the most seconds.
struct SessionSpread {
  int nSessions;
  std::uint64_t nFastest;
  std::uint64_t nSlowest;
};
SessionSpread sessionSpread(const CalibrationResult& result, std::uint64_t nObjects,
                            std::uint64_t nBytes);

/// A calibration under each reading of a log's dates, month first and day
/// first, or under the order given; and what the dates show of their order.
struct LogCalibration {
  Calibration monthFirst;  // the order given, when one was
  Calibration dayFirst;
  OrderEvidence evidence;
  bool bOrderGiven;
  DateOrder order;
};

/// Starts both calibrations, as startCalibration does.
void startLogCalibration(LogCalibration& log, std::uint64_t nGapSeconds,
                         std::uint64_t nSessionGapSeconds, bool bOrderGiven, DateOrder order);

/// Takes one line: its stamp as readLogStamp read it (bTimed: what that
/// returned), whether each reading of the dates selects it, and its object.
void calibrateStampedLine(LogCalibration& log, const LineStamp& stamp, bool bTimed,
                          const Selection& selection, bool bObject, std::uint64_t nSize);

/// Counts an object line too large to be a file's in the calibration of
/// each reading of the dates that selects it.
void calibrateTooLarge(LogCalibration& log, const Selection& selection);

/// Returns the calibration of the reading the log's own dates prove (or of
/// the order given). When they prove none, the reading under which the dates
/// step back fewer times, then span less time, is taken, month first on a
/// tie. With bDayFirst, the caller chooses.
const Calibration& chosenCalibration(const LogCalibration& log);
const Calibration& chosenCalibration(const LogCalibration& log, bool bDayFirst);

/// Returns the model's rate in KB/s for objects of dSize bytes (> 0): bytes
/// over the seconds the cost and the bandwidth give them.
double modelRateKBps(const CalibrationResult& result, double dSize);

#endif  // PLOMET_ESTIMATOR_CALIBRATE_H_
