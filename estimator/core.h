// The estimator's core as the wiring of a run sees it: the program-wide
// state of the core (the option and rates, the listing's name, the tallies
// of the four size classes) and the core's procedures that count a file,
// read the listing and print the report.
//
// The core's state is program-wide, as it always was: one run per process.
// Everything a run adds to it lives in the Run (run.h), which the core's
// procedures take as an argument.
#ifndef PLOMET_ESTIMATOR_CORE_H_
#define PLOMET_ESTIMATOR_CORE_H_

#include <cstdint>
#include <string>

#include "int64.h"
#include "tallies/classes.h"

struct BlockLines;
struct Run;

/// Exit statuses: success, a failure (a file that cannot be read or
/// written), a command line that was refused. A warning under --strict is
/// kExitWarning (options.h).
const int kExitOk = 0;
const int kExitFailure = 1;
const int kExitUsage = 2;

/// nParseType of each source.
const int kParseLog = 0;      // a schedule log (option l)
const int kParseListing = 1;  // a listing (option d)
const int kParseScan = 2;     // the scan of a folder tree (option s)

// The run options and rates, from the command line.
extern int nParseType;
extern int bVerbose;
extern const char* szFilename;
extern std::int64_t nOneKbSec;  // bytes per second, for each size class
extern std::int64_t nTenKbSec;
extern std::int64_t nHundredKbSec;
extern std::int64_t nTenMbSec;

// The tallies: files and bytes of each size class. A byte total that passed
// 2^64 - 1 stays there, and its flag says so. nTotal and i64Total are made
// by displayResults. Each thread that reads a listing counts into its own
// (thread_local), and hands them to the main thread's, which the report
// shows (takeThreadTallies, addClassTally).
extern thread_local std::uint64_t nOneKB;
extern thread_local std::uint64_t nTenKB;
extern thread_local std::uint64_t nHundredKB;
extern thread_local std::uint64_t nTenMB;
extern thread_local std::uint64_t nTotal;
extern thread_local int64 i64OneKB;
extern thread_local int64 i64TenKB;
extern thread_local int64 i64HundredKB;
extern thread_local int64 i64TenMB;
extern thread_local int64 i64Total;
extern thread_local bool bOneKbPassedMax;
extern thread_local bool bTenKbPassedMax;
extern thread_local bool bHundredKbPassedMax;
extern thread_local bool bTenMbPassedMax;
extern thread_local bool bTotalPassedMax;
extern thread_local std::uint64_t nTooLarge;  // size fields beyond the largest file size
// size texts without digits, counted as 0 bytes
extern thread_local std::uint64_t nNoDigitSizes;

/// What the parsers find beside a line's size text.
struct LineFacts {
  const char* pSizeEnd = "";      // where the last size field extracted ends in its line
  std::uint64_t nArrowFiles = 0;  // listing sizes after a word ending in "-->"
  std::uint64_t nUnitSizes = 0;   // sizes written with a unit (11.1 MiB, 2.9KiB): not counted
  // The last size field extracted, read as its digits were copied: its
  // value, when it holds 1 to 18 digits and separators alone (nSizeDigits);
  // otherwise nSizeDigits is 0 and its text is for parseSize to read.
  std::uint64_t nSizeValue = 0;
  int nSizeDigits = 0;
};

/// Returns x as one 64-bit number, and n as the two words of an int64.
inline std::uint64_t toUint64(int64 x) { return (static_cast<std::uint64_t>(x.hi) << 32) | x.lo; }
inline int64 toInt64(std::uint64_t n) {
  int64 x;
  x.lo = static_cast<uint32>(n);
  x.hi = static_cast<uint32>(n >> 32);
  return x;
}

/// Reads the digits after whitespace and an optional sign as the size of a
/// file in nSize: 0 when there are no digits (counted in nNoDigitSizes) or a
/// minus sign stands before them. Returns false when the digits' value passes
/// the largest file size.
bool parseSize(const char* pC, std::uint64_t& nSize);

/// Counts the file whose size text is szData in its size class. Empty text is
/// no file; text without digits, or with a minus sign, is a file of 0 bytes;
/// digits beyond the largest file size are no file either (nTooLarge).
int processResults(const char* szData);

/// Moves this thread's class tallies into tally and sets them to zero.
void takeThreadTallies(ClassTally& tally);

/// Adds a tally that another thread counted to this thread's.
void addClassTally(const ClassTally& tally);

/// Reads the lines of one block of a listing as update's reading loop
/// reads them (block.pReader holds the text): each is parsed by the parser
/// of nParseType and counted by processResults into this thread's tallies,
/// which are then handed over in block.tallies; or, as block asks, kept for
/// the main thread. Runs on any thread.
void readBlockLines(BlockLines& block);

/// Returns the files counted in the four classes.
std::uint64_t filesCounted();

/// Returns the rate of class k (0 to 3) in bytes per second, and sets it.
std::int64_t classRate(int k);
void setClassRate(int k, std::int64_t nBytesPerSec);

/// Returns class k's (0 to 3) files, bytes and whether they passed 2^64 - 1:
/// the calling thread's tallies.
inline std::uint64_t& classFilesOf(int k) {
  return k == 0 ? nOneKB : k == 1 ? nTenKB : k == 2 ? nHundredKB : nTenMB;
}
inline int64& classBytesOf(int k) {
  return k == 0 ? i64OneKB : k == 1 ? i64TenKB : k == 2 ? i64HundredKB : i64TenMB;
}
inline bool& classPassedMaxOf(int k) {
  return k == 0   ? bOneKbPassedMax
         : k == 1 ? bTenKbPassedMax
         : k == 2 ? bHundredKbPassedMax
                  : bTenMbPassedMax;
}

/// Returns the whole seconds to move the bytes at the rate; 0 when the rate
/// is not positive.
std::uint64_t secondsAt(int64 i64Bytes, std::int64_t nRate);

/// Sets nParseType and bVerbose from an option such as -d or /LV.
/// Returns false when the option is not one of d, dv, l, lv, s and sv.
bool parseOption(const char* szOption);

/// Prints the usage text, on standard error when bToStderr.
void usage(const char* szProgram, bool bToStderr);

/// Rejects the command line: says why on standard error, then prints the
/// usage text. Returns the exit status.
int rejectCommandLine(const Run& run, const char* szFormat, const std::string& arg);

/// The option, the listing and the four rates (or --rates-from); with the
/// scan, one path or more before the rates, which are the last four
/// arguments. Returns -1, or the exit status after rejecting them.
int takeArguments(int argc, char** argv, Run& run);

/// Reads the listing (or the log) named, "-" being standard input, line by
/// line through the parser of nParseType, the echo and the tallies. Returns
/// -1 after saying why it cannot be opened, else the reading's exit status:
/// 0, or 1 after a read error. nLinesRead is the number of lines read.
int readListing(Run& run, const char* szName, std::uint64_t& nLinesRead);

/// Prints the report: the class table, the totals and both estimates, and
/// what the run adds to them. Then warns, on standard error, about rates
/// that made a time 0.
int displayResults(Run& run);

#endif  // PLOMET_ESTIMATOR_CORE_H_
