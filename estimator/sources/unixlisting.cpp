#include "sources/unixlisting.h"

#include <cstring>

namespace {

const char* textEnd(const char* szLine, std::size_t nLength) {
  const void* pNul = std::memchr(szLine, '\0', nLength);
  return pNul != nullptr ? static_cast<const char*>(pNul) : szLine + nLength;
}

std::uint64_t addCapped(std::uint64_t a, std::uint64_t b) { return a + b < a ? UINT64_MAX : a + b; }

// A mode, also tar's hard link (h...) and contiguous file (C...). Returns
// its length, or 0.
int modeAt(const char* pC) {
  if (pC[0] != 'h' && pC[0] != 'C') return modeLength(pC);
  char aCopy[16];
  std::memcpy(aCopy, pC, 12);  // the slack after the line's NUL covers a short one
  aCopy[0] = '-';
  aCopy[12] = '\0';
  int n = modeLength(aCopy);
  return n > 0 && n <= 11 && isWhitespace(pC[n]) ? n : 0;
}

// A line from its mode on: what the tools write after it.
struct ModeLine {
  char cType = '-';
  std::uint64_t nSize = 0;
  std::uint64_t nSlack = 0;
  bool bUnit = false;
  const char* pPath = nullptr;
  const char* pPathEnd = nullptr;
  int nTryField = -1;   // the only field to try a date at, or -1: every one
  int nDateField = -1;  // the field the date was found at
  const char* pDate = nullptr;
};

// readPlainNumber for a field of nine to sixteen digits: two words.
bool readTwoWordField(const char* pC, const char* pEnd, std::uint64_t& nValue) {
  static const std::uint64_t kPowers[] = {1,      10,      100,      1000,     10000,
                                          100000, 1000000, 10000000, 100000000};
  const std::ptrdiff_t n = pEnd - pC;
  std::uint64_t nMore = 0;
  if (n > 8 && n <= 16 && readDigitWord(pC, nValue) == 8 && 8 + readDigitWord(pC + 8, nMore) == n) {
    nValue = nValue * kPowers[n - 8] + nMore;
    return true;
  }
  return readPlainNumber(pC, pEnd, nValue);
}

// readPlainNumber for a field of a line (bytes after it readable, as the
// reader's lines are): a number of up to eight digits read as one word.
inline bool readSizeField(const char* pC, const char* pEnd, std::uint64_t& nValue) {
  if (pEnd - pC <= 8 && readDigitWord(pC, nValue) == pEnd - pC) return pC != pEnd;
  return readTwoWordField(pC, pEnd, nValue);
}

// The fields read so far on a line after its mode.
struct ModeFields {
  const char* apField[10];
  const char* apFieldEnd[10];
};

// What a field was found to be: no date, the date (line filled), or a date
// after a size that cannot be (the line is read no further).
enum class DateAt { kNone, kTaken, kFailed };

// Tries the date at pC, field nField (1 or more): after a number, or after
// a number and a unit (dwalk's); the size before it and the path after it
// go into line.
DateAt takeDateAt(const ModeFields& f, int nField, const char* pC, const char* pEnd,
                  const CivilDate& today, LineStamp& stamp, ModeLine& line) {
  const char* pPrev = f.apField[nField - 1];
  const char* pPrevEnd = f.apFieldEnd[nField - 1];
  bool bNumber = isDigit(*pPrev) && isDigit(pPrevEnd[-1]);
  bool bUnit = !bNumber && nField >= 2 && isDigit(*f.apField[nField - 2]) &&
               pPrevEnd - pPrev <= 5 && !isDigit(*pPrev);
  const char* pDateEnd = bNumber || bUnit ? readLsDate(pC, today, stamp) : nullptr;
  if (pDateEnd == nullptr) return DateAt::kNone;
  if (bUnit) {
    const char* pNumber = f.apField[nField - 2];
    const char* pNumberEnd = f.apFieldEnd[nField - 2];
    line.bUnit =
        readQuickUnitSize(pNumber, pNumberEnd, pPrev, pPrevEnd, 1024, line.nSize, line.nSlack) ||
        readUnitSize(pNumber, pNumberEnd, pPrev, pPrevEnd, 1024, line.nSize, line.nSlack);
    if (!line.bUnit) return DateAt::kFailed;
  } else if (!readSizeField(pPrev, pPrevEnd, line.nSize)) {
    // A device's "1,3"; or "1," and "3" as find -ls writes it.
    const void* pComma = std::memchr(pPrev, ',', static_cast<std::size_t>(pPrevEnd - pPrev));
    if (pComma == nullptr) return DateAt::kFailed;
    line.nSize = 0;
  }
  if (line.cType != '-' && line.cType != 'C') {
    // a device's size would be its major number: only files have sizes
    line.nSize = 0;
    line.nSlack = 0;
  }
  if (*pDateEnd != ' ' || pDateEnd + 1 >= pEnd) return DateAt::kFailed;
  line.nDateField = nField;
  line.pDate = pC;
  line.pPath = pDateEnd + 1;
  line.pPathEnd = pEnd;
  const char* szArrow = line.cType == 'l' ? " -> " : line.cType == 'h' ? " link to " : nullptr;
  if (szArrow != nullptr) {
    const char* pArrow = std::strstr(line.pPath, szArrow);
    if (pArrow != nullptr && pArrow < pEnd) line.pPathEnd = pArrow;
  }
  return DateAt::kTaken;
}

// Reads the fields after the mode: up to four fields (links, owner, group,
// or owner/group) and then the size right before the date: the first
// field that starts a date after a number (or after a number and a unit,
// dwalk's), or a device's "major, minor". The path follows the date after
// one blank. Returns false when no size and date are found.
bool readAfterMode(const char* pMode, int nMode, const char* pEnd, const CivilDate& today,
                   LineStamp& stamp, ModeLine& line) {
  line.cType = *pMode;
  ModeFields f;
  int nFields = 0;
  const char* pC = skipPadding(pMode + nMode);
  for (; nFields < 9 && pC < pEnd; nFields++) {
    if (nFields >= 1 && (line.nTryField < 0 || nFields == line.nTryField)) {
      DateAt at = takeDateAt(f, nFields, pC, pEnd, today, stamp, line);
      if (at != DateAt::kNone) return at == DateAt::kTaken;
    }
    // The field's end is sought only now: the date's field needs none.
    f.apField[nFields] = pC;
    f.apFieldEnd[nFields] = fieldEndInLine(pC);
    pC = f.apFieldEnd[nFields];
    pC = *pC == ' ' && !isWhitespace(pC[1]) ? pC + 1 : skipPadding(pC);  // one blank: dwalk's
  }
  return false;
}

// The digits that begin the eight readable bytes at pC: a column of
// digits is passed a word at a time.
int leadingDigits(const char* pC) {
  std::uint64_t nValue = 0;
  return readDigitWord(pC, nValue);
}

// The end of the digits at pC, a word at a time.
const char* passDigits(const char* pC) {
  for (int n = 8; n == 8; pC += n) n = leadingDigits(pC);
  return pC;
}

// The leading columns of find -ls: an inode (or rbh-find's FID) and the
// blocks. Returns where the mode should start, or nullptr.
const char* passLsColumns(const char* szLine, const char* pEnd) {
  const char* pC = skipPadding(szLine);
  for (int nColumn = 0; nColumn < 2 && pC < pEnd; nColumn++) {
    // Digits alone; or rbh-find's FID first ([0x200000401:0x1:0x0]). A
    // field of digits that goes on is no column (find -printf's
    // "5120 1764490150.5").
    const char* pFieldEnd = passDigits(pC);
    if (pFieldEnd == pC || !kFieldEnd.abIs[static_cast<unsigned char>(*pFieldEnd)]) {
      const char* pHex = pC + (*pC == '[' ? 1 : 0);
      if (nColumn != 0 || pHex[0] != '0' || pHex[1] != 'x') return nullptr;
      pFieldEnd = fieldEndAt(pC);
    }
    pC = skipPadding(pFieldEnd);
  }
  return pC;
}

// Returns where find -ls's mode starts, with its length, or nullptr.
const char* findLsMode(const char* szLine, const char* pEnd, int& nMode) {
  const char* pC = passLsColumns(szLine, pEnd);
  nMode = pC != nullptr ? modeAt(pC) : 0;
  return nMode > 0 ? pC : nullptr;
}

// modeAt, where a line's mode mostly repeats the last one's bytes: then the
// same bytes and a blank after them are the same mode. The bytes are
// compared in order, so that none past the line's NUL is read.
int knownModeAt(UnixListing& listing, const char* pC) {
  const char* pLast = listing.acLastMode;
  int n = listing.nLastMode;
  std::uint64_t nWord;
  std::uint64_t nLastWord;
  std::memcpy(&nWord, pC, sizeof nWord);
  std::memcpy(&nLastWord, pLast, sizeof nLastWord);
  if (n > 0 && nWord == nLastWord && pC[8] == pLast[8] && pC[9] == pLast[9] &&
      (n == 10 || pC[10] == pLast[10]) && isWhitespace(pC[n])) {
    return n;
  }
  n = modeAt(pC);
  if (n > 0) {
    std::memcpy(listing.acLastMode, pC, static_cast<std::size_t>(n));
    listing.nLastMode = n;
  }
  return n;
}

// find -printf: an optional type letter, the size, an optional time
// (%T@: seconds since 1970, with a fraction), the path.
struct PrintfLine {
  char cType = '\0';  // '\0' without %y
  std::uint64_t nSize = 0;
  bool bTime = false;
  std::int64_t nSeconds = 0;
  const char* pPath = nullptr;
};

// Reads the seconds of %T@ [pC, pEnd): an optional minus, digits, an
// optional fraction.
bool readEpoch(const char* pC, const char* pEnd, std::int64_t& nSeconds) {
  bool bNegative = pC < pEnd && *pC == '-';
  if (bNegative) pC++;
  const char* pPoint =
      static_cast<const char*>(std::memchr(pC, '.', static_cast<std::size_t>(pEnd - pC)));
  const char* pWholeEnd = pPoint != nullptr ? pPoint : pEnd;
  std::uint64_t nWhole = 0;
  if (pWholeEnd - pC > 12 || !readSizeField(pC, pWholeEnd, nWhole)) return false;
  if (pPoint != nullptr) {  // digits, whose value is of no use
    if (pPoint + 1 == pEnd || (pEnd - pPoint > 19)) return false;
    const char* pD = pPoint + 1;
    while (pEnd - pD >= 8 && leadingDigits(pD) == 8) pD += 8;
    for (; pD < pEnd; pD++) {
      if (!isDigit(*pD)) return false;
    }
  }
  // A time before 1970 with a fraction lies a whole second earlier.
  nSeconds = bNegative ? -static_cast<std::int64_t>(nWhole) : static_cast<std::int64_t>(nWhole);
  return true;
}

bool readPrintf(const char* szLine, const char* pEnd, bool bEpochs, PrintfLine& line) {
  const char* pC = szLine;
  if (pEnd - pC > 2 && pC[1] == ' ' && isDigit(pC[2]) && *pC != '\0' &&
      std::strchr("fdlpscbDN", *pC) != nullptr) {
    line.cType = *pC;
    pC += 2;
  }
  const char* pSizeEnd = fieldEndInLine(pC);
  if (*pSizeEnd != ' ' || !readSizeField(pC, pSizeEnd, line.nSize)) return false;
  pC = pSizeEnd + 1;
  if (bEpochs) {
    const char* pTimeEnd = fieldEndInLine(pC);
    if (*pTimeEnd != ' ' || !readEpoch(pC, pTimeEnd, line.nSeconds)) return false;
    line.bTime = true;
    pC = pTimeEnd + 1;
  }
  if (pC >= pEnd || isWhitespace(*pC) || modeLength(pC) > 0) return false;
  line.pPath = pC;
  return true;
}

// The error lines of the tools: "find: ...", "tar: ...", "lfs find: ...".
bool isToolError(const char* szLine, std::size_t n) {
  if (*szLine < 'b' || *szLine > 't') return false;  // no tool's name: most lines
  return startsWith(szLine, n, "find: ") || startsWith(szLine, n, "tar: ") ||
         startsWith(szLine, n, "bsdtar: ") || startsWith(szLine, n, "lfs find: ") ||
         startsWith(szLine, n, "lfs: ") || startsWith(szLine, n, "rbh-find: ");
}

// Fills the entry of a mode line; false for a folder.
bool takeModeLine(UnixListing& listing, const ModeLine& line, Entry& entry) {
  if (line.cType == 'd') return false;
  bool bFile = line.cType == '-' || line.cType == 'C';
  entry.nType = bFile                                    ? kEntryFile
                : line.cType == 'l' || line.cType == 'h' ? kEntryLink
                                                         : kEntrySpecial;
  entry.nSize = bFile ? line.nSize : 0;
  if (bFile) {
    listing.nFiles++;
    listing.nBytes = addCapped(listing.nBytes, line.nSize);
    listing.nSlack = addCapped(listing.nSlack, line.nSlack);
    if (line.bUnit && line.nSlack > 0) listing.nRounded++;
  }
  if (listing.bFolders) {
    entry.pFolder = listing.szFolder;
    entry.nFolder = folderOfPath(listing.szFolder, line.pPath, line.pPathEnd);
  }
  return true;
}

// dwalk's summary lines, after "[2026-12-07T22:01:02] ": "Files: N" and
// "Data: 5.000 GB (5368720377 bytes)".
void takeDwalkSummary(UnixListing& listing, const char* pC, const char* pEnd) {
  pC = skipWhitespace(pC);
  std::size_t n = static_cast<std::size_t>(pEnd - pC);
  std::uint64_t nValue = 0;
  if (startsWith(pC, n, "Files: ") && readGroupedNumber(pC + 7, fieldEndAt(pC + 7), nValue)) {
    listing.bStatedFiles = true;
    listing.nStatedFiles = nValue;
  } else if (startsWith(pC, n, "Data: ")) {
    const char* pOpen = static_cast<const char*>(std::memchr(pC, '(', n));
    if (pOpen != nullptr && readGroupedNumber(pOpen + 1, fieldEndAt(pOpen + 1), nValue)) {
      listing.bStatedBytes = true;
      listing.nStatedBytes = nValue;
    }
  }
}

bool isDwalkStamp(const char* szLine, const char* pEnd) {
  return pEnd - szLine > 21 && szLine[0] == '[' && szLine[11] == 'T' && szLine[20] == ']' &&
         isDigit(szLine[1]) && isDigit(szLine[12]);
}

// The entry of a find -printf line, in its folder.
void fillPrintfEntry(UnixListing& listing, char cType, const PrintfLine& line, const char* pPath,
                     const char* pPathEnd, Entry& entry) {
  bool bFile = cType == 'f';
  entry.nType = bFile ? kEntryFile : cType == 'l' ? kEntryLink : kEntrySpecial;
  entry.nSize = bFile ? line.nSize : 0;
  if (line.bTime && listing.bDates) setEpochStamp(entry.stamp, line.nSeconds, listing.zone);
  if (listing.bFolders) {
    entry.pFolder = listing.szFolder;
    entry.nFolder = folderOfPath(listing.szFolder, pPath, pPathEnd);
  }
}

// find -printf: with %y, the line is counted by its type. Without it, the
// line before is counted now, unless this line lies in it (it was a folder).
bool takePrintfLine(UnixListing& listing, const PrintfLine& line, const char* pEnd, Entry& entry) {
  if (line.cType != '\0') {
    if (line.cType == 'd') return false;
    fillPrintfEntry(listing, line.cType, line, line.pPath, pEnd, entry);
    return true;
  }
  PendingLine& pending = listing.pending;
  std::size_t nPath = static_cast<std::size_t>(pEnd - line.pPath);
  bool bOut = false;
  if (!pending.bHeld && !listing.bFirstPath) {
    listing.bFirstPath = true;
    listing.nFirstPath = nPath;
    std::memcpy(listing.szFirstPath, line.pPath, nPath < kFolderRoom ? nPath : kFolderRoom);
  }
  if (pending.bHeld) {
    if (nPath > pending.nPath && line.pPath[pending.nPath] == '/' &&
        std::memcmp(line.pPath, pending.szPath, pending.nPath) == 0) {
      listing.nFolderGuess++;
    } else {
      entry = pending.entry;
      if (listing.bFolders) {
        entry.pFolder = listing.szFolder;
        entry.nFolder =
            folderOfPath(listing.szFolder, pending.szPath, pending.szPath + pending.nPath);
      }
      bOut = true;
    }
  }
  Entry& held = pending.entry;
  held = Entry();
  held.nSize = line.nSize;  // a file: a folder shows by the next line
  if (line.bTime && listing.bDates) setEpochStamp(held.stamp, line.nSeconds, listing.zone);
  if (nPath > kFolderRoom - 1) nPath = kFolderRoom - 1;
  std::memcpy(pending.szPath, line.pPath, nPath);
  pending.nPath = nPath;
  pending.bHeld = true;
  return bOut;
}

// True when [pC, pEnd), which a blank follows, is digits alone.
bool isDigitField(const char* pC, const char* pEnd) { return passDigits(pC) == pEnd; }

// The end of the field that starts at bit nStart of a line's blanks.
int fieldEndOf(std::uint64_t nBlanks, int nStart) {
  std::uint64_t nAfter = nBlanks >> nStart;
  return nAfter != 0 ? nStart + __builtin_ctzll(nAfter) : 64;
}

// Reads a mode line with its date where the last line's began, when as
// many fields lie between the mode and it: the columns and the mode are
// those passLsColumns and knownModeAt find, and readAfterMode would try the
// date there first, with the same fields before it. The fields are found
// from the blanks of the line's first bytes, all at once, where finding
// them one by one waits for each field's end before the next. pLineEnd is
// the line's end, NULs and all. Returns false where the line is to be read
// field by field.
bool readAtDateColumn(UnixListing& listing, const char* szLine, const char* pLineEnd,
                      LineStamp& stamp, ModeLine& line) {
  const int nTry = listing.nDateField;
  const int nAt = listing.nDateColumn;
  std::uint64_t nBlanks = 0;
  // The column lies in the 63 bytes masked, and a date of twelve bytes or
  // more after it: every byte read is the line's.
  if (nTry < 1 || nAt < 12 || nAt > 63 || pLineEnd - szLine < nAt + 12 ||
      static_cast<unsigned char>(szLine[nAt]) <= ' ' || !maskBlanks(szLine, nAt, nBlanks) ||
      (nBlanks >> (nAt - 1)) != 1) {
    return false;
  }
  std::uint64_t nStarts = ~nBlanks & ((nBlanks << 1) | 1) & ((std::uint64_t{1} << nAt) - 1);
  int nModeAt = 0;
  if (listing.nTool == kUnixFind) {
    for (int i = 0; i < 2; i++) {  // the inode and the blocks, digits alone
      if (nStarts == 0) return false;
      int nStart = __builtin_ctzll(nStarts);
      nStarts &= nStarts - 1;
      if (!isDigitField(szLine + nStart, szLine + fieldEndOf(nBlanks, nStart))) return false;
    }
    if (nStarts == 0) return false;
    nModeAt = __builtin_ctzll(nStarts);
  } else if ((nStarts & 1) == 0) {
    return false;  // tar's and dwalk's mode begins their line
  }
  const char* pMode = szLine + nModeAt;
  int nMode = knownModeAt(listing, pMode);
  if (nMode == 0 || nModeAt + nMode >= nAt) return false;
  std::uint64_t nFields = nStarts & ~((std::uint64_t{2} << (nModeAt + nMode)) - 1);
  if (bitsOf(nFields) != nTry) return false;
  // The field before the date; and the one before that when that is no number.
  ModeFields f{};
  for (int n = nTry - 1; n >= 0 && n >= nTry - 2; n--) {
    int nStart = 63 - __builtin_clzll(nFields);
    nFields &= ~(std::uint64_t{1} << nStart);
    const char* pField = szLine + nStart;
    const char* pFieldEnd = szLine + fieldEndOf(nBlanks, nStart);
    f.apField[n] = pField;
    f.apFieldEnd[n] = pFieldEnd;
    if (isDigit(*pField) && isDigit(pFieldEnd[-1])) break;
  }
  line.cType = *pMode;
  line.nTryField = nTry;
  if (takeDateAt(f, nTry, szLine + nAt, pLineEnd, listing.today, stamp, line) != DateAt::kTaken) {
    return false;
  }
  // The text ends at its first NUL. None lies before the path (its fields
  // and date were read); the path's end is sought only where it is used.
  if (*line.pPath == '\0') return false;
  if (listing.bFolders && line.pPathEnd == pLineEnd) {
    line.pPathEnd = textEnd(line.pPath, static_cast<std::size_t>(pLineEnd - line.pPath));
  }
  return true;
}

// Counts a mode line read, and keeps where its date stood.
bool takeReadLine(UnixListing& listing, const char* szLine, const ModeLine& line, Entry& entry) {
  listing.nDateField = line.nDateField;
  listing.nDateColumn = static_cast<int>(line.pDate - szLine);
  if (!listing.bDates) entry.stamp = LineStamp();
  return takeModeLine(listing, line, entry);
}

}  // namespace

void startUnix(UnixListing& listing, int nTool, const CivilDate& today) {
  bool bDates = listing.bDates;
  bool bFolders = listing.bFolders;
  listing = UnixListing();
  listing.nTool = nTool;
  listing.today = today;
  listing.bDates = bDates;
  listing.bFolders = bFolders;
}

void learnFindLayout(UnixListing& listing, const char* const* aszLines,
                     const std::size_t* anLengths, int nLines) {
  int nPlain = 0;
  int nEpochs = 0;
  for (int i = 0; i < nLines; i++) {
    const char* pEnd = textEnd(aszLines[i], anLengths[i]);
    PrintfLine line;
    if (readPrintf(aszLines[i], pEnd, true, line)) {
      nEpochs++;
    } else if (readPrintf(aszLines[i], pEnd, false, line)) {
      nPlain++;
    }
  }
  listing.bEpochs = nEpochs > nPlain;
  listing.bLearnt = true;
}

bool readUnixLine(UnixListing& listing, const char* szLine, std::size_t nLength, Entry& entry) {
  // A line laid out as the one before is read before its text's end is
  // sought (-printf's lines, when learnt, are read first).
  ModeLine line;
  if (!(listing.nTool == kUnixFind && listing.bLearnt && listing.bEpochs) &&
      readAtDateColumn(listing, szLine, szLine + nLength, entry.stamp, line)) {
    return takeReadLine(listing, szLine, line, entry);
  }
  line = ModeLine();
  const char* pEnd = textEnd(szLine, nLength);
  std::size_t n = static_cast<std::size_t>(pEnd - szLine);
  if (skipWhitespace(szLine) >= pEnd) return false;
  if (isToolError(szLine, n)) {
    listing.nErrors++;
    return false;
  }
  // With %T@ learnt, -printf's line is read first: one whose path starts
  // with no mode is never -ls's (two columns of digits before a mode), and
  // the mode is not looked for in every line.
  if (listing.nTool == kUnixFind && listing.bLearnt && listing.bEpochs) {
    PrintfLine quick;
    if (readPrintf(szLine, pEnd, true, quick) && modeAt(quick.pPath) == 0) {
      return takePrintfLine(listing, quick, pEnd, entry);
    }
  }
  const char* pMode = nullptr;
  int nMode = 0;
  if (listing.nTool == kUnixFind) {
    pMode = passLsColumns(szLine, pEnd);
    nMode = pMode != nullptr ? knownModeAt(listing, pMode) : 0;
    if (nMode == 0) {
      if (!listing.bLearnt) learnFindLayout(listing, &szLine, &nLength, 1);
      PrintfLine printfLine;
      if (readPrintf(szLine, pEnd, listing.bEpochs, printfLine)) {
        return takePrintfLine(listing, printfLine, pEnd, entry);
      }
      listing.nUnread++;
      return false;
    }
  } else if (listing.nTool == kUnixDwalk && isDwalkStamp(szLine, pEnd)) {
    takeDwalkSummary(listing, szLine + 21, pEnd);
    return false;
  } else {
    nMode = knownModeAt(listing, szLine);
    pMode = nMode > 0 ? szLine : nullptr;
  }
  if (pMode == nullptr) {
    listing.nUnread++;
    return false;
  }
  // The date stands where it stood on the line before, mostly: tried there
  // first, it spares looking for a month's name in the owner and group.
  line.nTryField = listing.nDateField;
  bool bRead = readAfterMode(pMode, nMode, pEnd, listing.today, entry.stamp, line);
  if (!bRead && line.nTryField >= 0) {
    line = ModeLine();
    bRead = readAfterMode(pMode, nMode, pEnd, listing.today, entry.stamp, line);
  }
  if (!bRead) {
    listing.nUnread++;
    return false;
  }
  return takeReadLine(listing, szLine, line, entry);
}

bool finishUnix(UnixListing& listing, Entry& entry) {
  PendingLine& pending = listing.pending;
  if (!pending.bHeld) return false;
  pending.bHeld = false;
  entry = pending.entry;
  if (listing.bFolders) {
    entry.pFolder = listing.szFolder;
    entry.nFolder = folderOfPath(listing.szFolder, pending.szPath, pending.szPath + pending.nPath);
  }
  return true;
}

bool settleHeldLine(UnixListing& listing, const UnixListing& next, Entry& entry) {
  PendingLine& pending = listing.pending;
  if (!pending.bHeld || !next.bFirstPath) return false;
  pending.bHeld = false;
  // The room kept holds a byte past any held path, which is at most
  // kFolderRoom - 1 bytes: enough to see whether the next path goes on it.
  if (next.nFirstPath > pending.nPath && next.szFirstPath[pending.nPath] == '/' &&
      std::memcmp(next.szFirstPath, pending.szPath, pending.nPath) == 0) {
    listing.nFolderGuess++;
    return false;
  }
  entry = pending.entry;
  if (listing.bFolders) {
    entry.pFolder = listing.szFolder;
    entry.nFolder = folderOfPath(listing.szFolder, pending.szPath, pending.szPath + pending.nPath);
  }
  return true;
}

bool unixTotalsDiffer(const UnixListing& listing) {
  if (listing.bStatedFiles && listing.nStatedFiles != listing.nFiles) return true;
  if (!listing.bStatedBytes) return false;
  std::uint64_t nDiff = listing.nStatedBytes > listing.nBytes
                            ? listing.nStatedBytes - listing.nBytes
                            : listing.nBytes - listing.nStatedBytes;
  return nDiff > listing.nSlack;
}

int weighFindLine(const char* szLine, std::size_t nLength) {
  const char* pEnd = textEnd(szLine, nLength);
  if (startsWith(szLine, nLength, "find: ") || startsWith(szLine, nLength, "lfs find: ")) return 1;
  int nMode = 0;
  const char* pMode = findLsMode(szLine, pEnd, nMode);
  if (pMode != nullptr) {
    // find -ls names paths, ls -i -s names: the name holds a '/'.
    ModeLine line;
    LineStamp stamp;
    CivilDate today;
    if (!readAfterMode(pMode, nMode, pEnd, today, stamp, line)) return 0;
    return std::memchr(line.pPath, '/', static_cast<std::size_t>(line.pPathEnd - line.pPath)) !=
                   nullptr
               ? 1
               : 0;
  }
  PrintfLine line;
  if (isWhitespace(szLine[0]) ||
      !(readPrintf(szLine, pEnd, true, line) || readPrintf(szLine, pEnd, false, line))) {
    return 0;
  }
  // rclone lsf with a separator such as " | " after the size: no path
  // that find writes begins so.
  const char* pPath = line.pPath;
  bool bPunct = std::strchr("|;,:#", *pPath) != nullptr;
  return bPunct && pPath + 1 < pEnd && isWhitespace(pPath[1]) ? 0 : 1;
}

int weighTarLine(const char* szLine, std::size_t nLength) {
  const char* pEnd = textEnd(szLine, nLength);
  if (startsWith(szLine, nLength, "tar: ") || startsWith(szLine, nLength, "bsdtar: ")) return 1;
  int nMode = modeAt(szLine);
  if (nMode == 0) return 0;
  const char* pNext = skipPadding(szLine + nMode);
  const char* pNextEnd = fieldEndAt(pNext);
  bool bGnu = std::memchr(pNext, '/', static_cast<std::size_t>(pNextEnd - pNext)) != nullptr;
  bool bBsd = pNextEnd - pNext == 1 && *pNext == '0';
  if (!bGnu && !bBsd && szLine[0] != 'h') return 0;
  ModeLine line;
  LineStamp stamp;
  CivilDate today;
  return readAfterMode(szLine, nMode, pEnd, today, stamp, line) ? 1 : 0;
}

int weighDwalkLine(const char* szLine, std::size_t nLength) {
  const char* pEnd = textEnd(szLine, nLength);
  if (isDwalkStamp(szLine, pEnd)) return 1;
  int nMode = modeLength(szLine);
  if (nMode == 0) return 0;
  ModeLine line;
  LineStamp stamp;
  CivilDate today;
  return readAfterMode(szLine, nMode, pEnd, today, stamp, line) && line.bUnit ? 1 : 0;
}
