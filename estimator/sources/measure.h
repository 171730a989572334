// The measurement of a backup target (--measure=TARGET): how many objects and
// bytes of each size class the target takes in how many seconds, so that the
// four rates, the cost per object and the bandwidth can be learnt without a
// schedule log.
//
// For each of the four sets (files of 1 KiB, 10 KiB, 100 KiB and 10 MiB, one
// size inside each size class) a set of source files is made once in a
// temporary folder under the source folder; then the set is copied round
// after round into a fresh folder under a temporary folder of the target, as
// a backup writes: open, large blocks, flush to the device, close, file after
// file. The seconds from the first open to the last close of each round are
// added up until the set's seconds are reached. Everything made is removed at
// the end, after a failure, and when SIGINT, SIGTERM or SIGHUP arrives (the
// signal is then raised again, so that the exit status tells of it).
//
// The temporary folders are named plomet-measure-XXXXXX. Memory stays at one
// block buffer and a few paths, whatever the seconds; the target holds at
// most one round of one set at a time. The run takes longer than the sets'
// seconds: making the source files and removing each round's copies are not
// timed (4 sets of 10 seconds took about a minute on a local disk). The
// platform's own calls do the file work: measure_posix.cpp and
// measure_windows.cpp.
#ifndef PLOMET_ESTIMATOR_SOURCES_MEASURE_H_
#define PLOMET_ESTIMATOR_SOURCES_MEASURE_H_

#include <cstddef>
#include <cstdint>
#include <string>

/// The sets measured, one for each size class, in the classes' order.
const int kMeasureSets = 4;

/// The size of the files of each set: 1 KiB, 10 KiB, 100 KiB and 10 MiB, the
/// sizes the four rates stand for. Each lies inside its size class (below
/// 5120, 51200 and 512000 bytes, and the rest), so set i measures class i.
constexpr std::uint64_t kMeasureFileSizes[kMeasureSets] = {
    std::uint64_t{1} << 10, std::uint64_t{10} << 10, std::uint64_t{100} << 10,
    std::uint64_t{10} << 20};

/// The files of one round of each set: about kMeasureSetBytes, at most
/// kMeasureSetFiles and at least one file (3 of 10 MiB, 327 of 100 KiB, 1000
/// of the others).
const std::uint64_t kMeasureSetBytes = std::uint64_t{32} << 20;
const std::uint64_t kMeasureSetFiles = 1000;

/// The size of the one buffer the copies go through.
const std::size_t kMeasureBlock = std::size_t{1} << 20;

struct MeasureSettings {
  std::string sTarget;  // the folder to write into
  std::string sFrom;    // where the source files are made; empty: the system's temporary folder
  double dSecondsPerClass = 10;  // copying seconds of each set, more than 0
};

/// What one set measured.
struct MeasuredClass {
  std::uint64_t nObjects = 0;  // files copied, flushed and closed
  std::uint64_t nBytes = 0;    // their bytes
  double dSeconds = 0;         // from the first open to the last close of each round, added up
  std::uint64_t nRounds = 0;   // rounds begun
};

/// Why a measurement failed.
enum class MeasureFailure {
  kNone,
  kSettings,     // dSecondsPerClass is not a number more than 0
  kNoFolder,     // the target or the source folder is missing or no folder
  kOverlap,      // the target and the source folder are one, or one lies inside the other
  kUnwritable,   // the target cannot be written
  kFull,         // the target is full
  kSource,       // the source files could not be made or read
  kInterrupted,  // a signal arrived; nSignal says which
  kLeftBehind,   // something made could not be removed; sWhy names it
};

struct MeasureResult {
  MeasuredClass aClasses[kMeasureSets];
  MeasureFailure failure = MeasureFailure::kNone;
  int nError = 0;     // the system's error number behind the failure, 0 when none
  int nSignal = 0;    // the signal that interrupted the measurement, 0 when none
  std::string sWhy;   // the failure in one line, with paths as given, for "error: " to lead
  std::string sFrom;  // the source folder taken (the system's temporary folder when none was given)
};

/// Called after every file copied: the set (0 to 3) and what it measured so
/// far. It runs between files, never from a signal handler, and inside the
/// round's seconds: it must be quick, as a display refreshed a few times a
/// second is.
struct MeasureProgress {
  void (*pShow)(void* pContext, int nSet, const MeasuredClass& soFar) = nullptr;
  void* pContext = nullptr;
};

/// Measures the target, set after set. Returns true with the four sets'
/// objects, bytes and seconds in result, or false with result.failure and
/// result.sWhy set when the settings are refused (before anything is made) or
/// the measurement fails. Removes whatever it made on every path.
///
/// While it runs, SIGINT, SIGTERM and SIGHUP (those not ignored) only stop
/// it; on one, it removes what it made, restores the handlers it found and
/// raises the signal again: under the default handler the process ends by
/// that signal. When the caller's own handler returns, it returns false with
/// MeasureFailure::kInterrupted. One measurement runs at a time in a process.
bool measureTarget(const MeasureSettings& settings, MeasureResult& result,
                   const MeasureProgress* pProgress = nullptr);

#endif  // PLOMET_ESTIMATOR_SOURCES_MEASURE_H_
