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
// The caller reads the lines and hands over plain values, one line at a time;
// the accumulators are of fixed size, whatever the length of the log.
#ifndef PLOMET_ESTIMATOR_CALIBRATE_H_
#define PLOMET_ESTIMATOR_CALIBRATE_H_

#include <cstdint>

#include "classes.h"

/// A class whose measured objects are fewer than this, or whose seconds are
/// fewer than kWellMeasuredSeconds, takes its rate from the model.
const std::uint64_t kWellMeasuredObjects = 100;
const std::uint64_t kWellMeasuredSeconds = 10;

/// Idle steps longer than this many seconds are left out unless told otherwise.
const std::uint64_t kDefaultGapSeconds = 60;

/// The tallies of one size class.
struct CalibrationClass {
  std::uint64_t nObjects;     // objects whose seconds were measured
  std::uint64_t nBytes;       // their bytes
  std::uint64_t nSeconds;     // the seconds charged to them
  std::uint64_t nLogObjects;  // every object of the class in the log, measured or not
  std::uint64_t nLogBytes;    // their bytes
};

/// A calibration in progress.
struct Calibration {
  std::uint64_t nGapSeconds;  // the longest step still counted as busy
  CalibrationClass aClasses[kClasses];
  std::uint64_t nOtherSeconds;    // busy seconds charged to no class
  std::uint64_t nGaps;            // steps left out as idle
  std::uint64_t nGapTotal;        // their seconds
  std::uint64_t nTimedObjects;    // object lines with a time of day
  std::uint64_t nUntimedObjects;  // object lines without one
  std::uint64_t nDayTurns;        // times the time of day went backwards
  int nFirstSecond;               // the first timed line's second of the day
  int nLastSecond;                // the last one's so far
  bool bStarted;                  // a timed line has been seen
  bool bUntimedPending;           // objects without a time since the last timed line
};

/// Starts a calibration that leaves out steps between lines longer than
/// nGapSeconds.
void startCalibration(Calibration& cal, std::uint64_t nGapSeconds);

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
};

/// Computes the rates and the model. Returns 0, or the exit status 1 after
/// writing "error: ..." on standard error when rates cannot be learnt: the log
/// has no object lines, its object lines carry no time of day, fewer than two
/// of them do, or no object took a measurable second.
int finishCalibration(const Calibration& cal, CalibrationResult& result);

/// Prints the report through output.h. Its last line is "rates: A B C D", the
/// four rates in the order the estimate takes them.
void printCalibration(const CalibrationResult& result);

/// Returns the model's rate in KB/s for objects of dSize bytes (> 0): bytes
/// over the seconds the cost and the bandwidth give them.
double modelRateKBps(const CalibrationResult& result, double dSize);

#endif  // PLOMET_ESTIMATOR_CALIBRATE_H_
