#include "options.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "reports/output.h"
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

// The largest --top and --depth: the folders count them in an int.
const std::uint64_t kMaxCount = 2147483647;

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

// Sets an option that takes a value from it. Returns false after saying why.
bool takeValue(const std::string& name, const char* szValue, LongOptions& options) {
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
  if (name == "--window") {
    options.bWindow = true;
    return takeDuration(name, szValue, options.nWindowSeconds, "8h, 90m, 1h30m or 5400");
  }
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
    return *szValue != '\0' || reject("error: --rates-from needs a schedule log%s\n", "");
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
    return !options.sList.empty() || reject("error: --list needs a file name%s\n", "");
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
  if (name == "--read-block") return "65536";
  return nullptr;
}

// Sets one long option from "--name" or "--name=value". Returns false after
// saying why on standard error.
bool takeLongOption(const char* szArg, LongOptions& options) {
  const char* pEquals = std::strchr(szArg, '=');
  std::string name(
      szArg, pEquals != nullptr ? static_cast<std::size_t>(pEquals - szArg) : std::strlen(szArg));
  if (const char* szExample = valueExample(name)) {
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
  if (pbFlag == nullptr) return reject("error: unknown option '%s'\n", name);
  if (pEquals != nullptr) return reject("error: option '%s' takes no value\n", name);
  *pbFlag = true;
  return true;
}

// Options that serve only beside another one.
bool checkCombinations(const LongOptions& options) {
  bool bLearns = options.bCalibrate || options.szRatesFrom != nullptr;
  if ((options.bGap || options.bSessionGap) && !bLearns) {
    return reject("error: %s goes with --calibrate or --rates-from\n",
                  options.bGap ? "--gap" : "--session-gap");
  }
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
  if (options.bCalibrate && (options.nTop > 0 || options.bWindow)) {
    return reject("error: %s does not go with --calibrate\n",
                  options.nTop > 0 ? "--top" : "--window");
  }
  return true;
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
    "  --window=DURATION    say whether the estimate fits a window such as 8h or 1h30m",
    "  --since=DATE         count only what changed at DATE or later, as 2026-12-06T22:00",
    "  --date-order=ORDER   with --since: the listing's dates are mdy, dmy or ymd",
    "  --calibrate          learn the four rates from a schedule log: plomet --calibrate LOG",
    "  --gap=SECONDS        with --calibrate: longer steps are idle time (default 60)",
    "  --rates-from=LOG     learn the four rates from LOG and use them (no rates given)",
    "  --session-gap=DUR    a longer step starts a new session of the log (default 2h)",
    "  --html=FILE          also write the report as a page of charts to FILE",
    "  --threads=N          read the listing, or walk the tree (-s), on N threads\n"
    "                       (default: the processors)",
    "  --one-file-system    with -s: stay on the file system of PATH",
    "  --list=FILE          with -s: also write what was found as a listing for -d",
    "  --                   end the long options",
};

}  // namespace

void printLongOptions() {
  outText("Long options, anywhere on the command line:\n");
  for (const char* szLine : kLongOptionLines) {
    outText(szLine);
    outText("\n");
  }
  outText("\nWith -s (or -sv) in the place of -d, file.ext is a folder tree to scan instead.\n");
}

bool takeLongOptions(int argc, char** argv, LongOptions& options, int& nArgc) {
  nArgc = argc > 0 ? 1 : 0;
  bool bOptionsEnded = false;
  for (int i = 1; i < argc; i++) {
    char* szArg = argv[i];
    if (!bOptionsEnded && std::strcmp(szArg, "--") == 0) {
      bOptionsEnded = true;
    } else if (!bOptionsEnded && std::strncmp(szArg, "--", 2) == 0) {
      if (!takeLongOption(szArg, options)) return false;
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
