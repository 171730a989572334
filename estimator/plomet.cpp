// plomet: estimates how long the backup of the files in a listing will take.
//
// The listing is a capture of the command shell's recursive directory listing
// (option d) or a backup client's schedule log (option l). Every file found is
// sorted into one of four size classes; each class's bytes are divided by the
// throughput measured for files of that size, and the report gives the
// per-class times, their sum, and the time for all bytes at the rate of the
// class into which the average file size falls.
#include <cerrno>
#include <cinttypes>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "int64.h"
#include "options.h"
#include "reports/calibrationreport.h"
#include "reports/folderreport.h"
#include "reports/htmlreport.h"
#include "reports/jsonreport.h"
#include "reports/output.h"
#include "reports/progress.h"
#include "reports/sincereport.h"
#include "reports/sourcewarnings.h"
#include "reports/warnings.h"
#include "reports/windowreport.h"
#include "scanrun.h"
#include "sources/entry.h"
#include "sources/listingkind.h"
#include "sources/reader.h"
#include "sources/text.h"
#include "sources/walk.h"
#include "tallies/calibrate.h"
#include "tallies/classes.h"
#include "tallies/dates.h"
#include "tallies/folders.h"
#include "tallies/htmltally.h"
#include "tallies/owntotals.h"
#include "tallies/since.h"
#include "tallies/window.h"

namespace {

const int kExitOk = 0;
const int kExitFailure = 1;
const int kExitUsage = 2;
const int kParseScan = 2;  // nParseType of the scan (option s)

// Run options and rates, set from the command line.
int nParseType = 0;  // 0: schedule log (option l), 1: directory listing (option d)
int bVerbose = 0;
const char* szFilename = "";
int64_t nOneKbSec = 0;  // bytes per second, for each size class
int64_t nTenKbSec = 0;
int64_t nHundredKbSec = 0;
int64_t nTenMbSec = 0;

LongOptions gOptions;
const char* szProgramName = "plomet";  // as the command line names it, shown safely

// Tallies: files and bytes of each size class.
uint64_t nOneKB = 0;
uint64_t nTenKB = 0;
uint64_t nHundredKB = 0;
uint64_t nTenMB = 0;
uint64_t nTotal = 0;
int64 i64OneKB;
int64 i64TenKB;
int64 i64HundredKB;
int64 i64TenMB;
int64 i64Total;
// A byte total that passed 2^64 - 1 stays there; these say which did.
bool bOneKbPassedMax = false;
bool bTenKbPassedMax = false;
bool bHundredKbPassedMax = false;
bool bTenMbPassedMax = false;
bool bTotalPassedMax = false;
bool bTimePassedMax = false;  // a sum of seconds stayed at 2^64 - 1
uint64_t nTooLarge = 0;       // size fields beyond the largest file size
uint64_t nArrowFiles = 0;     // directory-listing sizes that follow a word ending in "-->"
// Size texts without digits, as parseSize found them: with -l, objects
// whose line had no size after the arrow.
uint64_t nNoDigitSizes = 0;
OwnTotals gOwnTotals;  // what a directory listing says of itself

// The options that ask for more than the report take every line too.
bool bExtras = false;
bool bLearning = false;          // with --rates-from: the log is being read
LogCalibration gLogCalibration;  // with --calibrate, under each reading of the dates
SinceFilter gSince;              // with --since
FolderRanking gRanking;

// The sources of -d listings of another kind than the directory listing.
// A function's own: their strings are made when it is first called, not
// before main.
KindReader& kindReader() {
  static KindReader reader;
  return reader;
}

// The folder tallies, with --top. Made on first use rather than at start:
// its containers may allocate.
FolderTally& folderTally() {
  static FolderTally ft;
  return ft;
}
const char* pSizeEnd = "";  // where the last size field extracted ends in its line
WindowVerdict gWindow;      // with --window
// With --rates-from: what the log taught, and the rates as text for JSON.
CalibrationResult gModel;
bool bModel = false;
WindowVerdict gModelWindow;  // with --window: the estimate by cost and bandwidth's
char aszLearntRates[kClasses][24];
ReportFigures gFigures;  // with --json or --html: the report's numbers
// With --html: the files by size, and the log over time for each reading of
// its dates, as the calibrations take them.
PageTallies gPage;
LogTimeline gTimeline;
LogTimeline gTimelineDayFirst;
StampCache gStamps;  // the date the log or listing read last

const char* const kOneKbLabel = kClassLabels[0];
const char* const kTenKbLabel = kClassLabels[1];
const char* const kHundredKbLabel = kClassLabels[2];
const char* const kTenMbLabel = kClassLabels[3];

// Returns the number of leading bytes of the eight at pC that are blanks.
int leadingBlanks(const char* pC) {
#if defined(__GNUC__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  uint64_t nWord;
  std::memcpy(&nWord, pC, sizeof nWord);
  uint64_t nDiff = nWord ^ 0x2020202020202020ull;  // the first non-blank's lowest bits
  return nDiff == 0 ? 8 : __builtin_ctzll(nDiff) / 8;
#else
  int n = 0;
  while (n < 8 && pC[n] == ' ') n++;
  return n;
#endif
}

// skipWhitespace for the text of a piece, which is followed by kPieceSlack
// readable bytes: sizes are right-aligned in wide columns, so runs of blanks
// are skipped a word at a time.
const char* skipLineWhitespace(const char* pC) {
  // cppcheck-suppress knownConditionTrueFalse
  static_assert(kPieceSlack >= 8, "a word is read at a time");
  for (int nBlanks = 8; nBlanks == 8; pC += nBlanks) nBlanks = leadingBlanks(pC);
  return skipWhitespace(pC);
}

// Letter case is folded for A to Z only, whatever the locale.
bool equalsIgnoringCase(const char* szA, const char* szB) {
  for (;; szA++, szB++) {
    char a = (*szA >= 'A' && *szA <= 'Z') ? static_cast<char>(*szA - 'A' + 'a') : *szA;
    char b = (*szB >= 'A' && *szB <= 'Z') ? static_cast<char>(*szB - 'A' + 'a') : *szB;
    if (a != b) return false;
    if (a == '\0') return true;
  }
}

// Reads a number of more than 18 digits. Returns false when it passes the
// largest file size.
bool readLargeNumber(const char* pC, uint64_t& nValue) {
  nValue = 0;
  for (; isDigit(*pC); pC++) {
    if (!appendDigit(nValue, static_cast<unsigned>(*pC - '0'))) return false;
  }
  return true;
}

/// Reads the digits after whitespace and an optional sign as the size of a
/// file in nSize: 0 when there are no digits (counted in nNoDigitSizes) or a
/// minus sign stands before them. Returns false when the digits' value passes
/// the largest file size.
bool parseSize(const char* pC, uint64_t& nSize) {
  pC = skipWhitespace(pC);
  bool bNegative = *pC == '-';
  if (*pC == '+' || *pC == '-') pC++;
  const char* pDigits = pC;
  uint64_t nValue = 0;
  for (; isDigit(*pC); pC++) nValue = nValue * 10 + static_cast<uint64_t>(*pC - '0');
  // Up to 18 digits always fit; more are read again, with care. One test
  // finds both rare cases: no digits, or more than 18.
  if (static_cast<std::size_t>(pC - pDigits) - 1 >= 18) {
    if (pC == pDigits) {
      nNoDigitSizes++;
    } else if (!readLargeNumber(pDigits, nValue)) {
      return false;
    }
  }
  nSize = bNegative ? 0 : nValue;
  return true;
}

int64 toInt64(uint64_t n) {
  int64 x;
  x.lo = static_cast<uint32>(n);
  x.hi = static_cast<uint32>(n >> 32);
  return x;
}

uint64_t toUint64(int64 x) { return (static_cast<uint64_t>(x.hi) << 32) | x.lo; }

// Under --json standard output holds one JSON object or nothing: the usage
// text then goes to standard error.
bool bUsageToStderr = false;

const char* const kUsageText =
    "\n"
    "Usage: %s -d|l{v} file.ext 1kb/sec 10kb/sec 100kb/sec 10mb/sec\n"
    "       where -d (dir listing) or -l (log file) must be specified.\n"
    "       -dv or -lv is a verbose version of -d or -l\n"
    "       file.ext is the name of a dir listing (-d) generated using dir/s > file.txt\n"
    "       or is the name of an ULVO client schedlog file (-l)\n"
    "       1kb/sec is the performance est of 1kb files in kb/sec\n"
    "       10kb/sec is the performance est of 10kb files in kb/sec\n"
    "       100kb/sec is the performance est of 100kb files in kb/sec\n"
    "       1mb/sec is the performance est of 1mb files in kb/sec\n"
    "\n";
const char* const kUsageExamples =
    "Examples: %s -d cdrive.txt 35 233 457 449\n"
    "          %s -l ulvsched.log 35 233 457 449\n";

void usage(const char* szProgram) {
  if (bUsageToStderr) {
    outFlush();
    std::fprintf(stderr, kUsageText, szProgram);
    std::fprintf(stderr, kUsageExamples, szProgram, szProgram);
  } else {
    outFormat(kUsageText, szProgram);
    outFormat(kUsageExamples, szProgram, szProgram);
  }
}

// The usage text, then the long options.
void help(const char* szProgram) {
  bUsageToStderr = false;  // asked for, not a rejection: on standard output
  usage(szProgram);
  outText("\n");
  printLongOptions();
}

// True when --json stands among the long options, before any lone "--".
bool asksForJson(int argc, char** argv) {
  for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; i++) {
    if (std::strcmp(argv[i], "--json") == 0) return true;
  }
  return false;
}

// -h or -? in the option's place; --help is a long option.
bool isHelpRequest(const char* szArg) {
  return (szArg[0] == '-' || szArg[0] == '/') &&
         (equalsIgnoringCase(szArg + 1, "?") || equalsIgnoringCase(szArg + 1, "h"));
}

/// Sets nParseType and bVerbose from an option such as -d or /LV.
/// Returns false when the option is not one of d, dv, l, lv, s and sv.
bool parseOption(const char* szOption) {
  if (szOption[0] != '-' && szOption[0] != '/') return false;
  const char* szName = szOption + 1;
  if (equalsIgnoringCase(szName, "d")) {
    nParseType = 1;
  } else if (equalsIgnoringCase(szName, "dv")) {
    nParseType = 1;
    bVerbose = 1;
  } else if (equalsIgnoringCase(szName, "l")) {
    nParseType = 0;
  } else if (equalsIgnoringCase(szName, "lv")) {
    nParseType = 0;
    bVerbose = 1;
  } else if (equalsIgnoringCase(szName, "s") || equalsIgnoringCase(szName, "sv")) {
    nParseType = kParseScan;
    bVerbose = szName[1] != '\0';
  } else {
    return false;
  }
  return true;
}

// Copies the size field at pC into szData, leaving out thousands
// separators. The field ends at whitespace or at the end of the line. A line
// is at most kMaxLine characters, so the field fits.
void extractField(const char* pC, char* szData) {
  char* pOut = szData;
  for (;;) {
    while (isDigit(*pC)) *pOut++ = *pC++;  // most of a size: a tight loop
    if (*pC == '\0' || isWhitespace(*pC)) break;
    int nSeparator = separatorLength(pC);
    if (nSeparator > 0) {
      pC += nSeparator;
    } else {
      *pOut++ = *pC++;
    }
  }
  *pOut = '\0';
  pSizeEnd = pC;
}

const char* fieldEnd(const char* pC) {
  while (*pC != '\0' && !isWhitespace(*pC)) pC++;
  return pC;
}

// A field that may hold a size: digits, or an entry type such as <DIR>.
bool startsSize(const char* pC) { return isDigit(*pC) || *pC == '<'; }

// A word after the time of day, such as PM, or a. m. in two fields.
bool isTimeMarker(const char* pC) {
  if (*pC == '\0' || *pC == '<') return false;
  for (; *pC != '\0' && !isWhitespace(*pC); pC++) {
    if (isDigit(*pC)) return false;
  }
  return true;
}

// True when the field that ends at pEnd ends in the schedule log's arrow.
bool endsInArrow(const char* pField, const char* pEnd) {
  return pEnd[-1] == '>' && pEnd - pField >= 3 && pEnd[-2] == '-' && pEnd[-3] == '-';
}

// Skips one or two marker fields after the time of day when a size field
// follows them, and returns the size field; otherwise returns pC, and the
// first field after the time is the size field. Notes a marker that ends in
// the arrow, as the words before a schedule log's sizes do.
const char* skipTimeMarker(const char* pC) {
  const char* pField = skipLineWhitespace(pC);
  bool bArrow = false;
  for (int nMarkers = 0; nMarkers < 2 && isTimeMarker(pField); nMarkers++) {
    const char* pEnd = fieldEnd(pField);
    bArrow = bArrow || endsInArrow(pField, pEnd);
    pField = skipLineWhitespace(pEnd);
    if (startsSize(pField)) {
      if (bArrow && isDigit(*pField)) nArrowFiles++;
      return pField;
    }
  }
  return pC;
}

// The newer shell's table marks a directory by a mode such as d----- or d-r--.
bool isDirectoryMode(const char* szLine) {
  if (szLine[0] != 'd') return false;
  const char* pC = szLine;
  for (; *pC != '\0' && !isWhitespace(*pC); pC++) {
    if (std::strchr("darhsl-", *pC) == nullptr) return false;
  }
  return pC - szLine == 5 || pC - szLine == 6;
}

// <DIR>, <JUNCTION>, <SYMLINKD> and their translations are not files; a
// <SYMLINK> is a link to a file and counts as one, of 0 bytes. A field that
// only begins with '<' (<abc, a lone <) is no entry, and no file either.
bool isNoFileEntry(const char* szField) {
  return szField[0] == '<' && std::strcmp(szField, "<SYMLINK>") != 0;
}

// True when the text of the line holds szWord at or after pFound less
// nBefore, where pFound is the first place of the word's character at
// nBefore. The text ends at the first NUL, which may come before pFound.
bool holdsWordFrom(const char* szLine, const void* pFound, std::size_t nBefore,
                   const char* szWord) {
  if (pFound == nullptr) return false;
  const char* pAt = static_cast<const char*>(pFound);
  if (std::memchr(szLine, '\0', static_cast<std::size_t>(pAt - szLine)) != nullptr) return false;
  const char* pFrom = pAt - szLine >= static_cast<std::ptrdiff_t>(nBefore) ? pAt - nBefore : szLine;
  return std::strstr(pFrom, szWord) != nullptr;
}

/// Schedule log: the size is the field after the first "-->".
int parseLineLog(const char* szLine, char* szData) {
  szData[0] = '\0';
  // Find each '>' and look back: faster than a search for all three.
  for (const char* pC = std::strchr(szLine, '>'); pC != nullptr; pC = std::strchr(pC + 1, '>')) {
    if (pC - szLine >= 2 && pC[-1] == '-' && pC[-2] == '-') {
      extractField(skipLineWhitespace(pC + 1), szData);
      break;
    }
  }
  return 0;
}

/// Directory listing: a file's line starts with its date, then the time of
/// day (the first colon, or in a line without one, a time such as 20.59),
/// an optional marker such as PM, then the size.
/// Header, directory, summary and "<DIR>" lines carry no size.
int parseLineDirListing(const char* szLine, std::size_t nLength, char* szData) {
  szData[0] = '\0';
  if (szLine[0] == '\0' || isWhitespace(szLine[0])) return 0;
  // Most lines hold neither a < nor a (: two quick scans of nLength bytes
  // rule both words out, and where one is found the search starts there.
  if (holdsWordFrom(szLine, std::memchr(szLine, '<', nLength), 0, "<DIR>") ||
      holdsWordFrom(szLine, std::memchr(szLine, '(', nLength), 4, "File(s)")) {
    return 0;
  }
  if (isDirectoryMode(szLine)) return 0;
  const char* pC = std::strchr(szLine, ':');
  if (pC != nullptr) {
    // A time's colon comes before a digit; the drive's colon of a header
    // written from the first column (Výpis adresáře C:\Data 2024) does not.
    if (!isDigit(pC[1])) return 0;
    pC = fieldEnd(pC + 1);  // the rest of the time of day, such as the 02p of 11:02p
  } else {
    pC = listingTimeEnd(szLine);  // a time written with a full stop, such as 20.59
    if (pC == nullptr) return 0;
  }
  const char* pField = skipTimeMarker(pC);
  if (pField == pC) pField = skipLineWhitespace(pC);
  if (!startsSize(pField)) return 0;  // a word or a sign: the line is no file's
  extractField(pField, szData);
  if (isNoFileEntry(szData)) szData[0] = '\0';
  return 0;
}

const int64 kMaxInt64 = {0xFFFFFFFFu, 0xFFFFFFFFu};

// Adds to a byte total that stays at 2^64 - 1 rather than wrap, and notes it.
void addBytes(int64& i64Sum, int64 i64Bytes, bool& bPassedMax) {
  int64 i64New = Add64(i64Sum, i64Bytes);
  if (toUint64(i64New) < toUint64(i64Bytes)) {
    i64New = kMaxInt64;
    bPassedMax = true;
  }
  i64Sum = i64New;
}

// The tallies of the size classes, in class order.
uint64_t* const apnClassFiles[] = {&nOneKB, &nTenKB, &nHundredKB, &nTenMB};
int64* const api64ClassBytes[] = {&i64OneKB, &i64TenKB, &i64HundredKB, &i64TenMB};
bool* const apbClassPassedMax[] = {&bOneKbPassedMax, &bTenKbPassedMax, &bHundredKbPassedMax,
                                   &bTenMbPassedMax};

// Counts a file of nSize bytes in its size class.
inline void countFile(uint64_t nSize) {
  int64 i64Size = toInt64(nSize);
  switch (sizeClass(nSize)) {
    case 0:
      nOneKB++;
      addBytes(i64OneKB, i64Size, bOneKbPassedMax);
      break;
    case 1:
      nTenKB++;
      addBytes(i64TenKB, i64Size, bTenKbPassedMax);
      break;
    case 2:
      nHundredKB++;
      addBytes(i64HundredKB, i64Size, bHundredKbPassedMax);
      break;
    default:
      nTenMB++;
      addBytes(i64TenMB, i64Size, bTenMbPassedMax);
      break;
  }
}

/// Counts the file whose size text is szData in its size class. Empty text is
/// no file; text without digits, or with a minus sign, is a file of 0 bytes;
/// digits beyond the largest file size are no file either.
int processResults(const char* szData) {
  if (szData[0] == '\0') return 0;
  uint64_t nSize;
  if (!parseSize(szData, nSize)) {
    nTooLarge++;
    return 0;
  }
  countFile(nSize);
  return 0;
}

uint64_t filesCounted() { return nTenMB + nHundredKB + nTenKB + nOneKB; }

// Whole seconds to move the bytes at the rate; 0 when the rate is not positive.
uint64_t secondsAt(int64 i64Bytes, int64_t nRate) {
  if (nRate <= 0) return 0;
  int64 i64Remainder;
  return toUint64(Div64(i64Bytes, toInt64(static_cast<uint64_t>(nRate)), i64Remainder));
}

// A column of the class table is as wide as its heading's, or one more than
// its text, so that no two columns ever run together.
int columnWidth(const char* szText, int nWidth) {
  int nNeeded = static_cast<int>(std::strlen(szText)) + 1;
  return nNeeded > nWidth ? nNeeded : nWidth;
}

// Prints one row of the class table and returns the class's seconds.
uint64_t displayClass(const char* szLabel, uint64_t nFiles, int64 i64Bytes, int64_t nRate) {
  uint64_t nSecs = secondsAt(i64Bytes, nRate);
  if (gOptions.bJson) return nSecs;
  char szFiles[24];
  char szRate[24];
  unsigned char szBuf[24];
  unsigned char szBuf2[24];
  std::snprintf(szFiles, sizeof szFiles, "%" PRIu64, nFiles);
  std::snprintf(szRate, sizeof szRate, "%" PRId64, nRate);
  const char* szBytes = reinterpret_cast<char*>(I64toCh(i64Bytes, szBuf, 10));
  I64toCh(toInt64(nSecs), szBuf2, 10);
  outFormat("%-*s%-*s%-*s%-*s%-10s\n", columnWidth(szLabel, 20), szLabel, columnWidth(szFiles, 10),
            szFiles, columnWidth(szBytes, 15), szBytes, columnWidth(szRate, 10), szRate,
            reinterpret_cast<char*>(szBuf2));
  return nSecs;
}

// Adds to a sum of seconds that stays at 2^64 - 1 rather than wrap, and notes it.
void addSeconds(uint64_t& nSum, uint64_t nSecs) {
  if (nSecs > UINT64_MAX - nSum) bTimePassedMax = true;
  nSum = addSaturating(nSum, nSecs);
}

void displayTime(const char* szWhat, uint64_t nTotalSecs) {
  if (gOptions.bJson) return;
  char szTime[kDurationTextSize];
  formatDuration(nTotalSecs, szTime);
  outFormat("%s: %s\n", szWhat, szTime);
}

// The rate of the class into which a file of nSize bytes falls, with its label.
int64_t rateForSize(uint64_t nSize, const char*& szLabel) {
  switch (sizeClass(nSize)) {
    case 0:
      szLabel = kOneKbLabel;
      return nOneKbSec;
    case 1:
      szLabel = kTenKbLabel;
      return nTenKbSec;
    case 2:
      szLabel = kHundredKbLabel;
      return nHundredKbSec;
    default:
      szLabel = kTenMbLabel;
      return nTenMbSec;
  }
}

bool isZero(int64 x) { return x.lo == 0 && x.hi == 0; }

// True when a rate's text, as parseRateText accepted it, is above 0: no minus
// sign, and a digit other than 0.
bool isPositiveRate(const char* szText) {
  return std::strchr(szText, '-') == nullptr && std::strpbrk(szText, "123456789") != nullptr;
}

// A rate that is not positive turns a class's time into a silent 0: say so,
// for a class that holds bytes or whose rate the second estimate uses.
void warnRate(const char* szLabel, int64_t nRate, int64 i64Bytes, const char* szAverageLabel,
              const char* szRateText) {
  if (nRate > 0 || (isZero(i64Bytes) && szLabel != szAverageLabel)) return;
  if (isPositiveRate(szRateText)) {
    warn("rate for %s is less than one byte per second; its time counts as 0", szLabel);
  } else {
    warn("rate for %s is not a positive number; its time counts as 0", szLabel);
  }
}

// With --rates-from: the estimate by the fitted cost and bandwidth over every
// object counted, and its range under the sessions' own fits.
void displayModel() {
  gFigures.nModelSeconds =
      modelSeconds(gModel.dCostSeconds, gModel.dSecondsPerByte, nTotal, toUint64(i64Total));
  gFigures.spread = sessionSpread(gModel, nTotal, toUint64(i64Total));
  displayTime("Estimated Time by cost and bandwidth", gFigures.nModelSeconds);
  if (gFigures.spread.nSessions < 2 || gOptions.bJson) return;
  char szFastest[kDurationTextSize];
  char szSlowest[kDurationTextSize];
  formatDuration(gFigures.spread.nFastest, szFastest);
  formatDuration(gFigures.spread.nSlowest, szSlowest);
  outFormat("Over the %d sessions in the log: %s to %s\n", gFigures.spread.nSessions, szFastest,
            szSlowest);
}

// After the estimates: how they compare with the backup window, and the
// folders that take the longest.
void displayExtras(uint64_t nTotalSecs) {
  if (gOptions.bWindow) {
    gWindow = judgeWindow(gOptions.nWindowSeconds, nTotalSecs, bTimePassedMax);
    if (!gOptions.bJson) printWindowVerdict(gWindow);
    if (bModel) {
      gModelWindow = judgeWindow(gOptions.nWindowSeconds, gFigures.nModelSeconds);
      if (!gOptions.bJson) printWindowVerdict(gModelWindow, "by cost and bandwidth");
    }
  }
  if (gOptions.nTop > 0) {
    const int64_t anRate[] = {nOneKbSec, nTenKbSec, nHundredKbSec, nTenMbSec};
    int nAside = kFolderCounted;
    if (gOptions.bSince)
      nAside = dayFirstChosen(gSince) ? kFolderDayFirstOnly : kFolderMonthFirstOnly;
    int nTop = gOptions.nTop > INT_MAX ? INT_MAX : static_cast<int>(gOptions.nTop);
    rankFolders(folderTally(), anRate, nTop, gRanking, nAside);
    if (!gOptions.bJson) printFolders(gRanking);
  }
}

// The report's numbers, for the JSON report written after the warnings.
void gatherFigures(uint64_t nTotalSecs, uint64_t nAverageSize, uint64_t nAverageSecs) {
  const int64_t anRate[] = {nOneKbSec, nTenKbSec, nHundredKbSec, nTenMbSec};
  for (int k = 0; k < kClasses; k++) {
    ClassFigures& c = gFigures.aClasses[k];
    c.nFiles = *apnClassFiles[k];
    c.nBytes = toUint64(*api64ClassBytes[k]);
    c.bExact = !*apbClassPassedMax[k];
    c.nRate = anRate[k];
    c.nSeconds = secondsAt(*api64ClassBytes[k], anRate[k]);
    c.dSeconds = anRate[k] > 0 ? static_cast<double>(c.nBytes) / static_cast<double>(anRate[k]) : 0;
  }
  gFigures.nFiles = nTotal;
  gFigures.nBytes = toUint64(i64Total);
  gFigures.bExact = !(bTotalPassedMax || bOneKbPassedMax || bTenKbPassedMax ||
                      bHundredKbPassedMax || bTenMbPassedMax);
  gFigures.nAverage = nAverageSize;
  gFigures.nAverageClass = sizeClass(nAverageSize);
  gFigures.nEstimateSeconds = nTotalSecs;
  gFigures.nAverageEstimateSeconds = nAverageSecs;
  gFigures.bOwnTotals =
      nParseType == 1 && ownTotals(gOwnTotals, gFigures.nOwnFiles, gFigures.nOwnBytes);
  gFigures.pWindow = gOptions.bWindow ? &gWindow : nullptr;
  gFigures.pSince = gOptions.bSince ? &gSince : nullptr;
  gFigures.pFolders = gOptions.nTop > 0 ? &gRanking : nullptr;
  if (bModel) {
    gFigures.pModel = &gModel;
    gFigures.szModelLog = gOptions.szRatesFrom;
    gFigures.pModelWindow = gOptions.bWindow ? &gModelWindow : nullptr;
  }
}

/// Prints the report: the class table, the totals and both estimates. Then
/// warns, on standard error, about rates that made a time 0.
int displayResults() {
  if (gOptions.bSince && !gOptions.bJson) {
    printSelection(gSince, "Files changed", filesCounted());
  }
  if (bModel && !gOptions.bJson) printRatesSource(printable(gOptions.szRatesFrom).c_str(), gModel);
  if (!gOptions.bJson) {
    outText("\n");
    const char szRule[] = "=============================================================\n";
    outText(szRule);
    outFormat("%-20s%-10s%-15s%-10s%-10s\n", "Range", "#", "#", "Bytes", "Time");
    outFormat("%-20s%-10s%-15s%-10s%-10s\n", "Bytes", "Files", "Bytes", "Per Sec", "(sec)");
    outText(szRule);
    outText("\n");
  }

  uint64_t nTotalSecs = displayClass(kOneKbLabel, nOneKB, i64OneKB, nOneKbSec);
  addSeconds(nTotalSecs, displayClass(kTenKbLabel, nTenKB, i64TenKB, nTenKbSec));
  addSeconds(nTotalSecs, displayClass(kHundredKbLabel, nHundredKB, i64HundredKB, nHundredKbSec));
  addSeconds(nTotalSecs, displayClass(kTenMbLabel, nTenMB, i64TenMB, nTenMbSec));

  i64Total = i64OneKB;
  addBytes(i64Total, i64TenKB, bTotalPassedMax);
  addBytes(i64Total, i64HundredKB, bTotalPassedMax);
  addBytes(i64Total, i64TenMB, bTotalPassedMax);
  nTotal = filesCounted();
  int64 i64AverageSize = Make64(0);
  if (nTotal != 0) {
    int64 i64Remainder;
    i64AverageSize = Div64(i64Total, toInt64(nTotal), i64Remainder);
  }
  unsigned char szBuf[24];
  unsigned char szBuf2[24];
  I64toCh(i64Total, szBuf, 10);
  I64toCh(i64AverageSize, szBuf2, 10);
  if (!gOptions.bJson) {
    outFormat("\nTotal size for all %" PRIu64 " files: %s. Average file size: %s \n\n", nTotal,
              reinterpret_cast<char*>(szBuf), reinterpret_cast<char*>(szBuf2));
  }
  displayTime("Estimated Time", nTotalSecs);

  const char* szAverageLabel;
  int64_t nAverageRate = rateForSize(toUint64(i64AverageSize), szAverageLabel);
  uint64_t nAverageSecs = secondsAt(i64Total, nAverageRate);
  displayTime("Estimated Time based on average file size", nAverageSecs);
  if (bModel) displayModel();
  displayExtras(nTotalSecs);
  if (gOptions.bJson || gOptions.bHtml)
    gatherFigures(nTotalSecs, toUint64(i64AverageSize), nAverageSecs);

  // The warnings follow the report they explain.
  outFlush();
  const char* szUsedAverageLabel = isZero(i64Total) ? nullptr : szAverageLabel;
  warnRate(kOneKbLabel, nOneKbSec, i64OneKB, szUsedAverageLabel, gFigures.aClasses[0].szRate);
  warnRate(kTenKbLabel, nTenKbSec, i64TenKB, szUsedAverageLabel, gFigures.aClasses[1].szRate);
  warnRate(kHundredKbLabel, nHundredKbSec, i64HundredKB, szUsedAverageLabel,
           gFigures.aClasses[2].szRate);
  warnRate(kTenMbLabel, nTenMbSec, i64TenMB, szUsedAverageLabel, gFigures.aClasses[3].szRate);
  return 0;
}

// A total that stayed at its largest value makes every number from it a
// lower bound: say which.
void warnPassedMax(const char* szWhat, bool bPassedMax) {
  if (bPassedMax) warn("the byte total of %s passed 18446744073709551615 and is not exact", szWhat);
}

// Compares the totals that a directory listing states about itself with what
// was counted.
void warnOwnTotals() {
  uint64_t nFiles;
  uint64_t nBytes;
  if (!ownTotals(gOwnTotals, nFiles, nBytes)) return;
  // With --since the listing's totals cover every file read, not those selected.
  uint64_t nCountedFiles = gOptions.bSince ? gSince.nLines : nTotal;
  uint64_t nCountedBytes = gOptions.bSince ? gSince.nBytes : toUint64(i64Total);
  if (nFiles == nCountedFiles && nBytes == nCountedBytes) return;
  warn("the listing's own totals are %" PRIu64 " files and %" PRIu64 " bytes, but %" PRIu64
       " files and %" PRIu64 " bytes were counted",
       nFiles, nBytes, nCountedFiles, nCountedBytes);
}

// The totals and the estimate that stayed at their largest value, whatever
// the source of the files.
void warnCounts() {
  for (int k = 0; k < kClasses; k++) warnPassedMax(kClassLabels[k], *apbClassPassedMax[k]);
  warnPassedMax("all classes", bTotalPassedMax);
  if (bTimePassedMax) {
    warn("the estimated time passed 18446744073709551615 seconds and is not exact");
  }
}

// The warnings about the listing as a whole, after the report and the rates'.
void warnListing(uint64_t nLines) {
  uint64_t nFilesRead = gOptions.bSince ? gSince.nLines : nTotal;  // selected or not
  if (nLines > 0 && nFilesRead == 0) {
    warn("no file sizes found; check that the option (-d or -l) matches the listing");
  }
  if (nTooLarge > 0) {
    warn("%" PRIu64 " sizes too large to be file sizes were left out", nTooLarge);
  }
  if (nParseType == 0 && nNoDigitSizes > 0) {
    warn("%" PRIu64 " object lines had no size after the arrow and were counted as 0 bytes",
         nNoDigitSizes);
  }
  warnCounts();
  ReadFacts facts = readFacts();
  if (facts.bEmpty && readError() == 0) warn("the listing is empty");
  if (facts.bStoppedEarly) {
    warn("reading stopped at an end-of-text byte (26); the rest of the listing was not read");
  }
  if (facts.bNoLineFeeds) {
    warn(
        "the listing has no line feeds; lines that end in a carriage return alone are not "
        "read as lines");
  }
  if (nParseType == 1 && nFilesRead > 0 && nArrowFiles * 2 >= nFilesRead) {
    warn(
        "the listing looks like a schedule log; check that the option (-d or -l) matches the "
        "listing");
  }
  if (nParseType == 1) warnOwnTotals();
  if (nParseType == 1) warnKind(kindReader());
  if (gOptions.bSince) warnSince(gSince);
  if (bModel) warnCalibration(gModel);
}

// Echoes a parsed line and its size text. A NUL ends the line's text, its
// line feed included.
void echoLine(const Piece& piece, const char* szData) {
  outText(nParseType == 0 ? "parseLineLog( line: " : "parseDirListing( line: ");
  std::size_t nText = std::strlen(piece.szText);
  outWrite(piece.szText, nText);
  if (piece.bLineFeed && nText == piece.nLength) outText("\n");
  outText(", data: ");
  outText(szData);
  outText(" )\n");
}

// Standard input, read as bytes like any listing file.
std::FILE* openStandardInput() {
#ifdef _WIN32
  _setmode(_fileno(stdin), _O_BINARY);
#endif
  return stdin;
}

// Opens the listing file, or returns nullptr with errno set. A directory is
// no listing, though some systems open it for reading.
std::FILE* openListing(const char* szName) {
  std::error_code error;
  if (std::filesystem::is_directory(szName, error)) {
    errno = EISDIR;
    return nullptr;
  }
  return std::fopen(szName, "rb");
}

// Rejects the command line: says why on standard error, then prints the
// usage text. Returns the exit status.
int rejectCommandLine(const char* szFormat, const std::string& arg) {
  std::fprintf(stderr, szFormat, printable(arg.c_str()).c_str());
  usage(szProgramName);
  return kExitUsage;
}

// Reads the four rates into the class rates. Returns -1, or the exit status
// after rejecting the first rate that is not one.
int takeRates(char** argv) {
  int64_t* apnRate[] = {&nOneKbSec, &nTenKbSec, &nHundredKbSec, &nTenMbSec};
  for (int i = 0; i < 4; i++) {
    const char* szArg = argv[3 + i];
    RateStatus status = parseRateText(szArg, *apnRate[i]);
    gFigures.aClasses[i].szRate = szArg;
    if (status == kRateNotNumber) {
      return rejectCommandLine("error: rate '%s' is not a number of kilobytes per second\n", szArg);
    }
    if (status == kRateOutOfRange) {
      return rejectCommandLine("error: rate '%s' is out of range\n", szArg);
    }
  }
  return -1;
}

// True when the line may belong to the listing's own totals: they, like the
// headers, begin with a blank.
bool mayBeSummary(const char* szLine) { return szLine[0] == '\0' || isWhitespace(szLine[0]); }

// The option, the listing and the four rates. Returns -1, or the exit status
// after rejecting them.
int takeArguments(int argc, char** argv) {
  if (gOptions.szRatesFrom != nullptr) {
    if (argc > 3) {
      return rejectCommandLine("error: give the four rates or --rates-from, not both%s\n", "");
    }
    if (argc != 3) {
      return rejectCommandLine(
          "error: expected 2 arguments with --rates-from (the option and a listing), got %s\n",
          std::to_string(argc - 1));
    }
    szFilename = argv[2];
    if (std::strcmp(szFilename, "-") == 0 && std::strcmp(gOptions.szRatesFrom, "-") == 0) {
      return rejectCommandLine("error: the log and the listing cannot both be standard input%s\n",
                               "");
    }
    return -1;
  }
  if (argc != 7) {
    return rejectCommandLine(
        "error: expected 6 arguments (the option, a listing and four rates), got %s\n",
        std::to_string(argc - 1));
  }
  szFilename = argv[2];
  return takeRates(argv);
}

// With --calibrate, the schedule log alone. Returns -1, or the exit status
// after rejecting the arguments.
int takeLog(int argc, char** argv) {
  if (argc >= 2 && parseOption(argv[1])) {
    return rejectCommandLine(
        "error: --calibrate reads a schedule log and takes no option such as '%s' and no rates\n",
        argv[1]);
  }
  if (argc != 2) {
    return rejectCommandLine("error: expected 1 argument with --calibrate (the log), got %s\n",
                             std::to_string(argc - 1));
  }
  szFilename = argv[1];
  nParseType = 0;
  bVerbose = 0;
  return -1;
}

// Every line of the log goes to the calibration of each reading of the
// dates that selects it: both, but with --since.
void calibrateLogLine(LogCalibration& log, const Piece& piece, const char* szData,
                      SinceFilter* pSince) {
  LineStamp stamp;
  bool bTimed = readLogStamp(piece.szText, piece.nLength, stamp, gStamps);
  uint64_t nSize = 0;
  bool bObject = szData[0] != '\0' && parseSize(szData, nSize);
  if (!bTimed && !bObject) return;  // a line without a time or an object tells nothing
  Selection selection;
  selection.bMonthFirst = selection.bDayFirst = true;
  if (pSince != nullptr) selection = judgeLine(*pSince, stamp, nSize);
  calibrateStampedLine(log, stamp, bTimed, selection, bObject, nSize);
  if (!gOptions.bHtml) return;
  if (selection.bMonthFirst) timelineLine(gTimeline, bTimed, stamp.nSecondOfDay, bObject, nSize);
  if (selection.bDayFirst && pSince != nullptr && !pSince->bOrderGiven) {
    timelineLine(gTimelineDayFirst, bTimed, stamp.nSecondOfDay, bObject, nSize);
  }
}

// With --since: a file of nSize bytes is counted when both readings of its
// date select it, and set aside for the reading that alone does. Returns the
// folders' group of the file, or -1 when neither reading selects it.
int countSelected(const Selection& selection, uint64_t nSize) {
  if (selection.bMonthFirst && selection.bDayFirst) {
    countFile(nSize);
    return kFolderCounted;
  }
  setAside(gSince, selection, nSize);
  if (selection.bMonthFirst) return kFolderMonthFirstOnly;
  return selection.bDayFirst ? kFolderDayFirstOnly : -1;
}

// countSelected for a file line, its date read from the line.
int countSinceFile(const Piece& piece, uint64_t nSize) {
  return countSelected(judgeLineText(gSince, piece.szText, piece.nLength, nParseType == 1, nSize),
                       nSize);
}

/// Counts one object that a source found: in its size class, by its time
/// with --since, and in its folder with --top.
void countEntry(const Entry& entry) {
  int nGroup = kFolderCounted;
  if (gOptions.bSince) {
    nGroup = countSelected(judgeLine(gSince, entry.stamp, entry.nSize), entry.nSize);
  } else {
    countFile(entry.nSize);
  }
  if (gOptions.bHtml) countPageFile(gPage, entry.nSize, nGroup);
  if (gOptions.nTop == 0 || nGroup < 0) return;
  countFolderFile(folderTally(), entry.pFolder, entry.nFolder, sizeClass(entry.nSize), entry.nSize,
                  nGroup);
}

// A line of a listing of another kind than the directory listing.
void takeKindLine(const Piece& piece) {
  KindReader& reader = kindReader();
  if (reader.nKind != listingKind()) {
    startKindReader(reader, listingKind(), todayLocal(), gOptions.bSince, gOptions.nTop > 0);
  }
  Entry entry;
  bool bObject = readKindLine(reader, piece, entry);
  if (bVerbose) {
    char szSize[24] = "";
    if (bObject) std::snprintf(szSize, sizeof szSize, "%" PRIu64, entry.nSize);
    outFormat("%s( line: ", kindName(reader.nKind));
    outWrite(piece.szText, std::strlen(piece.szText));
    outFormat(", data: %s )\n", szSize);
  }
  if (bObject) countEntry(entry);
}

// A dated line that is no file, such as a directory's, may still show the
// order of the listing's dates.
void weighDate(const Piece& piece) {
  if (mayBeSummary(piece.szText)) return;
  LineStamp stamp;
  bool bRead = nParseType == 1 ? readListingStamp(piece.szText, piece.nLength, stamp, gStamps)
                               : readLogStamp(piece.szText, piece.nLength, stamp, gStamps);
  if (bRead) weighStamp(gSince.evidence, stamp);
}

// With --top, the whole of a line that was cut, for the path in it: the
// piece's text and the rest of the line, with the slack a piece has.
Piece wholeLine(const Piece& piece) {
  static std::string sWhole;  // grows to the longest such line, and stays
  sWhole.assign(piece.szText, piece.nLength);
  readRestOfListingLine(piece, sWhole);
  std::size_t nLength = sWhole.size();
  sWhole.append(kPieceSlack, '\0');
  return Piece{sWhole.c_str(), nLength, true, false};
}

// With --top, a line of a directory listing that holds no file may name the
// directory of the files that follow; such a header is read whole, however
// long its path.
void noteHeader(const Piece& piece) {
  if (!piece.bCut || !namesDirectory(piece.szText)) {
    noteDirectoryLine(folderTally(), piece);
    return;
  }
  noteDirectoryLine(folderTally(), wholeLine(piece));
}

// The per-line work of the options that ask for more than the report.
void takeLineExtras(const Piece& piece, const char* szData) {
  if (gOptions.bCalibrate || bLearning) {
    // With --rates-from the log's lines are all learnt from: --since is the listing's.
    bool bSelect = gOptions.bSince && !bLearning;
    calibrateLogLine(gLogCalibration, piece, szData, bSelect ? &gSince : nullptr);
    return;
  }
  if (gOptions.nTop > 0 && nParseType == 1 && szData[0] == '\0') noteHeader(piece);
  uint64_t nSize;
  if (szData[0] == '\0' || !parseSize(szData, nSize)) {
    processResults(szData);  // no file, or one too large to be one
    if (gOptions.bSince && szData[0] == '\0') weighDate(piece);
    return;
  }
  int nGroup = kFolderCounted;
  if (gOptions.bSince) {
    nGroup = countSinceFile(piece, nSize);
  } else {
    countFile(nSize);
  }
  if (gOptions.bHtml) countPageFile(gPage, nSize, nGroup);
  if (gOptions.nTop == 0 || nGroup < 0) return;
  Piece line = piece;
  const char* pPath = pSizeEnd;
  if (piece.bCut) {  // a file's path may run past the piece
    line = wholeLine(piece);
    pPath = line.szText + (pSizeEnd - piece.szText);
  }
  if (nParseType == 1) {
    countListingFile(folderTally(), pPath, sizeClass(nSize), nSize, nGroup);
  } else {
    countLogObject(folderTally(), line, pPath, sizeClass(nSize), nSize, nGroup);
  }
}

// With --since, once the listing has shown the order of its dates: the files
// set aside for that reading join the count.
void countChosenAside() {
  const AsideTally& aside = chosenAside(gSince);
  for (int k = 0; k < kClasses; k++) {
    *apnClassFiles[k] += aside.anFiles[k];
    addBytes(*api64ClassBytes[k], toInt64(aside.anBytes[k]), *apbClassPassedMax[k]);
    if (aside.abPassedMax[k]) *apbClassPassedMax[k] = true;
  }
}

// Writes the page of --html: the estimate's (bEstimate), the calibration's
// (pCalibration), or both, as for rates learnt from a log and used at once.
// Returns nStatus, or 1 when the page could not be written.
int writePage(int nStatus, bool bEstimate, const CalibrationResult* pCalibration) {
  PageInput input;
  input.pFigures = &gFigures;
  input.bEstimate = bEstimate;
  SizeHistogram counted;
  bool bDayFirst = gOptions.bSince && dayFirstChosen(gSince);
  if (input.bEstimate) {
    int nAside = !gOptions.bSince ? kFolderCounted
                 : bDayFirst      ? kFolderDayFirstOnly
                                  : kFolderMonthFirstOnly;
    counted = countedFiles(gPage, nAside);
    input.pCounted = &counted;
    input.pTallies = &gPage;
  }
  if (pCalibration != nullptr) {
    input.pCalibration = pCalibration;
    // The log of --rates-from is read under the month-first reading alone.
    input.pTimeline = bDayFirst && !bModel ? &gTimelineDayFirst : &gTimeline;
  }
  input.readAt = utcText(std::time(nullptr));
  if (std::strcmp(szFilename, "-") != 0) input.modifiedAt = modifiedText(szFilename);
  int nErrno = writeHtmlFile(gOptions.szHtml, htmlPage(input));
  if (nErrno == 0) return nStatus;
  std::fprintf(stderr, "error: cannot write the page to '%s': %s\n",
               printable(gOptions.szHtml).c_str(), std::strerror(nErrno));
  return kExitFailure;
}

// Prints what the schedule log taught. Returns the exit status.
int reportCalibration() {
  CalibrationResult result;
  outFlush();  // an error comes after whatever was written
  const Calibration& cal = gOptions.bSince
                               ? chosenCalibration(gLogCalibration, dayFirstChosen(gSince))
                               : chosenCalibration(gLogCalibration);
  int nStatus = finishCalibration(cal, result);
  if (nStatus != 0) return nStatus;
  if (gOptions.bSince) gFigures.pSince = &gSince;
  if (gOptions.bJson) {
    if (gOptions.bSince) warnSince(gSince);
    warnCalibration(result);
    writeJsonCalibration(gFigures, result);
  } else {
    if (gOptions.bSince) printSelection(gSince, "Lines written", selectedLines(gSince));
    printCalibration(result);
    outFlush();
    if (gOptions.bSince) warnSince(gSince);
    warnCalibration(result);
  }
  if (gOptions.bHtml) return writePage(kExitOk, false, &result);
  return kExitOk;
}

// Reads the listing (or the log) named, "-" being standard input, line by line
// through the parser of nParseType, the echo and the tallies. Returns -1 after
// saying why it cannot be opened, else the reading's exit status: 0, or 1
// after a read error. nLinesRead is the number of lines read.
int readInput(const char* szName, uint64_t& nLinesRead) {
  // "-" is standard input, so that a listing can be piped in; a file named
  // "-" is reached as "./-".
  bool bStandardInput = std::strcmp(szName, "-") == 0;
  std::FILE* stream = bStandardInput ? openStandardInput() : openListing(szName);
  if (stream == nullptr) {
    int nErrno = errno;
    std::string name = printable(szName);
    if (!gOptions.bJson) outFormat("File %s could not be opened\n", name.c_str());
    std::fprintf(stderr, "error: cannot open '%s': %s\n", name.c_str(), std::strerror(nErrno));
    return -1;
  }
  startReading(stream);
  std::error_code error;
  std::uintmax_t nFileSize = bStandardInput ? 0 : std::filesystem::file_size(szName, error);
  startProgress(error ? 0 : nFileSize);
  static char szData[kMaxLine + 1];
  uint64_t nLines = 0;
  Piece piece;
  startKindDecision(nParseType == 1, gOptions.nTop > 0);
  // Once the kind is decided, two flags in registers say so: a line costs
  // no more than before there were kinds to decide.
  bool bDeciding = nParseType == 1;
  bool bOtherKind = false;
  while (readListingPiece(piece)) {
    if (bDeciding) {
      if (!gKindDecision.bDecided && holdPiece(piece)) continue;
      bDeciding = false;
      bOtherKind = listingKind() != kKindDir;
    }
    const char* szLine = piece.szText;
    if (++nLines % 16384 == 0) {
      showProgress(bytesRead(), nLines, filesCounted());
    }
    if (bOtherKind) {
      takeKindLine(piece);
      continue;
    }
    if (nParseType == 0) {
      parseLineLog(szLine, szData);
    } else {
      parseLineDirListing(szLine, piece.nLength, szData);
      if (mayBeSummary(szLine)) noteOwnTotalsLine(gOwnTotals, szLine, nLines);
    }
    if (bVerbose) echoLine(piece, szData);
    if (bExtras) {
      takeLineExtras(piece, szData);
    } else {
      processResults(szData);
    }
  }
  endProgress();
  nLinesRead = nLines;
  int nStatus = kExitOk;
  if (readError() != 0) {
    outFlush();  // what was echoed comes before the message
    std::fprintf(stderr, "read error: %s\n", std::strerror(readError()));
    nStatus = kExitFailure;
  }
  if (!bStandardInput) std::fclose(stream);
  return nStatus;
}

// With --rates-from: learns the four rates from the log as --calibrate does,
// before any listing is opened, and sets the class rates to them. Returns -1,
// or the exit status after saying why the log teaches nothing.
int learnRatesFrom() {
  // The log is read as --calibrate reads one; the listing's reading is set
  // back afterwards.
  const int nListingType = nParseType;
  const int bListingVerbose = bVerbose;
  const bool bListingExtras = bExtras;
  nParseType = 0;
  bVerbose = 0;
  bExtras = bLearning = true;
  startLogCalibration(gLogCalibration, gOptions.nGapSeconds, gOptions.nSessionGapSeconds, false,
                      DateOrder::kMonthFirst);
  uint64_t nLines = 0;
  int nStatus = readInput(gOptions.szRatesFrom, nLines);
  nParseType = nListingType;
  bVerbose = bListingVerbose;
  bExtras = bListingExtras;
  bLearning = false;
  if (nStatus != kExitOk) return kExitFailure;
  outFlush();  // an error comes after whatever was written
  if (finishCalibration(chosenCalibration(gLogCalibration), gModel) != 0) return kExitFailure;
  int64_t* apnRate[] = {&nOneKbSec, &nTenKbSec, &nHundredKbSec, &nTenMbSec};
  for (int k = 0; k < kClasses; k++) {
    uint64_t nRate = gModel.aClasses[k].nRateKBps;
    *apnRate[k] = static_cast<int64_t>(nRate * 1024);
    std::snprintf(aszLearntRates[k], sizeof aszLearntRates[k], "%" PRIu64, nRate);
    gFigures.aClasses[k].szRate = aszLearntRates[k];
  }
  bModel = true;
  return -1;
}

/// Reads the arguments, then the whole listing, and prints the report.
/// Returns the exit status.
int update(int argc, char** argv) {
  int nStatus = gOptions.bCalibrate ? takeLog(argc, argv) : takeArguments(argc, argv);
  if (nStatus >= 0) return nStatus;
  if (gOptions.szRatesFrom != nullptr) {
    nStatus = learnRatesFrom();
    if (nStatus >= 0) return nStatus;
  }
  uint64_t nLines = 0;
  nStatus = readInput(szFilename, nLines);
  if (nStatus < 0) return kExitFailure;
  gFigures.nReadError = readError();
  gFigures.szKind = nParseType == 1 ? kindName(listingKind()) : "schedule log";
  if (nParseType == 1 && kindError(kindReader()) != nullptr) {
    outFlush();
    std::fprintf(stderr, "error: %s\n", kindError(kindReader()));
    return kExitFailure;
  }
  gFigures.listing = szFilename;
  gFigures.szEncoding = readEncoding();
  if (gOptions.bCalibrate) {
    if (nStatus == kExitOk) nStatus = reportCalibration();
  } else {
    if (gOptions.bSince) countChosenAside();
    displayResults();
    warnListing(nLines);
    if (gOptions.bJson) writeJsonReport(gFigures);
    if (gOptions.bHtml) nStatus = writePage(nStatus, true, bModel ? &gModel : nullptr);
  }
  return nStatus;
}

/// Walks the folder tree given in the listing's place, counts what a backup
/// of it sends, and prints the report. Returns the exit status.
int scan(int argc, char** argv) {
  int nStatus = takeArguments(argc, argv);
  if (nStatus >= 0) return nStatus;
  if (gOptions.szRatesFrom != nullptr) {
    nStatus = learnRatesFrom();
    if (nStatus >= 0) return nStatus;
  }
  ScanRun run;
  run.pCount = countEntry;
  run.bEcho = bVerbose != 0;
  if (gOptions.bList) run.sList = gOptions.sList;
  WalkOptions options;
  options.nThreads = gOptions.bThreads ? static_cast<int>(gOptions.nThreads) : walkDefaultThreads();
  options.bOneFileSystem = gOptions.bOneFileSystem;
  options.bNames = gOptions.bList || bVerbose;
  options.bTimes = options.bNames || gOptions.bSince;
  WalkReport report;
  std::string root = absoluteWalkPath(szFilename);
  if (!openScanList(run)) return kExitFailure;
  if (!walkTree(root.c_str(), options, countScanBatch, &run, report)) {
    if (run.pList != nullptr) {  // a wrong path leaves no listing behind
      std::fclose(run.pList);
      std::remove(gOptions.sList.c_str());
    }
    outFlush();
    std::fprintf(stderr, "error: cannot open '%s': %s\n", printable(szFilename).c_str(),
                 walkErrorText(report.nRootError).c_str());
    return kExitFailure;
  }
  nStatus = closeScanList(run) ? kExitOk : kExitFailure;
  outFlush();
  gFigures.szKind = "scan";
  gFigures.listing = szFilename;
#ifdef _WIN32
  gFigures.szEncoding = "utf-8";
#else
  gFigures.szEncoding = "plain";
#endif
  if (gOptions.bSince) countChosenAside();
  displayResults();
  warnUnreadable(report);
  warnCounts();
  if (gOptions.bSince) warnSince(gSince);
  if (bModel) warnCalibration(gModel);
  if (gOptions.bJson) writeJsonReport(gFigures);
  if (gOptions.bHtml) nStatus = writePage(nStatus, true, bModel ? &gModel : nullptr);
  return nStatus;
}

// Flushes the output and turns a failed write into a message and status 1,
// and a warning under --strict into status 3.
int finish(int nStatus) {
  int nErrno = outFlush();
  if (nErrno != 0) {
    std::fprintf(stderr, "write error: %s\n", std::strerror(nErrno));
    return kExitFailure;
  }
  bool bWindowMissed = gOptions.bWindow && !gWindow.bFits;
  if (nStatus == kExitOk && gOptions.bStrict && (warningCount() > 0 || bWindowMissed)) {
    return kExitWarning;
  }
  return nStatus;
}

}  // namespace

int main(int argc, char** argv) {
  // Every run starts from nothing, also when main runs more than once in a
  // process, as under the fuzzer.
  nParseType = 0;
  bVerbose = 0;
  nOneKB = nTenKB = nHundredKB = nTenMB = nTotal = 0;
  i64OneKB = Make64(0);
  i64TenKB = Make64(0);
  i64HundredKB = Make64(0);
  i64TenMB = Make64(0);
  i64Total = Make64(0);
  nTooLarge = nArrowFiles = nNoDigitSizes = 0;
  bOneKbPassedMax = bTenKbPassedMax = bHundredKbPassedMax = bTenMbPassedMax = false;
  bTotalPassedMax = bTimePassedMax = false;
  gOwnTotals = OwnTotals();
  kindReader().nKind = kKindUnknown;
  gFigures = ReportFigures();
  gWindow = WindowVerdict();
  gModelWindow = WindowVerdict();
  bModel = false;
  gOptions = LongOptions();
  resetWarnings();

  static std::string program;
  program = printable(argc > 0 && argv[0] != nullptr ? argv[0] : "plomet");
  szProgramName = program.c_str();
  const char* szProgram = szProgramName;
  bUsageToStderr = asksForJson(argc, argv);
  if (!takeLongOptions(argc, argv, gOptions, argc)) {
    usage(szProgram);
    return finish(kExitUsage);
  }
  if (gOptions.bHelp) {
    help(szProgram);
    return finish(kExitOk);
  }
  if (gOptions.bVersion) {
    outText("plomet " PLOMET_VERSION "\n");
    return finish(kExitOk);
  }
  if (argc < 2 && !gOptions.bCalibrate) {  // which says what it lacks
    usage(szProgram);
    return finish(kExitUsage);
  }
  if (argc >= 2 && isHelpRequest(argv[1])) {
    help(szProgram);
    return finish(kExitOk);
  }
  bExtras = gOptions.bCalibrate || gOptions.bSince || gOptions.nTop > 0 || gOptions.bHtml;
  if (gOptions.bHtml) {
    gPage = PageTallies();
    gPage.bAll = gOptions.bSince;
    startTimeline(gTimeline, gOptions.nGapSeconds, gOptions.nSessionGapSeconds);
    startTimeline(gTimelineDayFirst, gOptions.nGapSeconds, gOptions.nSessionGapSeconds);
  }
  if (gOptions.nTop > 0) {
    startFolders(folderTally(),
                 gOptions.nDepth > INT_MAX ? INT_MAX : static_cast<int>(gOptions.nDepth));
  }
  startSince(gSince, gOptions.nSince, gOptions.bDateOrder, gOptions.dateOrder);
  if (gOptions.bCalibrate) {
    startLogCalibration(gLogCalibration, gOptions.nGapSeconds, gOptions.nSessionGapSeconds,
                        gOptions.bDateOrder, gOptions.dateOrder);
    return finish(update(argc, argv));
  }
  if (!parseOption(argv[1])) {
    const char* szFormat = argv[1][0] == '-' || argv[1][0] == '/'
                               ? "error: unknown option '%s'\n"
                               : "error: the first argument must be the option -d, -l, -dv or "
                                 "-lv, not '%s'\n";
    return finish(rejectCommandLine(szFormat, argv[1]));
  }
  bool bScanOptions = gOptions.bThreads || gOptions.bOneFileSystem || gOptions.bList;
  if (bScanOptions && nParseType != kParseScan) {
    return finish(rejectCommandLine("error: %s goes with the scan, -s\n",
                                    gOptions.bList      ? "--list"
                                    : gOptions.bThreads ? "--threads"
                                                        : "--one-file-system"));
  }
  if (bVerbose && gOptions.bJson) {  // the echo would break the JSON on standard output
    return finish(
        rejectCommandLine("error: --json does not go with the verbose option '%s'\n", argv[1]));
  }
  return finish(nParseType == kParseScan ? scan(argc, argv) : update(argc, argv));
}
