// plomet: estimates how long the backup of the files in a listing will take.
//
// The listing is a capture of the command shell's recursive directory listing
// (option d) or a backup client's schedule log (option l). Every file found is
// sorted into one of four size classes; each class's bytes are divided by the
// throughput measured for files of that size, and the report gives the
// per-class times, their sum, and the time for all bytes at the rate of the
// class into which the average file size falls.
//
// This file is the estimator's core: the command line, the reading loop, the
// two parsers, the tallies of the size classes and the report. What the long
// options add to a run (other listing kinds, the scan, --since, --top, the
// calibration, JSON and the page) is wired in run.cpp.
#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "blocks.h"
#include "core.h"
#include "int64.h"
#include "options.h"
#include "reports/output.h"
#include "reports/progress.h"
#include "reports/warnings.h"
#include "run.h"
#include "sources/kindtext.h"
#include "sources/listingkind.h"
#include "sources/reader.h"
#include "sources/stamps.h"
#include "sources/text.h"
#include "tallies/classes.h"
#include "tallies/owntotals.h"

// Run options and rates, set from the command line.
int nParseType = kParseLog;
int bVerbose = 0;
const char* szFilename = "";
int64_t nOneKbSec = 0;  // bytes per second, for each size class
int64_t nTenKbSec = 0;
int64_t nHundredKbSec = 0;
int64_t nTenMbSec = 0;

// Tallies: files and bytes of each size class, each thread its own.
thread_local uint64_t nOneKB = 0;
thread_local uint64_t nTenKB = 0;
thread_local uint64_t nHundredKB = 0;
thread_local uint64_t nTenMB = 0;
thread_local uint64_t nTotal = 0;
thread_local int64 i64OneKB;
thread_local int64 i64TenKB;
thread_local int64 i64HundredKB;
thread_local int64 i64TenMB;
thread_local int64 i64Total;
// A byte total that passed 2^64 - 1 stays there; these say which did.
thread_local bool bOneKbPassedMax = false;
thread_local bool bTenKbPassedMax = false;
thread_local bool bHundredKbPassedMax = false;
thread_local bool bTenMbPassedMax = false;
thread_local bool bTotalPassedMax = false;
thread_local uint64_t nTooLarge = 0;  // size fields beyond the largest file size
// Size texts without digits, as parseSize found them: with -l, objects
// whose line had no size after the arrow.
thread_local uint64_t nNoDigitSizes = 0;

namespace {

// The parsers run for every line: in the reading loop for the first lines
// and the echo, and in readBlockLines for the rest. Both loops keep them
// inline, as the compiler would not for two callers.
#if defined(__GNUC__)
#define PLOMET_EVERY_LINE inline __attribute__((always_inline))
#else
#define PLOMET_EVERY_LINE inline
#endif

// The tallies of the size classes, in class order.
int64_t* const apnClassRate[] = {&nOneKbSec, &nTenKbSec, &nHundredKbSec, &nTenMbSec};

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

// Empties szData, and notes it, when the size it holds is written with a
// unit; out of the line's way, as such sizes are rare in what -d and -l read.
#if defined(__GNUC__)
__attribute__((noinline, cold))
#endif
void dropUnitSize(char* szData, const char* pSizeEnd, bool bAttached, LineFacts& facts) {
  if (isDigit(szData[0]) && isUnitSize(szData, pSizeEnd, !bAttached)) {
    szData[0] = '\0';
    facts.nUnitSizes++;
  }
}

// Copies the size field at pC into szData, leaving out thousands
// separators. The field ends at whitespace or at the end of the line. A line
// is at most kMaxLine characters, so the field fits.
inline void extractField(const char* pC, char* szData, LineFacts& facts) {
  char* pOut = szData;
  const char* pGroup = nullptr;  // the digits after the last separator
  bool bOther = false;           // a byte that is neither digit nor separator
  uint64_t nValue = 0;
  for (;;) {
    for (; isDigit(*pC); pC++) {  // most of a size: a tight loop
      nValue = nValue * 10 + static_cast<uint64_t>(*pC - '0');
      *pOut++ = *pC;
    }
    if (takeDigitGroup(pC, pOut, nValue)) {  // the common group, at once
      pGroup = pOut;
      pOut += 3;
      pC += 4;
      continue;
    }
    if (*pC == '\0' || isWhitespace(*pC)) break;
    int nSeparator = separatorLength(pC);
    if (nSeparator > 0) {
      pC += nSeparator;
      pGroup = pOut;
    } else {
      *pOut++ = *pC++;
      bOther = true;
    }
  }
  *pOut = '\0';
  facts.pSizeEnd = pC;
  facts.nSizeValue = nValue;
  facts.nSizeDigits = bOther || pOut - szData > 18 ? 0 : static_cast<int>(pOut - szData);
  // A size written with a unit (11.1 MiB, 2.9KiB, 4 GB) is no number of
  // bytes: the line is not counted, and noted. One test for the common size.
  if (bOther || (pGroup != nullptr && pOut - pGroup != 3) ||
      (*pC == ' ' && mayBeUnitWord(pC + 1))) {
    dropUnitSize(szData, pC, bOther, facts);
  }
}

// A field that may hold a size: digits, or an entry type such as <DIR>.
bool startsSize(const char* pC) { return isDigit(*pC) || *pC == '<'; }

// Returns the end of a word after the time of day, such as PM, or a. m.
// in two fields; nullptr where the field at pC is none.
const char* timeMarkerEnd(const char* pC) {
  if (*pC == '\0' || *pC == '<') return nullptr;
  for (; !kFieldEnd.abIs[static_cast<unsigned char>(*pC)]; pC++) {
    if (isDigit(*pC)) return nullptr;
  }
  return pC;
}

// True when the field that ends at pEnd ends in the schedule log's arrow.
bool endsInArrow(const char* pField, const char* pEnd) {
  return pEnd[-1] == '>' && pEnd - pField >= 3 && pEnd[-2] == '-' && pEnd[-3] == '-';
}

// Skips one or two marker fields after the time of day when a size field
// follows them, and returns the size field; otherwise returns pC, and the
// first field after the time is the size field. Notes a marker that ends in
// the arrow, as the words before a schedule log's sizes do.
inline const char* skipTimeMarker(const char* pC, LineFacts& facts) {
  const char* pField = skipLineWhitespace(pC);
  bool bArrow = false;
  const char* pEnd;
  for (int nMarkers = 0; nMarkers < 2 && (pEnd = timeMarkerEnd(pField)) != nullptr; nMarkers++) {
    bArrow = bArrow || endsInArrow(pField, pEnd);
    pField = skipLineWhitespace(pEnd);
    if (startsSize(pField)) {
      if (bArrow && isDigit(*pField)) facts.nArrowFiles++;
      return pField;
    }
  }
  return pC;
}

// <DIR>, <JUNCTION>, <SYMLINKD> and their translations are not files; a
// <SYMLINK> is a link to a file and counts as one, of 0 bytes. A field that
// only begins with '<' (<abc, a lone <) is no entry, and no file either.
bool isNoFileEntry(const char* szField) {
  return szField[0] == '<' && std::strcmp(szField, "<SYMLINK>") != 0;
}

/// Schedule log: the size is the field after the first "-->".
PLOMET_EVERY_LINE int parseLineLog(const char* szLine, char* szData, LineFacts& facts) {
  szData[0] = '\0';
  // Find each '>' and look back: faster than a search for all three.
  for (const char* pC = std::strchr(szLine, '>'); pC != nullptr; pC = std::strchr(pC + 1, '>')) {
    if (pC - szLine >= 2 && pC[-1] == '-' && pC[-2] == '-') {
      extractField(skipLineWhitespace(pC + 1), szData, facts);
      break;
    }
  }
  return 0;
}

/// Directory listing: a file's line starts with its date, then the time of
/// day (the first colon, or in a line without one, a time such as 20.59),
/// an optional marker such as PM, then the size.
/// Header, directory, summary and "<DIR>" lines carry no size.
PLOMET_EVERY_LINE int parseLineDirListing(const char* szLine, std::size_t nLength, char* szData,
                                          LineFacts& facts) {
  szData[0] = '\0';
  if (szLine[0] == '\0' || isWhitespace(szLine[0])) return 0;
  // Most lines hold neither a < nor a (: one quick scan of nLength bytes
  // rules both words out, and where one is found the search starts there.
  if (holdsEitherByte(szLine, nLength, '<', '(') &&
      (holdsWordFrom(szLine, std::memchr(szLine, '<', nLength), 0, "<DIR>") ||
       holdsWordFrom(szLine, std::memchr(szLine, '(', nLength), 4, "File(s)"))) {
    return 0;
  }
  if (isDirectoryMode(szLine)) return 0;
  const char* pC = findByteInText(szLine, nLength, ':');
  if (pC != nullptr) {
    // A time's colon comes before a digit; the drive's colon of a header
    // written from the first column (Výpis adresáře C:\Data 2024) does not.
    if (!isDigit(pC[1])) return 0;
    pC = fieldEndAt(pC + 1);  // the rest of the time of day, such as the 02p of 11:02p
  } else {
    pC = listingTimeEnd(szLine);  // a time written with a full stop, such as 20.59
    if (pC == nullptr) return 0;
  }
  const char* pField = skipTimeMarker(pC, facts);
  if (pField == pC) pField = skipLineWhitespace(pC);
  if (!startsSize(pField)) return 0;  // a word or a sign: the line is no file's
  extractField(pField, szData, facts);
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

// A column of the class table is as wide as its heading's, or one more than
// its text, so that no two columns ever run together.
int columnWidth(const char* szText, int nWidth) {
  int nNeeded = static_cast<int>(std::strlen(szText)) + 1;
  return nNeeded > nWidth ? nNeeded : nWidth;
}

// Prints one row of the class table and returns the class's seconds.
uint64_t displayClass(bool bJson, const char* szLabel, uint64_t nFiles, int64 i64Bytes,
                      int64_t nRate) {
  uint64_t nSecs = secondsAt(i64Bytes, nRate);
  if (bJson) return nSecs;
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
void addSeconds(uint64_t& nSum, uint64_t nSecs, bool& bPassedMax) {
  if (nSecs > UINT64_MAX - nSum) bPassedMax = true;
  nSum = addSaturating(nSum, nSecs);
}

void displayTime(bool bJson, const char* szWhat, uint64_t nTotalSecs) {
  if (bJson) return;
  char szTime[kDurationTextSize];
  formatDuration(nTotalSecs, szTime);
  outFormat("%s: %s\n", szWhat, szTime);
}

// Reads the four rates into the class rates. Returns -1, or the exit status
// after rejecting the first rate that is not one.
int takeRates(char** argv, Run& run) {
  int64_t* apnRate[] = {&nOneKbSec, &nTenKbSec, &nHundredKbSec, &nTenMbSec};
  for (int i = 0; i < 4; i++) {
    const char* szArg = argv[3 + i];
    RateStatus status = parseRateText(szArg, *apnRate[i]);
    run.figures.aClasses[i].szRate = szArg;
    if (status == kRateNotNumber) {
      return rejectCommandLine(run, "error: rate '%s' is not a number of kilobytes per second\n",
                               szArg);
    }
    if (status == kRateOutOfRange) {
      return rejectCommandLine(run, "error: rate '%s' is out of range\n", szArg);
    }
  }
  return -1;
}

// Counts a file of nSize bytes in its size class: processResults's own,
// inlined where it is called for every line.
inline void countSize(uint64_t nSize) {
  int64 i64Size = toInt64(nSize);
  if (nSize < kOneKbLimit) {
    nOneKB++;
    addBytes(i64OneKB, i64Size, bOneKbPassedMax);
  } else if (nSize < kTenKbLimit) {
    nTenKB++;
    addBytes(i64TenKB, i64Size, bTenKbPassedMax);
  } else if (nSize < kHundredKbLimit) {
    nHundredKB++;
    addBytes(i64HundredKB, i64Size, bHundredKbPassedMax);
  } else {
    nTenMB++;
    addBytes(i64TenMB, i64Size, bTenMbPassedMax);
  }
}

// processResults, inlined in the plain run's loop.
inline int countSizeText(const char* szData) {
  if (szData[0] == '\0') return 0;
  uint64_t nSize;
  if (!parseSize(szData, nSize)) {
    nTooLarge++;
    return 0;
  }
  countSize(nSize);
  return 0;
}

}  // namespace

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

int processResults(const char* szData) { return countSizeText(szData); }

// processResults, with the size that extractField read where it could.
inline void countLineSize(const char* szData, const LineFacts& facts) {
  if (szData[0] == '\0') return;
  if (facts.nSizeDigits > 0) {
    countSize(facts.nSizeValue);
  } else {
    countSizeText(szData);
  }
}

void readBlockLines(BlockLines& block) {
  startBlockLines(block);
  Reader& reader = *block.pReader;
  const bool bLog = nParseType == kParseLog;
  const bool bCount = block.bCount;
  Piece piece;
  while (readPiece(reader, piece)) {
    block.nLines++;
    if (!block.bParse) {  // a listing of another kind: read here, or kept for its source
      if (bCount) {
        countBlockKindLine(block, piece);
      } else {
        keepBlockLine(block, piece, nullptr);
      }
      continue;
    }
    if (bLog) {
      parseLineLog(piece.szText, block.szData, block.facts);
    } else {
      parseLineDirListing(piece.szText, piece.nLength, block.szData, block.facts);
    }
    if (!bLog && mayHoldTotals(piece.szText)) {
      noteRangeTotalsLine(block.ownTotals, piece.szText, block.nLines);
    }
    if (bCount) {
      countLineSize(block.szData, block.facts);
    } else {
      keepBlockLine(block, piece, block.szData);
    }
  }
  takeThreadTallies(block.tally);
}

uint64_t filesCounted() { return nTenMB + nHundredKB + nTenKB + nOneKB; }

// Whole seconds to move the bytes at the rate; 0 when the rate is not positive.
uint64_t secondsAt(int64 i64Bytes, int64_t nRate) {
  if (nRate <= 0) return 0;
  int64 i64Remainder;
  return toUint64(Div64(i64Bytes, toInt64(static_cast<uint64_t>(nRate)), i64Remainder));
}

bool parseOption(const char* szOption) {
  if (szOption[0] != '-' && szOption[0] != '/') return false;
  const char* szName = szOption + 1;
  if (equalsIgnoringCase(szName, "d") || equalsIgnoringCase(szName, "dv")) {
    nParseType = kParseListing;
  } else if (equalsIgnoringCase(szName, "l") || equalsIgnoringCase(szName, "lv")) {
    nParseType = kParseLog;
  } else if (equalsIgnoringCase(szName, "s") || equalsIgnoringCase(szName, "sv")) {
    nParseType = kParseScan;
  } else {
    return false;
  }
  bVerbose = szName[1] != '\0';  // the option ends in v
  return true;
}

int64_t classRate(int k) { return *apnClassRate[k]; }
void setClassRate(int k, int64_t nBytesPerSec) { *apnClassRate[k] = nBytesPerSec; }

void usage(const char* szProgram, bool bToStderr) {
  if (bToStderr) {
    outFlush();
    std::fprintf(stderr, kUsageText, szProgram);
    std::fprintf(stderr, kUsageExamples, szProgram, szProgram);
  } else {
    outFormat(kUsageText, szProgram);
    outFormat(kUsageExamples, szProgram, szProgram);
  }
}

int rejectCommandLine(const Run& run, const char* szFormat, const std::string& arg) {
  std::fprintf(stderr, szFormat, printable(arg.c_str()).c_str());
  usage(run.sProgram.c_str(), run.bUsageToStderr);
  return kExitUsage;
}

int takeArguments(int argc, char** argv, Run& run) {
  if (run.options.szRatesFrom != nullptr) return takeRatesFromArguments(argc, argv, run);
  // The scan takes one path or more before the four rates, which come last.
  if (nParseType == kParseScan ? argc < 7 : argc != 7) return rejectArgumentCount(run, argc, argv);
  szFilename = argv[2];
  return takeRates(argv + (argc - 7), run);
}

int readListing(Run& run, const char* szName, uint64_t& nLinesRead) {
  // "-" is standard input, so that a listing can be piped in; a file named
  // "-" is reached as "./-".
  bool bStandardInput = std::strcmp(szName, "-") == 0;
  std::FILE* stream = openListingFile(szName);
  if (stream == nullptr) {
    int nErrno = errno;
    std::string name = printable(szName);
    if (!run.options.bJson) outFormat("File %s could not be opened\n", name.c_str());
    std::fprintf(stderr, "error: cannot open '%s': %s\n", name.c_str(), std::strerror(nErrno));
    return -1;
  }
  Reader& reader = run.reader;
  KindDecision& decision = run.decision;
  LineFacts& facts = run.line;
  startReading(reader, stream);
  startProgress(run.progress, bStandardInput ? 0 : listingFileSize(szName));
  static char szData[kMaxLine + 1];
  uint64_t nLines = 0;
  Piece piece;
  startKindDecision(decision, nParseType == kParseListing, run.options.nTop > 0);
  // Once the kind is decided, two flags in registers say so: a line costs
  // no more than before there were kinds to decide.
  bool bDeciding = nParseType == kParseListing;
  bool bOtherKind = false;
  // Past the kind's decision, the lines are read in blocks, on every core
  // asked for; the echo and a single thread keep to this loop, one line
  // after the other, where no block is copied.
  const bool bBlocks = !bVerbose && run.nReadThreads > 1;
  const bool bLog = nParseType == kParseLog;
  while (readListingPiece(reader, decision, piece)) {
    if (bDeciding) {
      if (!decision.bDecided && holdPiece(reader, decision, piece)) continue;
      bDeciding = false;
      bOtherKind = listingKind(decision) != kKindDir;
    }
    const char* szLine = piece.szText;
    if (++nLines % 16384 == 0) {
      showProgress(run.progress, bytesRead(reader), nLines, filesCounted());
    }
    if (bOtherKind) {
      takeKindLine(run, piece);
    } else {
      if (nParseType == kParseLog) {
        parseLineLog(szLine, szData, facts);
      } else {
        parseLineDirListing(szLine, piece.nLength, szData, facts);
        if (mayHoldTotals(szLine)) noteOwnTotalsLine(run.ownTotals, szLine, nLines);
      }
      if (bVerbose) echoLine(bLog ? "parseLineLog" : "parseDirListing", piece, szData);
      if (run.bExtras) {
        takeLineExtras(run, piece, szData);
      } else {
        countLineSize(szData, facts);
      }
    }
    if (bBlocks && !bDeciding && !decision.bReplaying && (!bOtherKind || blocksMayStart(run))) {
      nLines = readInBlocks(run, nLines, run.nReadThreads, run.nReadBlock);
      break;
    }
  }
  endProgress(run.progress);
  nLinesRead = nLines;
  int nStatus = kExitOk;
  if (readErrorText(reader) != nullptr) {
    outFlush();  // what was echoed comes before the message
    std::fprintf(stderr, "read error: %s\n", readErrorText(reader));
    nStatus = kExitFailure;
  }
  if (!bStandardInput) std::fclose(stream);
  return nStatus;
}

int displayResults(Run& run) {
  const bool bJson = run.options.bJson;
  printReportHead(run);
  if (!bJson) {
    outText("\n");
    const char szRule[] = "=============================================================\n";
    outText(szRule);
    outFormat("%-20s%-10s%-15s%-10s%-10s\n", "Range", "#", "#", "Bytes", "Time");
    outFormat("%-20s%-10s%-15s%-10s%-10s\n", "Bytes", "Files", "Bytes", "Per Sec", "(sec)");
    outText(szRule);
    outText("\n");
  }

  Estimate estimate;
  uint64_t& nTotalSecs = estimate.nSeconds;
  bool& bTimePassedMax = estimate.bPassedMax;
  nTotalSecs = displayClass(bJson, kClassLabels[0], nOneKB, i64OneKB, nOneKbSec);
  addSeconds(nTotalSecs, displayClass(bJson, kClassLabels[1], nTenKB, i64TenKB, nTenKbSec),
             bTimePassedMax);
  addSeconds(nTotalSecs,
             displayClass(bJson, kClassLabels[2], nHundredKB, i64HundredKB, nHundredKbSec),
             bTimePassedMax);
  addSeconds(nTotalSecs, displayClass(bJson, kClassLabels[3], nTenMB, i64TenMB, nTenMbSec),
             bTimePassedMax);

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
  const bool bNoLines = bJson || run.options.bHuman;  // --human: finishEstimate writes them
  if (!bNoLines) {
    outFormat("\nTotal size for all %" PRIu64 " files: %s. Average file size: %s \n\n", nTotal,
              reinterpret_cast<char*>(szBuf), reinterpret_cast<char*>(szBuf2));
  }
  displayTime(bNoLines, "Estimated Time", nTotalSecs);

  estimate.nAverage = toUint64(i64AverageSize);
  int nAverageClass = sizeClass(estimate.nAverage);
  estimate.nAverageSeconds = secondsAt(i64Total, *apnClassRate[nAverageClass]);
  displayTime(bNoLines, "Estimated Time based on average file size", estimate.nAverageSeconds);
  finishEstimate(run, estimate);

  // The warnings follow the report they explain.
  outFlush();
  bool bNoBytes = i64Total.lo == 0 && i64Total.hi == 0;
  warnRates(run, bNoBytes ? -1 : nAverageClass);
  return 0;
}

/// Reads the arguments, then the whole listing, and prints the report.
/// Returns the exit status.
int update(int argc, char** argv, Run& run) {
  int nStatus = run.options.bCalibrate ? takeLog(argc, argv, run) : takeArguments(argc, argv, run);
  if (nStatus >= 0) return nStatus;
  if (run.options.szRatesFrom != nullptr) {
    nStatus = learnRatesFrom(run);
    if (nStatus >= 0) return nStatus;
  }
  uint64_t nLines = 0;
  nStatus = readListing(run, szFilename, nLines);
  if (nStatus < 0) return kExitFailure;
  if (!takeListingFacts(run)) return kExitFailure;
  if (run.options.bCalibrate) return nStatus == kExitOk ? reportCalibration(run) : nStatus;
  if (run.options.bSince) countChosenAside(run);
  takeCounted(run);
  displayResults(run);
  warnListing(run, nLines);
  return finishListing(run, nStatus);
}

int main(int argc, char** argv) {
  // Every run starts from nothing, also when main runs more than once in a
  // process, as under the fuzzer.
  nParseType = kParseLog;
  bVerbose = 0;
  nOneKbSec = nTenKbSec = nHundredKbSec = nTenMbSec = 0;
  nOneKB = nTenKB = nHundredKB = nTenMB = nTotal = 0;
  i64OneKB = Make64(0);
  i64TenKB = Make64(0);
  i64HundredKB = Make64(0);
  i64TenMB = Make64(0);
  i64Total = Make64(0);
  nTooLarge = nNoDigitSizes = 0;
  bOneKbPassedMax = bTenKbPassedMax = bHundredKbPassedMax = bTenMbPassedMax = false;
  bTotalPassedMax = false;
  resetWarnings();

  // A run's state beside the core's holds the listing's block of text: one
  // allocation, not on the stack.
  std::unique_ptr<Run> pRun(new Run());
  Run& run = *pRun;
  int nStatus = takeCommandLine(argc, argv, run);
  if (nStatus >= 0) return finishRun(run, nStatus);
  if (run.options.bCalibrate) return finishRun(run, update(argc, argv, run));
  if (run.options.szMeasure != nullptr) return finishRun(run, measure(argc, argv, run));
  if (!parseOption(argv[1])) return finishRun(run, rejectOption(run, argv[1]));
  nStatus = checkOptionsOfSource(run, argc, argv);
  if (nStatus >= 0) return finishRun(run, nStatus);
  nStatus = nParseType == kParseScan ? scan(argc, argv, run) : update(argc, argv, run);
  return finishRun(run, nStatus);
}
