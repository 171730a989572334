#include "sources/robocopylog.h"

#include <cinttypes>
#include <cstring>

#include "sources/kindtext.h"

namespace {

// A line of at least twenty dashes and nothing else.
bool isDashes(const char* szLine, std::size_t nLength) {
  if (nLength < 20 || szLine[0] != '-') return false;
  for (std::size_t i = 0; i < nLength; i++) {
    if (szLine[i] != '-' && !isWhitespace(szLine[i])) return false;
  }
  return true;
}

bool equalsFolded(const char* pC, std::size_t n, const char* szWord) {
  if (std::strlen(szWord) != n) return false;
  for (std::size_t i = 0; i < n; i++) {
    char c = pC[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != szWord[i]) return false;
  }
  return true;
}

// The classes that robocopy lists but does not copy.
bool isCountedClass(const char* pClass, std::size_t nClass) {
  if (nClass > 0 && pClass[0] == '*') return false;
  return !equalsFolded(pClass, nClass, "same") && !equalsFolded(pClass, nClass, "named") &&
         !equalsFolded(pClass, nClass, "junction") && !equalsFolded(pClass, nClass, "lonely");
}

bool isSeparatorChar(char c) { return c == '\\' || c == '/'; }

const char* trimEnd(const char* pStart, const char* pEnd) {
  while (pEnd > pStart && isWhitespace(pEnd[-1])) pEnd--;
  return pEnd;
}

// A hash of the name and the size, a word at a time.
std::uint64_t hashOf(const char* pC, std::size_t n, std::uint64_t nSeed) {
  const std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
  std::uint64_t nHash = (nSeed ^ n) * kMultiplier;
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t nWord;
    std::memcpy(&nWord, pC + i, sizeof nWord);
    nHash = (nHash ^ nWord) * kMultiplier;
    nHash ^= nHash >> 29;
  }
  std::uint64_t nTail = 0;
  std::memcpy(&nTail, pC + i, n - i);
  nHash = (nHash ^ nTail) * kMultiplier;
  return nHash ^ (nHash >> 29);
}

std::uint64_t saturatingAdd(std::uint64_t a, std::uint64_t b) {
  return a + b < a ? UINT64_MAX : a + b;
}

// A summary row: a label, a colon, and six values; the second and the
// fifth (copied and failed) are kept.
bool readSummaryRow(const char* szLine, std::uint64_t& nCopied, std::uint64_t& nFailed,
                    std::uint64_t& nSlack) {
  const char* pC = std::strchr(szLine, ':');
  if (pC == nullptr) return false;
  pC = skipWhitespace(pC + 1);
  std::uint64_t anValues[6] = {};
  std::uint64_t anSlack[6] = {};
  int n = 0;
  for (; n < 6 && *pC != '\0'; n++) {
    pC = readRobocopySize(pC, anValues[n], anSlack[n]);
    if (pC == nullptr) return false;
    pC = skipWhitespace(pC);
  }
  if (n != 6 || *pC != '\0') return false;
  nCopied = anValues[1];
  nFailed = anValues[4];
  nSlack = anSlack[1] + anSlack[4];
  return true;
}

void takeSummaryLine(RobocopyLog& log, const char* szLine) {
  std::uint64_t nCopied = 0;
  std::uint64_t nFailed = 0;
  std::uint64_t nSlack = 0;
  if (!readSummaryRow(szLine, nCopied, nFailed, nSlack)) return;
  // The rows are the folders', the files', the bytes' and the times'.
  log.nSummaryRow++;
  if (log.nSummaryRow == 2) {
    log.bSummary = true;
    log.nStatedFiles = saturatingAdd(log.nStatedFiles, saturatingAdd(nCopied, nFailed));
  } else if (log.nSummaryRow == 3) {
    log.nStatedBytes = saturatingAdd(log.nStatedBytes, saturatingAdd(nCopied, nFailed));
    log.nStatedSlack += nSlack;
  }
}

void takeSeparatorLine(RobocopyLog& log) {
  log.nSection = log.nSection >= 4 ? 1 : log.nSection + 1;
  if (log.nSection == 1) log.bNoSizes = false;
  if (log.nSection == 4) log.nSummaryRow = 0;
}

// A line of a log written with /NS: a class and a name, the name after the
// last tab.
bool readUnsizedLine(RobocopyLog& log, const char* szLine, const char* pEnd, Entry& entry) {
  const char* pTab = std::strrchr(szLine, '\t');
  const char* pName = pTab == nullptr ? skipWhitespace(szLine) : pTab + 1;
  const char* pNameEnd = trimEnd(pName, pEnd);
  if (pNameEnd == pName) return false;
  if (isSeparatorChar(pNameEnd[-1])) {
    log.sFolder.assign(pName, static_cast<std::size_t>(pNameEnd - pName));
    return false;
  }
  const char* pClass = skipWhitespace(szLine);
  const char* pClassEnd = pClass < pName ? trimEnd(pClass, pName) : pClass;
  if (!isCountedClass(pClass, static_cast<std::size_t>(pClassEnd - pClass))) return false;
  log.nNoSize++;
  log.nFiles++;
  entry.nSize = 0;
  entry.pFolder = log.sFolder.data();
  entry.nFolder = log.sFolder.size();
  return true;
}

}  // namespace

void startRobocopy(RobocopyLog& log) { log = RobocopyLog(); }

const char* readRobocopySize(const char* pC, std::uint64_t& nBytes, std::uint64_t& nSlack) {
  std::uint64_t nMantissa = 0;
  std::uint64_t nScale = 1;
  if (!isDigit(*pC)) return nullptr;
  for (; isDigit(*pC); pC++) {
    if (!appendDigit(nMantissa, static_cast<unsigned>(*pC - '0'))) return nullptr;
  }
  if ((*pC == '.' || *pC == ',') && isDigit(pC[1])) {
    for (pC++; isDigit(*pC) && nScale < 1000000; pC++) {
      nMantissa = nMantissa * 10 + static_cast<std::uint64_t>(*pC - '0');
      nScale *= 10;
    }
  }
  nSlack = 0;
  const char* pUnit = skipWhitespace(pC);
  const char* pUnits = std::strchr("kmgt", *pUnit);
  if (*pUnit != '\0' && pUnits != nullptr && (pUnit[1] == '\0' || isWhitespace(pUnit[1]))) {
    std::uint64_t nUnit = 1024ull << (10 * (pUnits - "kmgt"));
    nBytes = nMantissa > UINT64_MAX / nUnit ? UINT64_MAX : (nMantissa * nUnit + nScale / 2) / nScale;
    nSlack = nUnit / nScale / 2 + 1;
    return pUnit + 1;
  }
  if (nScale != 1) return nullptr;  // a fraction of a byte
  nBytes = nMantissa;
  return pC;
}

bool readRobocopyLine(RobocopyLog& log, const char* szLine, std::size_t nLength, Entry& entry) {
  if (isDashes(szLine, nLength)) {
    takeSeparatorLine(log);
    return false;
  }
  if (nLength == 0) return false;
  if (log.nSection == 0) log.nSection = 3;  // a log without a header
  if (log.nSection == 2) {
    if (std::strstr(szLine, " /NS") != nullptr) log.bNoSizes = true;
    return false;
  }
  if (log.nSection == 4) {
    takeSummaryLine(log, szLine);
    return false;
  }
  // Body lines begin with whitespace; error messages and their dates do not.
  if (log.nSection != 3 || !isWhitespace(szLine[0])) return false;
  const char* pEnd = szLine + std::strlen(szLine);
  const char* pClass = skipPadding(szLine);
  if (log.bNoSizes) return readUnsizedLine(log, szLine, pEnd, entry);
  // The class is every word before the first number.
  const char* pC = pClass;
  const char* pClassEnd = pClass;
  while (*pC != '\0' && !isDigit(*pC) && !(*pC == '-' && isDigit(pC[1]))) {
    pClassEnd = fieldEndAt(pC);
    pC = skipPadding(pClassEnd);
  }
  if (*pC == '-') pC++;  // a destination folder's count of -1
  std::uint64_t nSize = 0;
  std::uint64_t nSlack = 0;
  const char* pSizeEnd = readRobocopySize(pC, nSize, nSlack);
  if (pSizeEnd == nullptr) return false;
  const char* pName = skipPadding(pSizeEnd);
  int nYear = 0;
  int nMonth = 0;
  int nDay = 0;
  int nSecond = 0;
  bool bStamped = pEnd - pName > 19 && readYearFirstDate(pName, '/', nYear, nMonth, nDay) &&
                  pName[10] == ' ' && readClock(pName + 11, pName + 19, nSecond);
  if (bStamped) pName = skipWhitespace(pName + 19);
  const char* pNameEnd = trimEnd(pName, pEnd);
  if (pNameEnd == pName) return false;
  std::size_t nClass = static_cast<std::size_t>(pClassEnd - pClass);
  if (isSeparatorChar(pNameEnd[-1])) {  // a folder
    if (nClass == 0 || pClass[0] != '*') {
      log.sFolder.assign(pName, static_cast<std::size_t>(pNameEnd - pName));
    }
    return false;
  }
  if (!isCountedClass(pClass, nClass)) return false;
  // A file retried after an error is listed again, right after itself.
  std::uint64_t nKey = hashOf(pName, static_cast<std::size_t>(pNameEnd - pName), nSize);
  if (log.bLastKey && nKey == log.nLastKey) return false;
  log.nLastKey = nKey;
  log.bLastKey = true;
  entry.nType = kEntryFile;
  entry.nSize = nSize;
  if (bStamped) setYearFirstStamp(entry.stamp, nYear, nMonth, nDay, nSecond);
  log.nFiles++;
  log.nBytes = saturatingAdd(log.nBytes, nSize);
  log.nSlack += nSlack;
  if (nSlack > 0) log.bRounded = true;
  if (!log.bFolders) return true;
  // A full path (/FP) names its own folder.
  const char* pLast = pNameEnd;
  while (pLast > pName && !isSeparatorChar(pLast[-1])) pLast--;
  if (pLast > pName) {
    entry.pFolder = pName;
    entry.nFolder = static_cast<std::size_t>(pLast - pName);
  } else {
    entry.pFolder = log.sFolder.data();
    entry.nFolder = log.sFolder.size();
  }
  return true;
}
