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
// by displayResults.
extern std::uint64_t nOneKB;
extern std::uint64_t nTenKB;
extern std::uint64_t nHundredKB;
extern std::uint64_t nTenMB;
extern std::uint64_t nTotal;
extern int64 i64OneKB;
extern int64 i64TenKB;
extern int64 i64HundredKB;
extern int64 i64TenMB;
extern int64 i64Total;
extern bool bOneKbPassedMax;
extern bool bTenKbPassedMax;
extern bool bHundredKbPassedMax;
extern bool bTenMbPassedMax;
extern bool bTotalPassedMax;
extern std::uint64_t nTooLarge;      // size fields beyond the largest file size
extern std::uint64_t nNoDigitSizes;  // size texts without digits, counted as 0 bytes

/// What the parsers find beside a line's size text.
struct LineFacts {
  const char* pSizeEnd = "";      // where the last size field extracted ends in its line
  std::uint64_t nArrowFiles = 0;  // listing sizes after a word ending in "-->"
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

/// Counts a file of nSize bytes in its size class.
void countFile(std::uint64_t nSize);

/// Counts the file whose size text is szData in its size class. Empty text is
/// no file; text without digits, or with a minus sign, is a file of 0 bytes;
/// digits beyond the largest file size are no file either (nTooLarge).
int processResults(const char* szData);

/// Adds nFiles files of nBytes bytes to class k (0 to 3); bPassedMax when
/// those bytes passed 2^64 - 1 where they were counted.
void addToClass(int k, std::uint64_t nFiles, std::uint64_t nBytes, bool bPassedMax);

/// Returns the files counted in the four classes.
std::uint64_t filesCounted();

/// Returns the rate of class k (0 to 3) in bytes per second, and sets it.
std::int64_t classRate(int k);
void setClassRate(int k, std::int64_t nBytesPerSec);

/// Returns class k's files, its bytes and whether they passed 2^64 - 1.
std::uint64_t classFiles(int k);
int64 classBytes(int k);
bool classPassedMax(int k);

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
