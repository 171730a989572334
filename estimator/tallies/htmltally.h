// Fixed-size tallies for the page that --html writes: the files by size, and
// a schedule log's work over time.
//
// Each tally is a fixed array, whatever the length of the listing, and is
// touched only when the page is asked for. Sizes are bucketed by powers of
// two: the bucket is one count of leading zero bits, no division, so a file
// costs a few instructions; and the buckets are three to a decade, fine
// enough to show where the class bounds (5, 50 and 500 KiB) cut the files.
#ifndef PLOMET_ESTIMATOR_HTMLTALLY_H_
#define PLOMET_ESTIMATOR_HTMLTALLY_H_

#include <cstdint>

#include "tallies/classes.h"

/// Bucket 0 holds the files of 0 bytes; bucket b (1 to 64) those of 2^(b-1)
/// to 2^b - 1 bytes.
const int kSizeBuckets = 65;

/// Returns the bucket of a file of nSize bytes.
inline int sizeBucket(std::uint64_t nSize) {
#if defined(__GNUC__)
  return nSize == 0 ? 0 : 64 - __builtin_clzll(nSize);
#else
  int b = 0;
  for (; nSize != 0; nSize >>= 1) b++;
  return b;
#endif
}

/// Files and bytes per size bucket; bytes stay at 2^64 - 1 rather than wrap.
struct SizeHistogram {
  std::uint64_t anFiles[kSizeBuckets] = {};
  std::uint64_t anBytes[kSizeBuckets] = {};
};

/// Counts one file of nSize bytes.
void countSize(SizeHistogram& h, std::uint64_t nSize);

/// Adds every bucket of from to into.
void addHistogram(SizeHistogram& into, const SizeHistogram& from);

/// A listing's files for the page: those counted at once and those set
/// aside for one reading of the dates (the groups of folders.h: 0, 1, 2),
/// and every file read, selected or not, by bucket and by class.
struct PageTallies {
  bool bAll = false;  // every file read is counted too, apart (with --since)
  SizeHistogram aGroups[3];
  SizeHistogram all;
  std::uint64_t anAllFiles[kClasses] = {};
  std::uint64_t anAllBytes[kClasses] = {};
};

/// Counts a file of nSize bytes in group nGroup, 0 to 2 (a negative nGroup:
/// the file was not selected), and with bAll among all read.
void countPageFile(PageTallies& tallies, std::uint64_t nSize, int nGroup);

/// Returns the files the report counts: group 0, with group nAsideGroup (1
/// or 2) joined to it; 0 joins nothing.
SizeHistogram countedFiles(const PageTallies& tallies, int nAsideGroup);

/// The timeline is cut into sessions where the log pauses for longer than
/// the session gap (or the gap limit, when that is longer), as the
/// calibration's sessions are; each session
/// has bins of its own: a bin covers nBinSeconds, which starts at a minute
/// and doubles, the bins merging in pairs, whenever the session runs past
/// its last bin. A log of more than kMaxSessions sessions has its last
/// session run on to its end.
const int kTimelineBins = 240;
const int kMaxSessions = 6;
const std::uint64_t kSessionGapSeconds = 7200;  // as --session-gap is by default

struct TimelineBin {
  std::uint64_t nObjects = 0;
  std::uint64_t nBytes = 0;
  std::uint64_t nIdleSeconds = 0;  // seconds of the bin inside steps longer than the gap limit
};

struct TimelineSession {
  int nStartSecond = 0;  // the second of the day of its first timed line
  std::uint64_t nBinSeconds = 60;
  std::uint64_t nElapsed = 0;  // seconds from its first timed line to its last
  TimelineBin aBins[kTimelineBins];
};

/// The measured objects of one size bucket: the steps charged to them, as
/// the calibration charges them.
struct FitBin {
  std::uint64_t nObjects = 0;
  std::uint64_t nBytes = 0;
  std::uint64_t nSeconds = 0;
};

/// A schedule log over time.
struct LogTimeline {
  std::uint64_t nGapSeconds = 60;
  std::uint64_t nSessionGapSeconds = kSessionGapSeconds;
  TimelineSession aSessions[kMaxSessions];
  int nSessions = 1;
  int nLastSecond = 0;  // the last timed line's second of the day
  bool bStarted = false;
  bool bUntimedPending = false;
  FitBin aFit[kSizeBuckets];
  SizeHistogram objects;  // every object in the log, timed or not
};

/// Starts a timeline whose steps longer than nGapSeconds are idle, and
/// longer than nSessionGapSeconds start a session.
void startTimeline(LogTimeline& t, std::uint64_t nGapSeconds,
                   std::uint64_t nSessionGapSeconds = kSessionGapSeconds);

/// Takes one line of the log, as calibrateLine takes it: a time of day
/// (bTimed, nSecondOfDay 0 to 86399; a time earlier than the last one means
/// the date turned) and an object of nSize bytes (bObject). An object without
/// a time falls in the bin of the last timed line.
void timelineLine(LogTimeline& t, bool bTimed, int nSecondOfDay, bool bObject, std::uint64_t nSize);

/// Returns the number of bins of session s in use: those up to its last
/// timed line's, 0 before the log's first timed line.
int sessionBinsUsed(const LogTimeline& t, int s);

#endif  // PLOMET_ESTIMATOR_HTMLTALLY_H_
