// The command line beyond the option, the listing and the four rates.
//
// Long options begin with two dashes, may stand anywhere, and take their
// value after an equals sign (--name=value). A lone "--" ends them, so that
// a file whose name begins with two dashes can be given after it.
#ifndef PLOMET_ESTIMATOR_OPTIONS_H_
#define PLOMET_ESTIMATOR_OPTIONS_H_

#include <cstdint>
#include <string>

#include "sources/calendar.h"

/// What the long options ask for.
struct LongOptions {
  bool bHelp = false;
  bool bVersion = false;
  bool bStrict = false;     // any warning makes the exit status kExitWarning
  bool bCalibrate = false;  // learn the rates from the schedule log given
  bool bGap = false;        // --gap: idle steps longer than nGapSeconds are left out
  std::uint64_t nGapSeconds = 60;
  std::uint64_t nTop = 0;  // --top: the folders to rank; 0 when not asked for
  bool bDepth = false;     // --depth: the folders' level below the listing's root
  std::uint64_t nDepth = 1;
  bool bWindow = false;  // --window: the backup window, in seconds
  std::uint64_t nWindowSeconds = 0;
  bool bJson = false;   // one JSON object instead of the report's text
  bool bSince = false;  // --since: count only what changed at nSince or later
  std::int64_t nSince = 0;
  bool bDateOrder = false;  // --date-order: the order of the listing's dates
  DateOrder dateOrder = DateOrder::kMonthFirst;
  const char* szRatesFrom = nullptr;  // --rates-from: the schedule log to learn the rates from
  bool bSessionGap = false;           // --session-gap: a longer step starts a session
  std::uint64_t nSessionGapSeconds = 7200;
  bool bHtml = false;       // --html: a page of charts written to szHtml
  const char* szHtml = "";  // as given, in argv
  bool bThreads = false;    // --threads: the scan's threads
  std::uint64_t nThreads = 0;
  bool bOneFileSystem = false;  // the scan stays on the root's file system
  bool bList = false;           // --list: the scan also writes a listing to sList
  bool bReadBlock = false;      // --read-block: the text a reading thread takes at a time
  std::uint64_t nReadBlock = 0;
  std::string sList;
};

/// The most text a reading thread takes at a time (--read-block), in bytes.
const std::uint64_t kMaxReadBlock = std::uint64_t{1} << 18;

/// The exit status of a run that printed warnings under --strict.
const int kExitWarning = 3;

/// Takes the long options out of argv: every argument that begins with two
/// dashes, up to a lone "--", which is taken out too. The other arguments
/// move to argv[1] onwards in their order, and nArgc becomes their number
/// plus one. Returns true, or false after writing "error: ..." on standard
/// error when an option is unknown, its value does not fit it, or it does
/// not go with another one given.
bool takeLongOptions(int argc, char** argv, LongOptions& options, int& nArgc);

/// Prints the long options, one line each with what it does, for --help.
void printLongOptions();

enum RateStatus { kRateOk, kRateNotNumber, kRateOutOfRange };

/// Reads a rate in kilobytes per second: optional blanks, an optional sign,
/// digits with at most one decimal point, optional blanks. Sets nBytesPerSec
/// to the rate times 1024, exactly, without its fraction of a byte (a
/// negative rate is cut towards 0 alike). Returns kRateOutOfRange when that
/// does not fit in a signed 64-bit number.
RateStatus parseRateText(const char* szText, std::int64_t& nBytesPerSec);

#endif  // PLOMET_ESTIMATOR_OPTIONS_H_
