#include "tallies/owntotals.h"

#include <cstring>

#include "sources/text.h"
#include "tallies/classes.h"

namespace {

const std::uint64_t kMax = ~std::uint64_t{0};

// Reads a number at pC: a digit, then digits and separators. Returns the
// position after it, or nullptr when no number starts there.
const char* readNumber(const char* pC, std::uint64_t& nValue) {
  if (!isDigit(*pC)) return nullptr;
  nValue = 0;
  for (;;) {
    if (isDigit(*pC)) {
      std::uint64_t d = static_cast<std::uint64_t>(*pC - '0');
      bool bFits = nValue < kMax / 10 || (nValue == kMax / 10 && d <= kMax % 10);
      nValue = bFits ? nValue * 10 + d : kMax;
      pC++;
    } else if (int nSeparator = separatorLength(pC)) {
      pC += nSeparator;
    } else {
      return pC;
    }
  }
}

// Reads a word at pC: characters up to whitespace, the first no digit.
// Returns the position after it, or nullptr.
const char* readWord(const char* pC) {
  if (*pC == '\0' || isWhitespace(*pC) || isDigit(*pC)) return nullptr;
  while (*pC != '\0' && !isWhitespace(*pC)) pC++;
  return pC;
}

// Skips at least one whitespace character. Returns nullptr when there is none.
const char* skipBlanks(const char* pC) {
  if (!isWhitespace(*pC)) return nullptr;
  return skipWhitespace(pC);
}

// Blanks, then words without digits, the last ending in a colon. The colon
// is looked for first: it rules out most lines at once.
bool isIntroLine(const char* szLine) {
  std::size_t n = std::strlen(szLine);
  while (n > 0 && isWhitespace(szLine[n - 1])) n--;
  if (n == 0 || szLine[n - 1] != ':' || !isWhitespace(szLine[0])) return false;
  for (std::size_t i = 0; i < n; i++) {
    if (isDigit(szLine[i])) return false;
  }
  return true;
}

}  // namespace

bool readSummaryLine(const char* szLine, std::uint64_t& nFiles, std::uint64_t& nBytes) {
  const char* pC = skipBlanks(szLine);
  if (pC != nullptr) pC = readNumber(pC, nFiles);
  if (pC != nullptr) pC = skipBlanks(pC);
  if (pC != nullptr) pC = readWord(pC);
  if (pC != nullptr) pC = skipBlanks(pC);
  if (pC != nullptr) pC = readNumber(pC, nBytes);
  if (pC != nullptr) pC = skipBlanks(pC);
  if (pC != nullptr) pC = readWord(pC);
  return pC != nullptr && *skipWhitespace(pC) == '\0';
}

// A summary at line nLine, after the lines noted so far.
void noteSummary(OwnTotals& totals, std::uint64_t nFiles, std::uint64_t nBytes,
                 std::uint64_t nLine) {
  bool bAfterSummary = totals.nSummaryLine != 0 && totals.nSummaryLine + 1 == nLine;
  totals.nSummaryLine = nLine;
  if (bAfterSummary) return;  // the directories and the free space
  if (totals.nIntroLine != 0 && totals.nIntroLine + 1 == nLine) {
    totals.bGrandTotal = true;
    totals.nGrandFiles = addSaturating(totals.nGrandFiles, nFiles);
    totals.nGrandBytes = addSaturating(totals.nGrandBytes, nBytes);
  } else {
    totals.bDirectorySummary = true;
    totals.nDirectoryFiles = addSaturating(totals.nDirectoryFiles, nFiles);
    totals.nDirectoryBytes = addSaturating(totals.nDirectoryBytes, nBytes);
  }
}

void noteOwnTotalsLine(OwnTotals& totals, const char* szLine, std::uint64_t nLine) {
  std::uint64_t nFiles;
  std::uint64_t nBytes;
  if (readSummaryLine(szLine, nFiles, nBytes)) {
    noteSummary(totals, nFiles, nBytes, nLine);
  } else if (isIntroLine(szLine)) {
    totals.nIntroLine = nLine;
  }
}

void noteRangeTotalsLine(OwnTotalsRange& range, const char* szLine, std::uint64_t nLine) {
  std::uint64_t nFiles;
  std::uint64_t nBytes;
  if (nLine == 1 && readSummaryLine(szLine, nFiles, nBytes)) {
    range.bFirstSummary = true;  // what it is depends on the line before the range
    range.nFirstFiles = nFiles;
    range.nFirstBytes = nBytes;
    range.totals.nSummaryLine = 1;
    return;
  }
  noteOwnTotalsLine(range.totals, szLine, nLine);
}

void joinOwnTotals(OwnTotals& totals, std::uint64_t nLinesBefore, const OwnTotalsRange& range) {
  if (range.bFirstSummary)
    noteSummary(totals, range.nFirstFiles, range.nFirstBytes, nLinesBefore + 1);
  const OwnTotals& part = range.totals;
  totals.nDirectoryFiles = addSaturating(totals.nDirectoryFiles, part.nDirectoryFiles);
  totals.nDirectoryBytes = addSaturating(totals.nDirectoryBytes, part.nDirectoryBytes);
  totals.nGrandFiles = addSaturating(totals.nGrandFiles, part.nGrandFiles);
  totals.nGrandBytes = addSaturating(totals.nGrandBytes, part.nGrandBytes);
  totals.bDirectorySummary = totals.bDirectorySummary || part.bDirectorySummary;
  totals.bGrandTotal = totals.bGrandTotal || part.bGrandTotal;
  if (part.nIntroLine != 0) totals.nIntroLine = nLinesBefore + part.nIntroLine;
  if (part.nSummaryLine != 0) totals.nSummaryLine = nLinesBefore + part.nSummaryLine;
}

bool ownTotals(const OwnTotals& totals, std::uint64_t& nFiles, std::uint64_t& nBytes) {
  if (totals.bGrandTotal) {
    nFiles = totals.nGrandFiles;
    nBytes = totals.nGrandBytes;
    return true;
  }
  nFiles = totals.nDirectoryFiles;
  nBytes = totals.nDirectoryBytes;
  return totals.bDirectorySummary;
}
