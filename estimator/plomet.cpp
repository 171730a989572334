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
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "int64.h"
#include "output.h"
#include "progress.h"
#include "reader.h"

namespace {

const int kExitOk = 0;
const int kExitFailure = 1;
const int kExitUsage = 2;

// Run options and rates, set from the command line.
int nParseType = 0;  // 0: schedule log (option l), 1: directory listing (option d)
int bVerbose = 0;
const char* szFilename = "";
int64_t nOneKbSec = 0;  // bytes per second, for each size class
int64_t nTenKbSec = 0;
int64_t nHundredKbSec = 0;
int64_t nTenMbSec = 0;

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

// Upper bounds (exclusive) of size classes 1 to 3, in bytes.
const uint64_t kOneKbLimit = uint64_t{5} * 1024;
const uint64_t kTenKbLimit = uint64_t{50} * 1024;
const uint64_t kHundredKbLimit = uint64_t{500} * 1024;

const char kOneKbLabel[] = "0..< 1KB";
const char kTenKbLabel[] = "1KB..< 10KB";
const char kHundredKbLabel[] = "10KB..< 100KB";
const char kTenMbLabel[] = "100KB and up";

// Space, tab, line feed, vertical tab, form feed and carriage return; no
// other byte, whatever the locale. A table: this runs for most bytes read.
struct WhitespaceTable {
  bool abIs[256] = {};
  constexpr WhitespaceTable() : abIs() {
    const char szWhitespace[] = " \t\n\v\f\r";
    for (const char* pC = szWhitespace; *pC != '\0'; pC++)
      abIs[static_cast<unsigned char>(*pC)] = true;
  }
};
constexpr WhitespaceTable kWhitespace;

bool isWhitespace(char c) { return kWhitespace.abIs[static_cast<unsigned char>(c)]; }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

const char* skipWhitespace(const char* pC) {
  while (isWhitespace(*pC)) pC++;
  return pC;
}

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

/// Returns the digits after whitespace as an unsigned number, modulo 2^64, and
/// sets bNegative when a minus sign stands before them. No digits give 0.
uint64_t parseNumber(const char* pC, bool& bNegative) {
  pC = skipWhitespace(pC);
  bNegative = *pC == '-';
  if (*pC == '+' || *pC == '-') pC++;
  uint64_t nValue = 0;
  for (; isDigit(*pC); pC++) nValue = nValue * 10 + static_cast<uint64_t>(*pC - '0');
  return nValue;
}

/// Returns a rate argument in kilobytes per second as bytes per second. Out
/// of range values wrap modulo 2^64 rather than fail.
int64_t parseRate(const char* szArg) {
  bool bNegative;
  uint64_t nValue = parseNumber(szArg, bNegative);
  if (bNegative) nValue = 0 - nValue;
  return static_cast<int64_t>(nValue * 1024);
}

int64 toInt64(uint64_t n) {
  int64 x;
  x.lo = static_cast<uint32>(n);
  x.hi = static_cast<uint32>(n >> 32);
  return x;
}

uint64_t toUint64(int64 x) { return (static_cast<uint64_t>(x.hi) << 32) | x.lo; }

void usage(const char* szProgram) {
  outFormat(
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
      "\n",
      szProgram);
  outFormat(
      "Examples: %s -d cdrive.txt 35 233 457 449\n"
      "          %s -l ulvsched.log 35 233 457 449\n",
      szProgram, szProgram);
}

bool isHelpRequest(const char* szArg) {
  return std::strcmp(szArg, "--help") == 0 ||
         ((szArg[0] == '-' || szArg[0] == '/') &&
          (equalsIgnoringCase(szArg + 1, "?") || equalsIgnoringCase(szArg + 1, "h")));
}

/// Sets nParseType and bVerbose from an option such as -d or /LV.
/// Returns false when the option is not one of d, dv, l and lv.
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
  } else {
    return false;
  }
  return true;
}

// Returns the length of the thousands separator that starts at pC, or 0:
// a comma, full stop or apostrophe, or a no-break space, which is the byte
// 0xA0 or 0xFF in the consoles' code pages and C2 A0 or E2 80 AF in UTF-8.
int separatorLength(const char* pC) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(pC);
  if (p[0] == ',' || p[0] == '.' || p[0] == '\'' || p[0] == 0xA0 || p[0] == 0xFF) return 1;
  if (p[0] == 0xC2 && p[1] == 0xA0) return 2;
  if (p[0] == 0xE2 && p[1] == 0x80 && p[2] == 0xAF) return 3;
  return 0;
}

// Copies the size field that starts after pC's whitespace into szData,
// leaving out thousands separators. The field ends at whitespace or at the
// end of the line. A piece is at most kMaxPiece characters, so the field fits.
void extractField(const char* pC, char* szData) {
  pC = skipLineWhitespace(pC);
  char* pOut = szData;
  while (*pC != '\0' && !isWhitespace(*pC)) {
    int nSeparator = isDigit(*pC) ? 0 : separatorLength(pC);  // digits first: most are
    if (nSeparator > 0) {
      pC += nSeparator;
    } else {
      *pOut++ = *pC++;
    }
  }
  *pOut = '\0';
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

// Skips one or two marker fields after the time of day when a size field
// follows them; otherwise the first field after the time is the size field.
const char* skipTimeMarker(const char* pC) {
  const char* pField = skipLineWhitespace(pC);
  for (int nMarkers = 0; nMarkers < 2 && isTimeMarker(pField); nMarkers++) {
    pField = skipLineWhitespace(fieldEnd(pField));
    if (startsSize(pField)) return pField;
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
// <SYMLINK> is a link to a file and counts as one, of 0 bytes.
bool isDirectoryEntry(const char* szField) {
  if (szField[0] != '<') return false;
  std::size_t n = std::strlen(szField);
  return n >= 2 && szField[n - 1] == '>' && std::strcmp(szField, "<SYMLINK>") != 0;
}

/// Schedule log: the size is the field after the first "-->".
int parseLineLog(const char* szLine, char* szData) {
  szData[0] = '\0';
  // Find each '>' and look back: faster than a search for all three.
  for (const char* pC = std::strchr(szLine, '>'); pC != nullptr; pC = std::strchr(pC + 1, '>')) {
    if (pC - szLine >= 2 && pC[-1] == '-' && pC[-2] == '-') {
      extractField(pC + 1, szData);
      break;
    }
  }
  return 0;
}

/// Directory listing: a file's line starts with its date, then the time of
/// day (the first colon), an optional marker such as PM, then the size.
/// Header, directory, summary and "<DIR>" lines carry no size.
int parseLineDirListing(const char* szLine, std::size_t nLength, char* szData) {
  szData[0] = '\0';
  if (szLine[0] == '\0' || isWhitespace(szLine[0])) return 0;
  // Most lines hold neither a < nor a (: two quick scans of nLength bytes
  // rule both words out. The text may end earlier, at a NUL, hence strstr.
  if ((std::memchr(szLine, '<', nLength) != nullptr ||
       std::memchr(szLine, '(', nLength) != nullptr) &&
      (std::strstr(szLine, "<DIR>") != nullptr || std::strstr(szLine, "File(s)") != nullptr)) {
    return 0;
  }
  if (isDirectoryMode(szLine)) return 0;
  const char* pC = std::strchr(szLine, ':');
  if (pC == nullptr) return 0;
  pC = fieldEnd(pC + 1);  // the rest of the time of day, such as the 02p of 11:02p
  extractField(skipTimeMarker(pC), szData);
  if (isDirectoryEntry(szData)) szData[0] = '\0';
  return 0;
}

/// Counts the file whose size text is szData in its size class. Empty text is
/// no file; text without digits, or with a minus sign, is a file of 0 bytes.
int processResults(const char* szData) {
  if (szData[0] == '\0') return 0;
  bool bNegative;
  uint64_t nSize = parseNumber(szData, bNegative);
  if (bNegative) nSize = 0;
  int64 i64Size = toInt64(nSize);
  if (nSize < kOneKbLimit) {
    nOneKB++;
    i64OneKB = Add64(i64OneKB, i64Size);
  } else if (nSize < kTenKbLimit) {
    nTenKB++;
    i64TenKB = Add64(i64TenKB, i64Size);
  } else if (nSize < kHundredKbLimit) {
    nHundredKB++;
    i64HundredKB = Add64(i64HundredKB, i64Size);
  } else {
    nTenMB++;
    i64TenMB = Add64(i64TenMB, i64Size);
  }
  return 0;
}

uint64_t filesCounted() { return nTenMB + nHundredKB + nTenKB + nOneKB; }

// Whole seconds to move the bytes at the rate; 0 when the rate is not positive.
uint64_t secondsAt(int64 i64Bytes, int64_t nRate) {
  if (nRate <= 0) return 0;
  int64 i64Remainder;
  return toUint64(Div64(i64Bytes, toInt64(static_cast<uint64_t>(nRate)), i64Remainder));
}

// Prints one row of the class table and returns the class's seconds.
uint64_t displayClass(const char* szLabel, uint64_t nFiles, int64 i64Bytes, int64_t nRate) {
  uint64_t nSecs = secondsAt(i64Bytes, nRate);
  unsigned char szBuf[24];
  unsigned char szBuf2[24];
  I64toCh(i64Bytes, szBuf, 10);
  I64toCh(toInt64(nSecs), szBuf2, 10);
  outFormat("%-20s%-10" PRIu64 "%-15s%-10" PRId64 "%-10s\n", szLabel, nFiles,
            reinterpret_cast<char*>(szBuf), nRate, reinterpret_cast<char*>(szBuf2));
  return nSecs;
}

void displayTime(const char* szWhat, uint64_t nTotalSecs) {
  uint64_t nHours = nTotalSecs / 3600;
  uint64_t nMins = nTotalSecs % 3600 / 60;
  uint64_t nSecs = nTotalSecs % 60;
  outFormat("%s: %" PRIu64 " hours %" PRIu64 " mins %" PRIu64 " sec\n", szWhat, nHours, nMins,
            nSecs);
}

// The rate of the class into which a file of nSize bytes falls, with its label.
int64_t rateForSize(uint64_t nSize, const char*& szLabel) {
  if (nSize < kOneKbLimit) {
    szLabel = kOneKbLabel;
    return nOneKbSec;
  }
  if (nSize < kTenKbLimit) {
    szLabel = kTenKbLabel;
    return nTenKbSec;
  }
  if (nSize < kHundredKbLimit) {
    szLabel = kHundredKbLabel;
    return nHundredKbSec;
  }
  szLabel = kTenMbLabel;
  return nTenMbSec;
}

bool isZero(int64 x) { return x.lo == 0 && x.hi == 0; }

// A rate that is not positive turns a class's time into a silent 0: say so,
// for a class that holds bytes or whose rate the second estimate uses.
void warnRate(const char* szLabel, int64_t nRate, int64 i64Bytes, const char* szAverageLabel) {
  if (nRate <= 0 && (!isZero(i64Bytes) || szLabel == szAverageLabel)) {
    std::fprintf(stderr, "warning: rate for %s is not a positive number; its time counts as 0\n",
                 szLabel);
  }
}

/// Prints the report: the class table, the totals and both estimates. Then
/// warns, on standard error, about rates that made a time 0.
int displayResults() {
  outText("\n");
  const char szRule[] = "=============================================================\n";
  outText(szRule);
  outFormat("%-20s%-10s%-15s%-10s%-10s\n", "Range", "#", "#", "Bytes", "Time");
  outFormat("%-20s%-10s%-15s%-10s%-10s\n", "Bytes", "Files", "Bytes", "Per Sec", "(sec)");
  outText(szRule);
  outText("\n");

  uint64_t nTotalSecs = displayClass(kOneKbLabel, nOneKB, i64OneKB, nOneKbSec);
  nTotalSecs += displayClass(kTenKbLabel, nTenKB, i64TenKB, nTenKbSec);
  nTotalSecs += displayClass(kHundredKbLabel, nHundredKB, i64HundredKB, nHundredKbSec);
  nTotalSecs += displayClass(kTenMbLabel, nTenMB, i64TenMB, nTenMbSec);

  i64Total = Add64(Add64(i64OneKB, i64TenKB), Add64(i64HundredKB, i64TenMB));
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
  outFormat("\nTotal size for all %" PRIu64 " files: %s. Average file size: %s \n\n", nTotal,
            reinterpret_cast<char*>(szBuf), reinterpret_cast<char*>(szBuf2));
  displayTime("Estimated Time", nTotalSecs);

  const char* szAverageLabel;
  int64_t nAverageRate = rateForSize(toUint64(i64AverageSize), szAverageLabel);
  displayTime("Estimated Time based on average file size", secondsAt(i64Total, nAverageRate));

  // The warnings follow the report they explain.
  outFlush();
  const char* szUsedAverageLabel = isZero(i64Total) ? nullptr : szAverageLabel;
  warnRate(kOneKbLabel, nOneKbSec, i64OneKB, szUsedAverageLabel);
  warnRate(kTenKbLabel, nTenKbSec, i64TenKB, szUsedAverageLabel);
  warnRate(kHundredKbLabel, nHundredKbSec, i64HundredKB, szUsedAverageLabel);
  warnRate(kTenMbLabel, nTenMbSec, i64TenMB, szUsedAverageLabel);
  return 0;
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

/// Reads the arguments, then the whole listing, and prints the report.
/// Returns the exit status.
int update(int argc, char** argv) {
  if (argc != 7) {
    usage(argv[0]);
    return kExitUsage;
  }
  szFilename = argv[2];
  nOneKbSec = parseRate(argv[3]);
  nTenKbSec = parseRate(argv[4]);
  nHundredKbSec = parseRate(argv[5]);
  nTenMbSec = parseRate(argv[6]);

  // "-" is standard input, so that a listing can be piped in; a file named
  // "-" is reached as "./-".
  bool bStandardInput = std::strcmp(szFilename, "-") == 0;
  std::FILE* stream = bStandardInput ? openStandardInput() : std::fopen(szFilename, "rb");
  if (stream == nullptr) {
    outFormat("File %s could not be opened\n", szFilename);
    return kExitFailure;
  }
  startReading(stream);
  std::error_code error;
  std::uintmax_t nFileSize = bStandardInput ? 0 : std::filesystem::file_size(szFilename, error);
  startProgress(error ? 0 : nFileSize);
  static char szData[1024];
  uint64_t nLines = 0;
  Piece piece;
  while (readPiece(piece)) {
    const char* szLine = piece.szText;
    if (++nLines % 16384 == 0) {
      showProgress(bytesRead(), nLines, filesCounted());
    }
    if (nParseType == 0) {
      parseLineLog(szLine, szData);
    } else {
      parseLineDirListing(szLine, piece.nLength, szData);
    }
    if (bVerbose) echoLine(piece, szData);
    processResults(szData);
  }
  endProgress();
  int nStatus = kExitOk;
  if (readError() != 0) {
    outFlush();  // what was echoed comes before the message
    std::fprintf(stderr, "read error: %s\n", std::strerror(readError()));
    nStatus = kExitFailure;
  }
  displayResults();
  if (nLines > 0 && nTotal == 0) {
    std::fprintf(stderr,
                 "warning: no file sizes found; check that the option (-d or -l) matches the "
                 "listing\n");
  }
  if (!bStandardInput) std::fclose(stream);
  return nStatus;
}

// Flushes the output and turns a failed write into a message and status 1.
int finish(int nStatus) {
  int nErrno = outFlush();
  if (nErrno == 0) return nStatus;
  std::fprintf(stderr, "write error: %s\n", std::strerror(nErrno));
  return kExitFailure;
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

  const char* szProgram = argc > 0 && argv[0] != nullptr ? argv[0] : "plomet";
  if (argc < 2) {
    usage(szProgram);
    return finish(kExitUsage);
  }
  if (isHelpRequest(argv[1])) {
    usage(szProgram);
    return finish(kExitOk);
  }
  if (!parseOption(argv[1])) {
    usage(szProgram);
    return finish(kExitUsage);
  }
  return finish(update(argc, argv));
}
