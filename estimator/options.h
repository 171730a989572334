// The command line beyond the option, the listing and the four rates.
//
// Long options begin with two dashes, may stand anywhere, and take their
// value after an equals sign (--name=value) or, as GNU tools take it, as the
// next argument (--name value) unless that begins with two dashes. A lone
// "--" ends them, so that a file whose name begins with two dashes can be
// given after it.
#ifndef PLOMET_ESTIMATOR_OPTIONS_H_
#define PLOMET_ESTIMATOR_OPTIONS_H_

#include <cstdint>
#include <string>
#include <vector>

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
  int nKind = -1;  // --kind: the listing's kind (a row of kKindRows), or -1 to decide it
  const char* szMeasure = nullptr;  // --measure: the target to measure, as given in argv
  const char* szFrom = nullptr;     // --from: where the measurement makes its files
  bool bMeasureSeconds = false;     // --measure-seconds: each set's copying seconds
  double dMeasureSeconds = 10;
  bool bWindowClock = false;       // --window was given as HH:MM-HH:MM ...
  int nWindowStartSecond = 0;      // ... and starts at this second of the day
  const char* szClient = nullptr;  // --client: the client's name in the JSON report
  bool bPlan = false;              // --plan: the clients' reports planned into one night
  bool bSessions = false;          // --sessions: clients at a time
  std::uint64_t nSessions = 1;
  bool bBandwidth = false;  // --bandwidth: bytes per second the clients share at most
  double dBandwidth = 0;
  bool bOrder = false;  // --order: which clients start first
  bool bShortestFirst = false;
  std::vector<std::string> excludes;  // --exclude: the scan leaves out what matches
  bool bHuman = false;                // sizes and times after the table in KiB and h min s
};

/// The most text a reading thread takes at a time (--read-block), in bytes.
const std::uint64_t kMaxReadBlock = std::uint64_t{1} << 18;

/// The exit status of a run that printed warnings under --strict.
const int kExitWarning = 3;

/// Takes the long options out of argv: every argument that begins with two
/// dashes, up to a lone "--", which is taken out too, and the value of an
/// option that takes one when it follows as the next argument (one that does
/// not begin with two dashes) rather than after "=". The other arguments
/// move to argv[1] onwards in their order, and nArgc becomes their number
/// plus one. Returns true, or false after writing "error: ..." on standard
/// error when an option is unknown, its value does not fit it, or it does
/// not go with another one given.
bool takeLongOptions(int argc, char** argv, LongOptions& options, int& nArgc);

/// Prints the long options, one line each with what it does, for --help.
void printLongOptions();

/// Reads a bandwidth such as 110MB/s, 1Gbit/s, 1.5GiB or 115343360 into
/// bytes per second: a decimal number, then optionally a unit and "/s". A
/// number alone is bytes per second; B, KB, MB, GB and TB (and KiB to TiB)
/// are bytes in powers of 1024, as plomet's rates count kilobytes; bit,
/// kbit, Mbit, Gbit and Tbit are bits in powers of 1000, as links are rated.
/// The prefix letter may be in either case. Returns false, leaving
/// dBytesPerSecond as it was, when the text is not one or its value is not
/// above 0 and at most 1e18 bytes per second (*pbOutOfRange, when given,
/// tells the second case).
bool parseBandwidth(const char* szText, double& dBytesPerSecond, bool* pbOutOfRange = nullptr);
/// Prints the forms of the command, a short block each, that open --help;
/// szProgram is the program's name as the command line gave it.
void printForms(const char* szProgram);

/// Prints the exit statuses and their meanings, that close --help.
void printExitStatuses();

enum RateStatus { kRateOk, kRateNotNumber, kRateOutOfRange };

/// Reads a rate in kilobytes per second: optional blanks, an optional sign,
/// digits with at most one decimal point, optional blanks. Sets nBytesPerSec
/// to the rate times 1024, exactly, without its fraction of a byte (a
/// negative rate is cut towards 0 alike). Returns kRateOutOfRange when that
/// does not fit in a signed 64-bit number.
RateStatus parseRateText(const char* szText, std::int64_t& nBytesPerSec);

#endif  // PLOMET_ESTIMATOR_OPTIONS_H_
