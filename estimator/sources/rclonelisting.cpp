#include "sources/rclonelisting.h"

#include <cstring>

namespace {

// The most fields an lsf line is read with (the format's letters).
const int kMaxFields = 12;

// The end of the line's text: its length, or its first NUL.
const char* textEnd(const char* szLine, std::size_t nLength) {
  const void* pNul = std::memchr(szLine, '\0', nLength);
  return pNul != nullptr ? static_cast<const char*>(pNul) : szLine + nLength;
}

// A date and time as lsf writes them, 2026-11-30 08:09:10, at pC (19 bytes).
bool readStamp(const char* pC, const char* pEnd, LineStamp* pStamp) {
  int nYear = 0;
  int nMonth = 0;
  int nDay = 0;
  int nSecond = 0;
  if (pEnd - pC < 19 || !readYearFirstDate(pC, '-', nYear, nMonth, nDay) || pC[10] != ' ' ||
      !readUsualClock(pC + 11, pC + 19, nSecond)) {
    return false;
  }
  if (pStamp != nullptr) setYearFirstStamp(*pStamp, nYear, nMonth, nDay, nSecond);
  return true;
}

// What a size field holds.
const int kSizeNone = 0;     // no size
const int kSizeFolder = 1;   // -1: a folder's
const int kSizeExact = 2;    // bytes
const int kSizeRounded = 3;  // a number with a fraction and a unit: 1.431Mi

// Reads a size field [pC, pEnd): digits, -1, or a size with a unit attached.
int readSizeField(const char* pC, const char* pEnd, std::uint64_t& nSize) {
  nSize = 0;
  if (pEnd - pC == 2 && pC[0] == '-' && pC[1] == '1') return kSizeFolder;
  if (readPlainNumber(pC, pEnd, nSize)) return kSizeExact;
  const char* pUnit = attachedUnitStart(pC, pEnd);
  std::uint64_t nSlack = 0;
  if (pUnit == pEnd || !readUnitSize(pC, pUnit, pUnit, pEnd, 1024, nSize, nSlack)) {
    return kSizeNone;
  }
  return std::memchr(pC, '.', static_cast<std::size_t>(pUnit - pC)) != nullptr ? kSizeRounded
                                                                               : kSizeExact;
}

// The bytes that may stand between lsf's fields: blanks and punctuation,
// but not what paths and sizes begin with.
bool isSeparatorByte(char c) {
  if (c == ' ' || c == '\t') return true;
  return c > ' ' && c < 0x7F && !isDigit(c) && !((c | 0x20) >= 'a' && (c | 0x20) <= 'z') &&
         std::strchr("/._-\"'", c) == nullptr;
}

// Returns true when the separator bytes that end at pC hold one that is no
// blank (";", " | ", a tab), and a field stands before them: a blank alone
// is no separator of lsf's.
bool markedRunBefore(const char* szLine, const char* pC) {
  bool bMark = false;
  for (; pC > szLine && isSeparatorByte(pC[-1]); pC--) bMark = bMark || pC[-1] != ' ';
  return bMark && pC > szLine;
}

// A log line of rclone: "2026/12/09 07:26:40 NOTICE: ..." (or ERROR, INFO).
int logLineLevel(const char* szLine, const char* pEnd) {
  if (pEnd - szLine < 27 || szLine[4] != '/' || szLine[7] != '/' || szLine[10] != ' ' ||
      szLine[13] != ':' || szLine[19] != ' ' || !isDigit(szLine[0])) {
    return 0;
  }
  const char* pLevel = szLine + 20;
  if (std::memcmp(pLevel, "ERROR : ", 8) == 0) return 2;
  if (std::memcmp(pLevel, "NOTICE: ", 8) == 0) return 1;
  if (std::memcmp(pLevel, "INFO  : ", 8) == 0 || std::memcmp(pLevel, "DEBUG : ", 8) == 0) return 3;
  return 0;
}

// An ls or lsl line: blanks, a size, one blank, and for lsl the date and
// time with nanoseconds and a blank, then the path. Returns the path's
// start, or nullptr.
const char* readLsShape(const char* szLine, const char* pEnd, int& nSizeKind, std::uint64_t& nSize,
                        LineStamp* pStamp, bool& bStamp) {
  const char* pSize = skipPadding(szLine);
  const char* pSizeEnd = fieldEndAt(pSize);
  if (*pSizeEnd != ' ' || pSizeEnd + 1 >= pEnd) return nullptr;
  nSizeKind = readSizeField(pSize, pSizeEnd, nSize);
  if (nSizeKind == kSizeNone || nSizeKind == kSizeFolder) return nullptr;
  const char* pPath = pSizeEnd + 1;
  bStamp = false;
  if (pEnd - pPath > 30 && pPath[19] == '.' && pPath[29] == ' ' && isDigit(pPath[20]) &&
      readStamp(pPath, pPath + 19, pStamp)) {
    bStamp = true;
    pPath += 30;
  }
  return pPath;
}

// Finds the separator in [pC, pEnd), first or last. Returns nullptr when
// it is not there.
const char* findSeparator(const RcloneLayout& layout, const char* pC, const char* pEnd) {
  const char cFirst = layout.szSeparator[0];
  const std::size_t n = layout.nSeparator;
  while (pEnd - pC >= static_cast<std::ptrdiff_t>(n)) {
    const void* pFound = std::memchr(pC, cFirst, static_cast<std::size_t>(pEnd - pC) - (n - 1));
    if (pFound == nullptr) return nullptr;
    const char* p = static_cast<const char*>(pFound);
    if (std::memcmp(p, layout.szSeparator, n) == 0) return p;
    pC = p + 1;
  }
  return nullptr;
}

const char* findLastSeparator(const RcloneLayout& layout, const char* pFrom, const char* pEnd) {
  const std::size_t n = layout.nSeparator;
  for (const char* p = pEnd - n; p >= pFrom && pEnd - pFrom >= static_cast<std::ptrdiff_t>(n);
       p--) {
    if (*p == layout.szSeparator[0] && std::memcmp(p, layout.szSeparator, n) == 0) return p;
    if (p == pFrom) break;
  }
  return nullptr;
}

// The fields of an lsf line.
struct Fields {
  int nCount = 0;
  const char* apStart[kMaxFields];
  const char* apEnd[kMaxFields];
};

// Splits a line written with --csv: fields separated by commas, quoted
// when they hold a comma or a quote. Returns false past kMaxFields fields
// or at a quote that does not close.
bool splitCsv(const char* pC, const char* pEnd, Fields& fields) {
  fields.nCount = 0;
  for (;;) {
    if (fields.nCount == kMaxFields) return false;
    const char* pStart = pC;
    if (pC < pEnd && *pC == '"') {
      for (pC++;; pC++) {
        if (pC >= pEnd) return false;
        if (*pC == '"') {
          if (pC + 1 < pEnd && pC[1] == '"') {
            pC++;
          } else {
            break;
          }
        }
      }
      pC++;
      if (pC < pEnd && *pC != ',') return false;
    } else {
      const void* pComma = std::memchr(pC, ',', static_cast<std::size_t>(pEnd - pC));
      pC = pComma != nullptr ? static_cast<const char*>(pComma) : pEnd;
    }
    fields.apStart[fields.nCount] = pStart;
    fields.apEnd[fields.nCount++] = pC;
    if (pC == pEnd) return true;
    pC++;
  }
}

// Counts the fields a line splits into at the layout's separator (up to
// kMaxFields + 1).
int countFields(const RcloneLayout& layout, const char* pC, const char* pEnd) {
  if (layout.bCsv) {
    Fields fields;
    return splitCsv(pC, pEnd, fields) ? fields.nCount : 0;
  }
  int n = 1;
  for (const char* p = findSeparator(layout, pC, pEnd); p != nullptr && n <= kMaxFields;
       p = findSeparator(layout, p + layout.nSeparator, pEnd)) {
    n++;
  }
  return n;
}

// Splits a line by the layout: the fields before the path from the front,
// those after it from the back, and the path all that lies between, so
// that a path that holds the separator stays whole.
bool splitLsf(const RcloneLayout& layout, const char* pC, const char* pEnd, Fields& fields) {
  if (layout.bCsv) return splitCsv(pC, pEnd, fields) && fields.nCount == layout.nFields;
  fields.nCount = layout.nFields;
  for (int i = 0; i < layout.nPath; i++) {
    const char* pSep = findSeparator(layout, pC, pEnd);
    if (pSep == nullptr) return false;
    fields.apStart[i] = pC;
    fields.apEnd[i] = pSep;
    pC = pSep + layout.nSeparator;
  }
  const char* pBack = pEnd;
  for (int i = layout.nFields - 1; i > layout.nPath; i--) {
    const char* pSep = findLastSeparator(layout, pC, pBack);
    if (pSep == nullptr) return false;
    fields.apStart[i] = pSep + layout.nSeparator;
    fields.apEnd[i] = pBack;
    pBack = pSep;
  }
  fields.apStart[layout.nPath] = pC;
  fields.apEnd[layout.nPath] = pBack;
  return pBack > pC;
}

// --- Learning lsf's layout ------------------------------------------------

struct Candidate {
  char sz[kRcloneSeparatorRoom];
  std::size_t n;
};

// The run of separator bytes that starts at pC (forward) or ends at pC
// (backward), as a candidate.
bool takeRun(const char* pC, const char* pFrom, const char* pEnd, bool bForward, Candidate& c) {
  const char* pStart = pC;
  const char* pStop = pC;
  if (bForward) {
    while (pStop < pEnd && isSeparatorByte(*pStop)) pStop++;
  } else {
    while (pStart > pFrom && isSeparatorByte(pStart[-1])) pStart--;
  }
  std::size_t n = static_cast<std::size_t>(pStop - pStart);
  if (n == 0 || n >= kRcloneSeparatorRoom) return false;
  std::memcpy(c.sz, pStart, n);
  c.sz[n] = '\0';
  c.n = n;
  return true;
}

// The end of a size token at pC, or nullptr.
const char* sizeTokenEnd(const char* pC, const char* pEnd) {
  const char* p = pC;
  if (p < pEnd && *p == '-') p++;
  while (p < pEnd && (isDigit(*p) || *p == '.')) p++;
  while (p < pEnd && ((*p | 0x20) >= 'a' && (*p | 0x20) <= 'z')) p++;
  std::uint64_t nSize = 0;
  return p > pC && readSizeField(pC, p, nSize) != kSizeNone ? p : nullptr;
}

// A mime type such as application/octet-stream: a word, one '/', a word.
bool isMimeType(const char* pC, const char* pEnd) {
  const void* pSlash = std::memchr(pC, '/', static_cast<std::size_t>(pEnd - pC));
  if (pSlash == nullptr || pSlash == pC || static_cast<const char*>(pSlash) + 1 == pEnd) {
    return false;
  }
  for (const char* p = pC; p < pEnd; p++) {
    bool bWord = (*p >= 'a' && *p <= 'z') || isDigit(*p) || *p == '.' || *p == '+' || *p == '-';
    if (!bWord && p != pSlash) return false;
  }
  return true;
}

struct Sample {
  const char* pText;
  const char* pEnd;
};

// Works out the layout with the separator of the candidate. Returns the
// number of sample lines it reads.
int tryLayout(const Candidate& c, const Sample* aSamples, int nSamples, RcloneLayout& layout) {
  layout = RcloneLayout();
  layout.bLsf = true;
  std::memcpy(layout.szSeparator, c.sz, c.n + 1);
  layout.nSeparator = c.n;
  layout.bCsv = c.n == 1 && c.sz[0] == ',';
  int anCounts[kMaxFields + 2] = {};
  for (int i = 0; i < nSamples; i++) {
    int n = countFields(layout, aSamples[i].pText, aSamples[i].pEnd);
    if (n >= 2 && n <= kMaxFields) anCounts[n]++;
  }
  int nFields = 0;
  for (int n = 2; n <= kMaxFields; n++) {
    if (anCounts[n] > anCounts[nFields]) nFields = n;
  }
  if (nFields == 0) return 0;
  layout.nFields = nFields;
  int nSame = anCounts[nFields];
  int anSize[kMaxFields] = {};
  int anFolder[kMaxFields] = {};
  int anTime[kMaxFields] = {};
  int anSlashEnd[kMaxFields] = {};
  int anSlash[kMaxFields] = {};
  int anMime[kMaxFields] = {};
  RcloneLayout whole = layout;  // every field its own: the path anywhere
  whole.nPath = nFields - 1;
  for (int i = 0; i < nSamples; i++) {
    Fields fields;
    if (countFields(layout, aSamples[i].pText, aSamples[i].pEnd) != nFields ||
        !splitLsf(whole, aSamples[i].pText, aSamples[i].pEnd, fields)) {
      continue;
    }
    for (int j = 0; j < nFields; j++) {
      const char* pS = fields.apStart[j];
      const char* pE = fields.apEnd[j];
      std::uint64_t nSize = 0;
      int nKind = readSizeField(pS, pE, nSize);
      anSize[j] += nKind != kSizeNone ? 1 : 0;
      anFolder[j] += nKind == kSizeFolder ? 1 : 0;
      anTime[j] += pE - pS == 19 && readStamp(pS, pE, nullptr) ? 1 : 0;
      anSlashEnd[j] += pE > pS && pE[-1] == '/' ? 1 : 0;
      anSlash[j] += std::memchr(pS, '/', static_cast<std::size_t>(pE - pS)) != nullptr ? 1 : 0;
      anMime[j] += isMimeType(pS, pE) ? 1 : 0;
    }
  }
  for (int j = 0; j < nFields; j++) {
    if (anSize[j] != nSame) continue;
    if (layout.nSize < 0 || (anFolder[j] > 0 && anFolder[layout.nSize] == 0)) layout.nSize = j;
  }
  if (layout.nSize < 0) return 0;
  for (int j = 0; j < nFields && layout.nTime < 0; j++) {
    if (j != layout.nSize && anTime[j] == nSame) layout.nTime = j;
  }
  long nBest = -1;
  for (int j = 0; j < nFields; j++) {
    if (j == layout.nSize || j == layout.nTime || (anMime[j] == nSame && anSlashEnd[j] == 0)) {
      continue;
    }
    long nScore = anSlashEnd[j] * 4096L + (j == 0 || j == nFields - 1 ? 2048 : 0) + anSlash[j];
    if (nScore >= nBest) {
      nBest = nScore;
      layout.nPath = j;
    }
  }
  if (layout.nPath < 0) return 0;
  int nRead = 0;
  for (int i = 0; i < nSamples; i++) {
    Fields fields;
    std::uint64_t nSize = 0;
    if (splitLsf(layout, aSamples[i].pText, aSamples[i].pEnd, fields) &&
        readSizeField(fields.apStart[layout.nSize], fields.apEnd[layout.nSize], nSize) !=
            kSizeNone) {
      nRead++;
    }
  }
  return nRead;
}

void addCandidate(Candidate* aCandidates, int& nCandidates, const Candidate& c) {
  for (int i = 0; i < nCandidates; i++) {
    if (aCandidates[i].n == c.n && std::memcmp(aCandidates[i].sz, c.sz, c.n) == 0) return;
  }
  if (nCandidates < 8) aCandidates[nCandidates++] = c;
}

// Counts the totals that rclone size writes: "Total objects: 47 (47)" and
// "Total size: 13.001 GiB (13959693914 Byte)".
bool takeTotalLine(RcloneListing& rclone, const char* szLine, const char* pEnd) {
  std::size_t n = static_cast<std::size_t>(pEnd - szLine);
  if (startsWith(szLine, n, "Total objects: ")) {
    const char* pC = szLine + 15;
    std::uint64_t nValue = 0;
    if (readGroupedNumber(pC, fieldEndAt(pC), nValue)) {
      rclone.bStatedFiles = true;
      rclone.nStatedFiles = nValue;
    }
    return true;
  }
  if (!startsWith(szLine, n, "Total size: ")) return false;
  const char* pOpen = static_cast<const char*>(std::memchr(szLine, '(', n));
  std::uint64_t nValue = 0;
  if (pOpen != nullptr && readGroupedNumber(pOpen + 1, fieldEndAt(pOpen + 1), nValue)) {
    rclone.bStatedBytes = true;
    rclone.nStatedBytes = nValue;
  }
  return true;
}

}  // namespace

void startRclone(RcloneListing& rclone) {
  bool bDates = rclone.bDates;
  bool bFolders = rclone.bFolders;
  rclone = RcloneListing();
  rclone.bDates = bDates;
  rclone.bFolders = bFolders;
}

void learnRcloneLayout(RcloneListing& rclone, const char* const* aszLines,
                       const std::size_t* anLengths, int nLines) {
  Sample aSamples[64];
  int nSamples = 0;
  int nLsLines = 0;
  Candidate aCandidates[8];
  int nCandidates = 0;
  addCandidate(aCandidates, nCandidates, Candidate{";", 1});
  addCandidate(aCandidates, nCandidates, Candidate{",", 1});
  for (int i = 0; i < nLines && nSamples < 64; i++) {
    const char* szLine = aszLines[i];
    const char* pEnd = textEnd(szLine, anLengths[i]);
    if (skipWhitespace(szLine) >= pEnd || logLineLevel(szLine, pEnd) != 0 ||
        startsWith(szLine, static_cast<std::size_t>(pEnd - szLine), "Total ")) {
      continue;
    }
    aSamples[nSamples++] = Sample{szLine, pEnd};
    int nKind = 0;
    std::uint64_t nSize = 0;
    bool bStamp = false;
    if (readLsShape(szLine, pEnd, nKind, nSize, nullptr, bStamp) != nullptr) nLsLines++;
    Candidate c{};
    const char* pAfter =
        readStamp(szLine, pEnd, nullptr) ? szLine + 19 : sizeTokenEnd(szLine, pEnd);
    if (pAfter != nullptr && takeRun(pAfter, szLine, pEnd, true, c)) {
      addCandidate(aCandidates, nCandidates, c);
    }
    const char* pBefore =
        pEnd - szLine > 19 && readStamp(pEnd - 19, pEnd, nullptr) ? pEnd - 19 : nullptr;
    if (pBefore == nullptr) {
      const char* p = pEnd;
      while (p > szLine &&
             (isDigit(p[-1]) || p[-1] == '.' || ((p[-1] | 0x20) >= 'a' && (p[-1] | 0x20) <= 'z')))
        p--;
      if (p > szLine && p[-1] == '-') p--;
      if (p < pEnd && sizeTokenEnd(p, pEnd) == pEnd) pBefore = p;
    }
    if (pBefore != nullptr && takeRun(pBefore, szLine, pEnd, false, c)) {
      addCandidate(aCandidates, nCandidates, c);
    }
  }
  rclone.bLearnt = true;
  int nBest = 0;
  for (int i = 0; i < nCandidates; i++) {
    RcloneLayout layout;
    int nRead = tryLayout(aCandidates[i], aSamples, nSamples, layout);
    if (nRead > nBest) {
      nBest = nRead;
      rclone.layout = layout;
    }
  }
  if (nBest <= nLsLines) rclone.layout = RcloneLayout();
}

bool readRcloneLine(RcloneListing& rclone, const char* szLine, std::size_t nLength, Entry& entry) {
  const char* pEnd = textEnd(szLine, nLength);
  if (skipWhitespace(szLine) >= pEnd) return false;
  if (!rclone.bLearnt) {
    const char* aszLines[1] = {szLine};
    std::size_t anLengths[1] = {nLength};
    learnRcloneLayout(rclone, aszLines, anLengths, 1);
  }
  int nLevel = logLineLevel(szLine, pEnd);
  if (nLevel != 0) {
    if (nLevel == 2) rclone.nErrors++;
    if (nLevel == 1 && std::strstr(szLine, "Can't ") != nullptr) rclone.nSkipped++;
    return false;
  }
  if (takeTotalLine(rclone, szLine, pEnd)) return false;
  const RcloneLayout& layout = rclone.layout;
  int nSizeKind = kSizeNone;
  std::uint64_t nSize = 0;
  const char* pPath = nullptr;
  const char* pPathEnd = pEnd;
  LineStamp* pStamp = rclone.bDates ? &entry.stamp : nullptr;
  if (!layout.bLsf) {
    bool bStamp = false;
    pPath = readLsShape(szLine, pEnd, nSizeKind, nSize, pStamp, bStamp);
  } else {
    Fields fields;
    if (splitLsf(layout, szLine, pEnd, fields)) {
      nSizeKind = readSizeField(fields.apStart[layout.nSize], fields.apEnd[layout.nSize], nSize);
      pPath = fields.apStart[layout.nPath];
      pPathEnd = fields.apEnd[layout.nPath];
      if (layout.bCsv && pPath < pPathEnd && *pPath == '"') {
        pPath++;
        pPathEnd--;
      }
      if (layout.nTime >= 0 && pStamp != nullptr) {
        readStamp(fields.apStart[layout.nTime], fields.apEnd[layout.nTime], pStamp);
      }
    }
  }
  if (pPath == nullptr || nSizeKind == kSizeNone || pPath >= pPathEnd) {
    rclone.nUnread++;
    return false;
  }
  if (nSizeKind == kSizeFolder || pPathEnd[-1] == '/') return false;
  if (nSizeKind == kSizeRounded) rclone.nRounded++;
  entry.nType = kEntryFile;
  entry.nSize = nSize;
  rclone.nFiles++;
  rclone.nBytes = rclone.nBytes + nSize < nSize ? UINT64_MAX : rclone.nBytes + nSize;
  if (rclone.bFolders) {
    entry.pFolder = rclone.szFolder;
    entry.nFolder = folderOfPath(rclone.szFolder, pPath, pPathEnd);
  }
  return true;
}

int weighRcloneLine(const char* szLine, std::size_t nLength) {
  const char* pEnd = textEnd(szLine, nLength);
  if (logLineLevel(szLine, pEnd) != 0) return 1;
  std::size_t n = static_cast<std::size_t>(pEnd - szLine);
  if (startsWith(szLine, n, "Total objects: ") ||
      (startsWith(szLine, n, "Total size: ") && std::strstr(szLine, " Byte)") != nullptr)) {
    return 1;
  }
  // ls and lsl: the size right-aligned in nine columns; wider sizes push
  // the path out, as find's "%s %p" writes every size, so they show nothing.
  int nKind = 0;
  std::uint64_t nSize = 0;
  bool bStamp = false;
  const char* pPath = readLsShape(szLine, pEnd, nKind, nSize, nullptr, bStamp);
  // "5120 | docs/a.txt" is lsf's with the separator " | ", no path.
  bool bLsfSeparator = pPath != nullptr && !bStamp && isSeparatorByte(*pPath) &&
                       !isWhitespace(*pPath) && isWhitespace(pPath[1]);
  if (pPath != nullptr && !bLsfSeparator) {
    // Not the inode column of find -ls or ls -i before a mode.
    const char* pSizeEnd = fieldEndAt(skipWhitespace(szLine));
    if (isWhitespace(*pPath) || modeLength(pPath) > 0) return 0;
    return pSizeEnd - szLine == 9 || bStamp ? 1 : 0;
  }
  // lsf: a time first or last, or a size first or last, with a separator
  // beside it that is no blank alone, and another field.
  if (n < 3 || isWhitespace(szLine[0])) return 0;
  const char* pAfter = readStamp(szLine, pEnd, nullptr) ? szLine + 19 : sizeTokenEnd(szLine, pEnd);
  if (pAfter != nullptr && pAfter < pEnd) {
    const char* pNext = pAfter;
    bool bMark = false;
    for (; pNext < pEnd && isSeparatorByte(*pNext); pNext++) bMark = bMark || *pNext != ' ';
    if (bMark) return pNext < pEnd ? 1 : 0;
  }
  if (n > 20 && readStamp(pEnd - 19, pEnd, nullptr) && markedRunBefore(szLine, pEnd - 19)) return 1;
  const char* p = pEnd;
  while (p > szLine && isDigit(p[-1])) p--;
  if (p > szLine && p[-1] == '-') p--;
  return p < pEnd && p > szLine + 1 && sizeTokenEnd(p, pEnd) == pEnd && markedRunBefore(szLine, p)
             ? 1
             : 0;
}

bool isRcloneTimeFirstLine(const char* szLine, std::size_t nLength) {
  const char* pEnd = textEnd(szLine, nLength);
  if (!readStamp(szLine, pEnd, nullptr)) return false;
  for (const char* pC = szLine + 19; pC < pEnd && isSeparatorByte(*pC); pC++) {
    if (!isWhitespace(*pC)) return true;
  }
  return false;
}
