#include "options.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "reports/output.h"
#include "sources/listingkind.h"
#include "sources/text.h"
#include "tallies/window.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

enum NumberStatus { kNumberOk, kNotNumber, kNumberOutOfRange };

// Reads a whole number of at most nLimit, digits alone.
NumberStatus parseWholeNumber(const char* szText, std::uint64_t nLimit, std::uint64_t& nValue) {
  if (*szText == '\0') return kNotNumber;
  std::uint64_t n = 0;
  bool bPast = false;
  for (const char* pC = szText; *pC != '\0'; pC++) {
    if (!isDigit(*pC)) return kNotNumber;
    auto nDigit = static_cast<unsigned>(*pC - '0');
    bPast = bPast || n > (nLimit - nDigit) / 10;
    if (!bPast) n = n * 10 + nDigit;
  }
  if (bPast) return kNumberOutOfRange;
  nValue = n;
  return kNumberOk;
}

bool reject(const char* szFormat, const std::string& text) {
  std::fprintf(stderr, szFormat, printable(text.c_str()).c_str());
  return false;
}

// The largest --top, --depth and --sessions: they are counted in an int.
const std::uint64_t kMaxCount = 2147483647;

// The longest name --client takes, in bytes (as a report's client name).
const std::size_t kMaxClientName = 4096;

// A whole number of 1 to kMaxCount for the option name. Returns false after
// saying why.
bool takeCount(const std::string& name, const char* szValue, std::uint64_t& nValue) {
  NumberStatus status = parseWholeNumber(szValue, kMaxCount, nValue);
  if (status == kNumberOutOfRange)
    return reject("error: %s is out of range\n", name + "=" + szValue);
  if (status == kNumberOk && nValue > 0) return true;
  std::fprintf(stderr, "error: %s needs a whole number of 1 or more, not '%s'\n", name.c_str(),
               printable(szValue).c_str());
  return false;
}

// A duration for the option name, in seconds. Returns false after saying
// why, with szExamples of the forms it takes.
bool takeDuration(const std::string& name, const char* szValue, std::uint64_t& nSeconds,
                  const char* szExamples) {
  bool bOutOfRange = false;
  if (parseDuration(szValue, nSeconds, &bOutOfRange)) return true;
  if (bOutOfRange) return reject("error: %s is out of range\n", name + "=" + szValue);
  std::fprintf(stderr, "error: %s needs a duration such as %s, not '%s'\n", name.c_str(),
               szExamples, printable(szValue).c_str());
  return false;
}

// The backup window: a duration, or clock times HH:MM-HH:MM. Returns false
// after saying why; the clock form is named with --plan, where it belongs.
bool takeWindow(const char* szValue, LongOptions& options) {
  options.bWindow = true;
  bool bOutOfRange = false;
  if (parseDuration(szValue, options.nWindowSeconds, &bOutOfRange)) return true;
  if (parseClockWindow(szValue, options.nWindowSeconds, options.nWindowStartSecond)) {
    options.bWindowClock = true;
    return true;
  }
  if (bOutOfRange) return reject("error: %s is out of range\n", std::string("--window=") + szValue);
  return reject(options.bPlan ? "error: --window needs a duration such as 8h, 90m or 5400, or "
                                "clock times such as 22:00-06:00, not '%s'\n"
                              : "error: --window needs a duration such as 8h, 90m, 1h30m or "
                                "5400, not '%s'\n",
                szValue);
}

// The options of --plan and of the reports it reads. Returns false after
// saying why.
bool takePlanValue(const std::string& name, const char* szValue, LongOptions& options) {
  if (name == "--sessions") {
    options.bSessions = true;
    return takeCount(name, szValue, options.nSessions);
  }
  if (name == "--bandwidth") {
    options.bBandwidth = true;
    bool bOutOfRange = false;
    if (parseBandwidth(szValue, options.dBandwidth, &bOutOfRange)) return true;
    if (bOutOfRange) return reject("error: %s is out of range\n", name + "=" + szValue);
    return reject(
        "error: --bandwidth needs a rate such as 110MB/s, 1Gbit/s or 115343360 (bytes per "
        "second), not '%s'\n",
        szValue);
  }
  if (name == "--order") {
    options.bOrder = true;
    options.bShortestFirst = std::strcmp(szValue, "shortest") == 0;
    return options.bShortestFirst || std::strcmp(szValue, "longest") == 0 ||
           reject("error: --order needs longest or shortest, not '%s'\n", szValue);
  }
  options.szClient = szValue;
  std::size_t nLength = std::strlen(szValue);
  return (nLength > 0 && nLength <= kMaxClientName) ||
         reject("error: --client needs a name of 1 to 4096 bytes%s\n", "");
}

// The longest copying a set of --measure may take, in seconds: a day.
const double kMaxMeasureSeconds = 86400;

// Reads seconds such as 10, 2.5 or .5: digits with at most one decimal
// point. Returns false for other text, and for 0 or more than the largest.
bool parseMeasureSeconds(const char* szText, double& dSeconds) {
  double dDigits = 0;   // all the digits as one number: inf at worst
  double dDivisor = 1;  // 10 to the number of digits after the point
  bool bPoint = false;
  int nDigits = 0;
  for (const char* pC = szText; *pC != '\0'; pC++) {
    if (*pC == '.' && !bPoint) {
      bPoint = true;
    } else if (isDigit(*pC)) {
      dDigits = dDigits * 10 + (*pC - '0');
      if (bPoint) dDivisor *= 10;
      nDigits++;
    } else {
      return false;
    }
  }
  // One division of two exact numbers: 0.3 reads as the double nearest it.
  dSeconds = dDigits / dDivisor;
  return nDigits > 0 && dSeconds > 0 && dSeconds <= kMaxMeasureSeconds;
}

// The options of --measure. Returns false after saying why.
bool takeMeasureValue(const std::string& name, const char* szValue, LongOptions& options) {
  if (name == "--measure") {
    options.szMeasure = szValue;
    return *szValue != '\0' || reject("error: --measure needs the folder to measure%s\n", "");
  }
  if (name == "--from") {
    options.szFrom = szValue;
    return *szValue != '\0' || reject("error: --from needs a folder%s\n", "");
  }
  options.bMeasureSeconds = true;
  return parseMeasureSeconds(szValue, options.dMeasureSeconds) ||
         reject(
             "error: --measure-seconds needs seconds above 0 and at most 86400, such as 10 or "
             "2.5, not '%s'\n",
             szValue);
}

bool isMeasureOption(const std::string& name) {
  return name == "--measure" || name == "--from" || name == "--measure-seconds";
}

// Sets an option that takes a value from it. Returns false after saying why.
bool takeValue(const std::string& name, const char* szValue, LongOptions& options) {
  if (isMeasureOption(name)) return takeMeasureValue(name, szValue, options);
  if (name == "--gap") {
    options.bGap = true;
    NumberStatus status = parseWholeNumber(szValue, UINT64_MAX, options.nGapSeconds);
    if (status == kNumberOutOfRange)
      return reject("error: %s is out of range\n", name + "=" + szValue);
    return status == kNumberOk ||
           reject("error: --gap needs a whole number of seconds, not '%s'\n", szValue);
  }
  if (name == "--top") return takeCount(name, szValue, options.nTop);
  if (name == "--depth") {
    options.bDepth = true;
    return takeCount(name, szValue, options.nDepth);
  }
  if (name == "--window") return takeWindow(szValue, options);
  if (name == "--since") {
    options.bSince = true;
    return parseSince(szValue, options.nSince) ||
           reject(
               "error: --since needs a date such as 2026-12-06 or 2026-12-06T22:00, not "
               "'%s'\n",
               szValue);
  }
  if (name == "--rates-from") {
    options.szRatesFrom = szValue;
    return *szValue != '\0' ||
           reject("error: --rates-from needs a schedule log or a JSON report%s\n", "");
  }
  if (name == "--session-gap") {
    options.bSessionGap = true;
    return takeDuration(name, szValue, options.nSessionGapSeconds, "2h, 90m or 7200");
  }
  if (name == "--html") {
    options.bHtml = true;
    options.szHtml = szValue;
    // Standard output holds the report: the page goes to a file of its own.
    return (szValue[0] != '\0' && std::strcmp(szValue, "-") != 0) ||
           reject("error: --html needs the name of a file to write the page to, not '%s'\n",
                  szValue);
  }
  if (name == "--threads") {
    options.bThreads = true;
    return (parseWholeNumber(szValue, 256, options.nThreads) == kNumberOk &&
            options.nThreads > 0) ||
           reject("error: --threads needs a whole number from 1 to 256, not '%s'\n", szValue);
  }
  if (name == "--kind") {
    options.nKind = kindOfOption(szValue);
    if (options.nKind != kKindUnknown) return true;
    std::fprintf(stderr, "error: --kind needs one of %s, not '%s'\n", kindOptionNames().c_str(),
                 printable(szValue).c_str());
    return false;
  }
  if (name == "--sessions" || name == "--bandwidth" || name == "--order" || name == "--client") {
    return takePlanValue(name, szValue, options);
  }
  if (name == "--read-block") {
    options.bReadBlock = true;
    return (parseWholeNumber(szValue, kMaxReadBlock, options.nReadBlock) == kNumberOk &&
            options.nReadBlock > 0) ||
           reject("error: --read-block needs a number of bytes from 1 to 262144, not '%s'\n",
                  szValue);
  }
  if (name == "--list") {
    options.bList = true;
    options.sList = szValue;
    // Standard output holds the report: the listing goes to a file of its own.
    return (!options.sList.empty() && options.sList != "-") ||
           reject("error: --list needs the name of a file to write the listing to, not '%s'\n",
                  szValue);
  }
  if (name == "--exclude") {
    options.excludes.push_back(szValue);
    return *szValue != '\0' || reject("error: --exclude needs a pattern such as '*.tmp'%s\n", "");
  }
  options.bDateOrder = true;
  return parseDateOrder(szValue, options.dateOrder) ||
         reject("error: --date-order needs mdy, dmy or ymd, not '%s'\n", szValue);
}

// Returns an example of the value of an option that takes one, or nullptr
// for an option that takes none.
const char* valueExample(const std::string& name) {
  if (name == "--gap") return "60";
  if (name == "--top") return "10";
  if (name == "--depth") return "2";
  if (name == "--window") return "8h";
  if (name == "--since") return "2026-12-06";
  if (name == "--date-order") return "dmy";
  if (name == "--rates-from") return "last.log";
  if (name == "--session-gap") return "2h";
  if (name == "--html") return "report.html";
  if (name == "--threads") return "4";
  if (name == "--list") return "listing.txt";
  if (name == "--kind") return "ls";
  if (name == "--measure") return "/mnt/backup";
  if (name == "--from") return "/tmp";
  if (name == "--measure-seconds") return "10";
  if (name == "--sessions") return "4";
  if (name == "--bandwidth") return "110MB/s";
  if (name == "--order") return "longest";
  if (name == "--client") return "fs01";
  if (name == "--exclude") return "'*.tmp'";
  if (name == "--read-block") return "65536";
  return nullptr;
}

// True when szNext may be the value of the option before it: it is there
// and does not begin with two dashes, as an option or a lone "--" does.
bool mayBeValue(const char* szNext) {
  return szNext != nullptr && std::strncmp(szNext, "--", 2) != 0;
}

// Sets one long option from "--name", "--name=value", or "--name" and the
// next argument szNext (null when there is none), which bTookNext says was
// taken. Returns false after saying why on standard error.
bool takeLongOption(const char* szArg, const char* szNext, LongOptions& options, bool& bTookNext) {
  bTookNext = false;
  const char* pEquals = std::strchr(szArg, '=');
  std::string name(
      szArg, pEquals != nullptr ? static_cast<std::size_t>(pEquals - szArg) : std::strlen(szArg));
  if (const char* szExample = valueExample(name)) {
    if (pEquals == nullptr && mayBeValue(szNext)) {
      bTookNext = true;
      return takeValue(name, szNext, options);
    }
    if (pEquals == nullptr) {
      std::fprintf(stderr, "error: option '%s' needs a value, as in %s=%s\n", name.c_str(),
                   name.c_str(), szExample);
      return false;
    }
    return takeValue(name, pEquals + 1, options);
  }
  bool* pbFlag = name == "--help"        ? &options.bHelp
                 : name == "--version"   ? &options.bVersion
                 : name == "--strict"    ? &options.bStrict
                 : name == "--calibrate" ? &options.bCalibrate
                 : name == "--json"      ? &options.bJson
                                         : nullptr;
  if (name == "--one-file-system") pbFlag = &options.bOneFileSystem;
  if (name == "--plan") pbFlag = &options.bPlan;
  if (name == "--human") pbFlag = &options.bHuman;
  if (pbFlag == nullptr) return reject("error: unknown option '%s'\n", name);
  if (pEquals != nullptr) return reject("error: option '%s' takes no value\n", name);
  *pbFlag = true;
  return true;
}

// An option, and whether the command line gave it.
struct OptionGiven {
  bool bGiven;
  const char* szName;
};

// --measure is a form of the command of its own: --from and
// --measure-seconds serve it alone, and what an estimate or a calibration
// takes does not go with it.
bool checkMeasure(const LongOptions& options) {
  if (options.szMeasure == nullptr) {
    if (options.szFrom == nullptr && !options.bMeasureSeconds) return true;
    return reject("error: %s goes with --measure\n",
                  options.szFrom != nullptr ? "--from" : "--measure-seconds");
  }
  const OptionGiven aOthers[] = {{options.bCalibrate, "--calibrate"},
                                 {options.szRatesFrom != nullptr, "--rates-from"},
                                 {options.bGap, "--gap"},
                                 {options.bSessionGap, "--session-gap"},
                                 {options.nTop > 0, "--top"},
                                 {options.bWindow, "--window"},
                                 {options.bSince, "--since"},
                                 {options.bHtml, "--html"},
                                 {options.bThreads, "--threads"},
                                 {options.bOneFileSystem, "--one-file-system"},
                                 {options.bList, "--list"},
                                 {options.nKind >= 0, "--kind"},
                                 {!options.excludes.empty(), "--exclude"}};
  const OptionGiven* pOther = std::find_if(std::begin(aOthers), std::end(aOthers),
                                           [](const OptionGiven& other) { return other.bGiven; });
  return pOther == std::end(aOthers) ||
         reject("error: %s does not go with --measure\n", pOther->szName);
}

// The options of --plan go with it alone, and --plan takes no option of
// the estimate's sources; --client names the client in the JSON report.
bool checkPlanCombinations(const LongOptions& options) {
  if (!options.bPlan && (options.bSessions || options.bBandwidth || options.bOrder)) {
    return reject("error: %s goes with --plan\n", options.bSessions    ? "--sessions"
                                                  : options.bBandwidth ? "--bandwidth"
                                                                       : "--order");
  }
  const char* szOther = options.bCalibrate               ? "--calibrate"
                        : options.szRatesFrom != nullptr ? "--rates-from"
                        : options.nTop > 0               ? "--top"
                        : options.bSince                 ? "--since"
                        : options.bThreads               ? "--threads"
                        : options.bOneFileSystem         ? "--one-file-system"
                        : options.bList                  ? "--list"
                        : options.szClient != nullptr    ? "--client"
                        : options.nKind >= 0             ? "--kind"
                        : !options.excludes.empty()      ? "--exclude"
                                                         : nullptr;
  if (options.bPlan && szOther != nullptr) {
    return reject("error: %s does not go with --plan\n", szOther);
  }
  if (options.szClient != nullptr && options.bCalibrate) {
    return reject("error: %s does not go with --calibrate\n", "--client");
  }
  if (options.szClient != nullptr && !options.bJson) {
    return reject("error: %s goes with --json: it names the client in the JSON report\n",
                  "--client");
  }
  return true;
}

// A step longer than the session gap starts a session and is never busy: the
// gap limit stays within it. Given alone, either one moves the other's
// default to it; given both, a gap limit past the session gap is refused.
// Returns false after saying why.
bool takeGaps(LongOptions& options) {
  std::uint64_t& nGap = options.nGapSeconds;
  std::uint64_t& nSessionGap = options.nSessionGapSeconds;
  if (nGap <= nSessionGap) return true;
  if (!options.bSessionGap) {
    nSessionGap = nGap;
    return true;
  }
  if (!options.bGap) {
    nGap = nSessionGap;
    return true;
  }
  return reject(
      "error: %s: a step longer than the session gap starts a new session and is "
      "never busy\n",
      "--gap=" + std::to_string(nGap) + " is longer than --session-gap (" +
          std::to_string(nSessionGap) + " seconds)");
}

// Options that serve only beside another one.
bool checkCombinations(LongOptions& options) {
  if (!checkMeasure(options)) return false;
  bool bLearns = options.bCalibrate || options.szRatesFrom != nullptr;
  if ((options.bGap || options.bSessionGap) && !bLearns) {
    return reject("error: %s goes with --calibrate or --rates-from\n",
                  options.bGap ? "--gap" : "--session-gap");
  }
  if (!takeGaps(options)) return false;
  if (options.bCalibrate && options.szRatesFrom != nullptr) {
    return reject("error: %s does not go with --calibrate\n", "--rates-from");
  }
  if (options.bDepth && options.nTop == 0) return reject("error: %s goes with --top\n", "--depth");
  if (options.bDateOrder && !options.bSince) {
    return reject("error: %s goes with --since\n", "--date-order");
  }
  if (options.bCalibrate && (options.bOneFileSystem || options.bList)) {
    const char* szScanOption = options.bList ? "--list" : "--one-file-system";
    return reject("error: %s does not go with --calibrate\n", szScanOption);
  }
  if (options.bCalibrate && options.nKind != kKindUnknown && options.nKind != kKindLog) {
    return reject("error: --kind=%s does not go with --calibrate, which reads a schedule log\n",
                  kKindRows[options.nKind].szOption);
  }
  if (options.bCalibrate && (options.nTop > 0 || options.bWindow)) {
    return reject("error: %s does not go with --calibrate\n",
                  options.nTop > 0 ? "--top" : "--window");
  }
  if (options.bCalibrate && !options.excludes.empty()) {
    return reject("error: %s does not go with --calibrate\n", "--exclude");
  }
  // --human shapes the text after the table: neither JSON nor the calibration has one.
  if (options.bHuman && (options.bJson || options.bCalibrate)) {
    return reject("error: --human does not go with %s\n", options.bJson ? "--json" : "--calibrate");
  }
  return checkPlanCombinations(options);
}

// Multiplies the digits of a decimal fraction (0.d1d2...) by 1024 and
// returns the whole part of the product, exactly, whatever their number.
std::uint64_t fractionTimes1024(const char* pDigits, std::size_t nDigits) {
  std::uint64_t nCarry = 0;
  for (std::size_t i = nDigits; i-- > 0;) {
    nCarry = (static_cast<std::uint64_t>(pDigits[i] - '0') * 1024 + nCarry) / 10;
  }
  return nCarry;
}

// The long options as --help lists them, one line each.
const char* const kLongOptionLines[] = {
    "  --help               print this text (also -h and -?)",
    "  --version            print the version",
    "  --strict             exit with status 3 after any warning",
    "  --json               write the report as one JSON object",
    "  --top=N              rank the N folders whose files take the longest",
    "  --depth=N            with --top: folders N levels below the root (default 1)",
    "  --window=DURATION    say whether the estimate fits a window: 8h, 1h30m or 22:00-06:00",
    "  --since=DATE         count only what changed at DATE or later, as 2026-12-06T22:00",
    "  --date-order=ORDER   with --since: the listing's dates are mdy, dmy or ymd",
    "  --calibrate          learn the four rates from a schedule log: plomet --calibrate LOG",
    "  --gap=SECONDS        with --calibrate: longer steps are idle time (default 60)",
    "  --rates-from=FILE    use the rates of a log, or of a JSON report of --measure (no rates)",
    "  --session-gap=DUR    a longer step starts a new session of the log (default 2h)",
    "  --html=FILE          also write the report as a page of charts to FILE",
    "  --threads=N          read the listing, or walk the tree (-s), on N threads",
    "                       (default: the processors)",
    "  --one-file-system    with -s: stay on the file system of PATH",
    "  --list=FILE          with -s: also write what was found as a listing for -d",
    "  --kind=KIND          read the listing as KIND: dir, ls, robocopy, csv, rsync, find, log,",
    "                       ncdu (an export of ncdu or gdu), lsjson (rclone lsjson),",
    "                       rclone, s3, mc, gsutil, azcopy, tar, dwalk",
    "  --measure=TARGET     measure the four rates by copying files to the folder TARGET",
    "  --from=FOLDER        with --measure: make the files in FOLDER (default: the temporary one)",
    "  --measure-seconds=N  with --measure: copy each set of files for N seconds (default 10)",
    "  --client=NAME        with --json: the client's name in the report, for --plan",
    "  --plan               plan many clients' JSON reports in one night: plomet --plan REPORTS",
    "  --sessions=N         with --plan: N clients at a time (default 1)",
    "  --bandwidth=RATE     with --plan: what the clients share at most, as 110MB/s or 1Gbit/s",
    "  --order=ORDER        with --plan: the longest (default) or shortest estimate first",
    "  --exclude=PATTERN    with -s: leave out names (or paths, with a /) that match",
    "  --human              sizes as 10.2 GiB, times as 1 h 02 min 03 s after the table",
    "  --                   end the long options",
};

}  // namespace

void printForms(const char* szProgram) {
  const char* const kForms[][2] = {
      {"-d|-l[v] LISTING 1KB-RATE 10KB-RATE 100KB-RATE LARGE-RATE",
       "estimate from a listing (-d: dir /s, ls, robocopy, CSV, rsync) or a\n"
       "      schedule log (-l); LISTING - reads standard input"},
      {"-s[v] PATH... 1KB-RATE 10KB-RATE 100KB-RATE LARGE-RATE",
       "estimate from a scan of the folder trees at each PATH; either form\n"
       "      takes --rates-from=LOG in the four rates' place"},
      {"--plan REPORT... [--sessions=N] [--bandwidth=RATE] [--window=...]",
       "plan the nights of several machines from their JSON reports"},
      {"--calibrate LOG", "learn the four rates from the schedule log of an earlier backup"},
      {"--measure=TARGET [--from=FOLDER] [--measure-seconds=N]",
       "measure the four rates by copying sets of files to TARGET"},
  };
  outText("Forms of the command:\n");
  for (const auto& form : kForms) outFormat("  %s %s\n      %s\n", szProgram, form[0], form[1]);
}

void printExitStatuses() {
  outText(
      "\nExit status:\n"
      "  0  the report was printed (or this help)\n"
      "  1  a listing, log or folder could not be read, or an output not written\n"
      "  2  the command line was rejected\n"
      "  3  with --strict: the report was printed and a warning written\n");
}

void printLongOptions() {
  outText("Long options, anywhere on the command line, as --name=VALUE or --name VALUE:\n");
  for (const char* szLine : kLongOptionLines) {
    outText(szLine);
    outText("\n");
  }
  outText("\nWith -s (or -sv) in the place of -d, file.ext is a folder tree to scan instead.\n");
}

bool takeLongOptions(int argc, char** argv, LongOptions& options, int& nArgc) {
  nArgc = argc > 0 ? 1 : 0;
  // A value refused before --plan is read is refused in --plan's terms.
  for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; i++) {
    if (std::strcmp(argv[i], "--plan") == 0) options.bPlan = true;
  }
  bool bOptionsEnded = false;
  for (int i = 1; i < argc; i++) {
    char* szArg = argv[i];
    if (!bOptionsEnded && std::strcmp(szArg, "--") == 0) {
      bOptionsEnded = true;
    } else if (!bOptionsEnded && std::strncmp(szArg, "--", 2) == 0) {
      bool bTookNext = false;
      if (!takeLongOption(szArg, i + 1 < argc ? argv[i + 1] : nullptr, options, bTookNext)) {
        return false;
      }
      if (bTookNext) i++;
    } else {
      argv[nArgc++] = szArg;
    }
  }
  if (nArgc < argc) argv[nArgc] = nullptr;
  return checkCombinations(options);
}

RateStatus parseRateText(const char* szText, std::int64_t& nBytesPerSec) {
  const char* pC = szText;
  while (isBlank(*pC)) pC++;
  bool bNegative = *pC == '-';
  if (*pC == '+' || *pC == '-') pC++;
  const char* pWhole = pC;
  while (isDigit(*pC)) pC++;
  std::size_t nWholeDigits = static_cast<std::size_t>(pC - pWhole);
  const char* pFraction = pC;
  std::size_t nFractionDigits = 0;
  if (*pC == '.') {
    pFraction = ++pC;
    while (isDigit(*pC)) pC++;
    nFractionDigits = static_cast<std::size_t>(pC - pFraction);
  }
  while (isBlank(*pC)) pC++;
  if (*pC != '\0' || nWholeDigits + nFractionDigits == 0) return kRateNotNumber;

  // The magnitude may reach 2^63 for a negative rate; more is out of range.
  const std::uint64_t kLimit = std::uint64_t{1} << 63;
  std::uint64_t nWhole = 0;
  for (const char* pD = pWhole; pD < pWhole + nWholeDigits; pD++) {
    if (nWhole > kLimit / 10240) return kRateOutOfRange;  // nWhole * 10 * 1024 would pass it
    nWhole = nWhole * 10 + static_cast<std::uint64_t>(*pD - '0');
  }
  if (nWhole > kLimit / 1024) return kRateOutOfRange;
  std::uint64_t nBytes = nWhole * 1024 + fractionTimes1024(pFraction, nFractionDigits);
  if (nBytes > (bNegative ? kLimit : kLimit - 1)) return kRateOutOfRange;
  nBytesPerSec =
      bNegative ? static_cast<std::int64_t>(0 - nBytes) : static_cast<std::int64_t>(nBytes);
  return kRateOk;
}

bool parseBandwidth(const char* szText, double& dBytesPerSecond, bool* pbOutOfRange) {
  const char* pC = szText;
  double dValue = 0;
  int nDigits = 0;
  for (; isDigit(*pC); pC++, nDigits++) dValue = dValue * 10 + (*pC - '0');
  if (*pC == '.') {
    double dScale = 1;
    for (pC++; isDigit(*pC); pC++, nDigits++) {
      dScale /= 10;
      dValue += (*pC - '0') * dScale;
    }
  }
  if (nDigits == 0) return false;
  // The units, bytes in powers of 1024 and bits in powers of 1000.
  struct Unit {
    char cPrefix;        // k, m, g, t, or 0 for none
    const char* szName;  // after the prefix letter, if any
    double dBytes;
  };
  static const Unit kUnits[] = {{0, "", 1},
                                {0, "B", 1},
                                {'k', "B", 1024.0},
                                {'k', "iB", 1024.0},
                                {'m', "B", 1048576.0},
                                {'m', "iB", 1048576.0},
                                {'g', "B", 1073741824.0},
                                {'g', "iB", 1073741824.0},
                                {'t', "B", 1099511627776.0},
                                {'t', "iB", 1099511627776.0},
                                {0, "bit", 0.125},
                                {'k', "bit", 125.0},
                                {'m', "bit", 125e3},
                                {'g', "bit", 125e6},
                                {'t', "bit", 125e9}};
  char cPrefix = static_cast<char>(*pC | 0x20);
  bool bPrefix = cPrefix == 'k' || cPrefix == 'm' || cPrefix == 'g' || cPrefix == 't';
  if (bPrefix) pC++;
  const char* pEnd = std::strcmp(pC + std::strcspn(pC, "/"), "/s") == 0 ? pC + std::strcspn(pC, "/")
                                                                        : pC + std::strlen(pC);
  std::string unit(pC, static_cast<std::size_t>(pEnd - pC));
  for (const Unit& u : kUnits) {
    if ((u.cPrefix != 0) != bPrefix || (bPrefix && u.cPrefix != cPrefix) || unit != u.szName) {
      continue;
    }
    double dBytes = dValue * u.dBytes;
    if (!(dBytes > 0) || dBytes > 1e18) {
      if (pbOutOfRange != nullptr) *pbOutOfRange = dBytes > 1e18;
      return false;
    }
    dBytesPerSecond = dBytes;
    return true;
  }
  return false;
}
