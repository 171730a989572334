#include "tallies/folders.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <limits>
#include <numeric>
#include <utility>

#include "sources/text.h"
#include "tallies/classes.h"

namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool isLineSpace(char c) { return isBlank(c) || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// "C:\", "\\" or "/": the start of a path that names its directory fully.
bool startsAbsolutePath(const char* p) {
  return *p == '/' || (*p == '\\' && p[1] == '\\') ||
         (isAsciiLetter(*p) && p[1] == ':' && p[2] == '\\');
}

const char* skipBlanks(const char* p) {
  while (isBlank(*p)) p++;
  return p;
}

const char* trimEnd(const char* pStart, const char* pEnd) {
  while (pEnd > pStart && isLineSpace(pEnd[-1])) pEnd--;
  return pEnd;
}

// The end of the prefix of [pStart, pEnd) that ends with the nSeparators-th
// separator after pFrom, or, when there are fewer, with the last one after
// pFrom (pFrom itself if none). bWhole says whether all were found.
const char* prefixThroughSeparators(const char* pFrom, const char* pEnd, int nSeparators,
                                    char cSeparator, bool& bWhole) {
  for (; nSeparators > 0; nSeparators--) {
    const void* pFound = std::memchr(pFrom, cSeparator, static_cast<std::size_t>(pEnd - pFrom));
    if (pFound == nullptr) {
      bWhole = false;
      return pFrom;
    }
    pFrom = static_cast<const char*>(pFound) + 1;
  }
  bWhole = true;
  return pFrom;
}

void addTotals(FolderTotals& to, const FolderTotals& from) {
  to.nFiles += from.nFiles;
  for (int c = 0; c < 4; c++) to.anBytes[c] = addSaturating(to.anBytes[c], from.anBytes[c]);
  for (int g = 0; g < 2; g++) {
    to.anAsideFiles[g] += from.anAsideFiles[g];
    for (int c = 0; c < 4; c++) {
      to.aanAsideBytes[g][c] = addSaturating(to.aanAsideBytes[g][c], from.aanAsideBytes[g][c]);
    }
  }
}

// The files counted at once and those set aside for group nAside, as one.
FolderTotals chosenTotals(const FolderTotals& totals, int nAside) {
  FolderTotals chosen;
  chosen.nFiles = totals.nFiles;
  for (int c = 0; c < 4; c++) chosen.anBytes[c] = totals.anBytes[c];
  if (nAside == kFolderCounted) return chosen;
  chosen.nFiles += totals.anAsideFiles[nAside - 1];
  for (int c = 0; c < 4; c++) {
    chosen.anBytes[c] = addSaturating(chosen.anBytes[c], totals.aanAsideBytes[nAside - 1][c]);
  }
  return chosen;
}

// Whether [pA, pA + n) and [pB, pB + n) hold the same bytes; a word at a
// time where that can be done, as keys are compared at every file.
bool sameBytes(const char* pA, const char* pB, std::size_t n) {
#if defined(__GNUC__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  if (n >= 8) {
    std::uint64_t nA;
    std::uint64_t nB;
    for (std::size_t i = 0; i + 8 < n; i += 8) {
      std::memcpy(&nA, pA + i, 8);
      std::memcpy(&nB, pB + i, 8);
      if (nA != nB) return false;
    }
    std::memcpy(&nA, pA + n - 8, 8);  // the last word, overlapping the ones before
    std::memcpy(&nB, pB + n - 8, 8);
    return nA == nB;
  }
#endif
  return std::memcmp(pA, pB, n) == 0;
}

const std::uint64_t kGolden = 0x9E3779B97F4A7C15ull;

// The last eight bytes of [p, p + n), or all of them when there are fewer,
// as a word. It is read whole rather than assembled from bytes in memory,
// which would cost a stall on the load that follows.
std::uint64_t lastWord(const char* p, std::size_t n) {
  std::uint64_t nWord = 0;
  if (n >= 8) {
    std::memcpy(&nWord, p + n - 8, 8);
  } else {
    for (std::size_t i = 0; i < n; i++) {
      nWord |= std::uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
    }
  }
  return nWord;
}

// A word at a time, ending with the last word: a key is looked up at every
// change of folder. The slot is taken from the high bits; the last step
// spreads keys that differ only in a few digits (dept01, dept02) over them.
std::uint64_t hashKey(const char* p, std::size_t n, std::uint64_t nLastWord) {
  std::uint64_t nHash = n * kGolden;
  for (std::size_t i = 0; i + 8 < n; i += 8) {
    std::uint64_t nWord;
    std::memcpy(&nWord, p + i, 8);
    nHash = ((nHash << 29 | nHash >> 35) ^ nWord) * kGolden;
  }
  nHash = ((nHash << 29 | nHash >> 35) ^ nLastWord) * kGolden;
  return (nHash ^ nHash >> 32) * kGolden;
}

std::size_t slotOf(const FolderTally& ft, std::uint64_t nHash) {
  return static_cast<std::size_t>(nHash >> ft.nSlotShift);
}

void growSlots(FolderTally& ft) {
  std::vector<FolderSlot> old(ft.slots.empty() ? 32 : ft.slots.size() * 2);
  old.swap(ft.slots);
  ft.nSlotShift = 64;
  for (std::size_t n = ft.slots.size(); n > 1; n /= 2) ft.nSlotShift--;
  std::size_t nMask = ft.slots.size() - 1;
  for (const FolderSlot& slot : old) {
    if (slot.pEntry == nullptr) continue;
    std::size_t nSlot = slotOf(ft, slot.nHash);
    while (ft.slots[nSlot].pEntry != nullptr) nSlot = (nSlot + 1) & nMask;
    ft.slots[nSlot] = slot;
  }
}

// The folder of key [p, p + n), which starts with the root, made if it is
// new. Only the part after the root is compared and kept: it is short, so
// that it mostly lies in the entry itself, not in memory of its own, and
// mostly fits in the last word of the key, which is compared first.
FolderEntry& addFolder(FolderTally& ft, const char* p, std::size_t n, std::uint64_t nHash,
                       std::uint64_t nLastWord, std::size_t nSlot) {
  std::size_t nRoot = ft.sRoot.size();
  ft.folders.push_back(FolderEntry{std::string(p + nRoot, n - nRoot), nLastWord, FolderTotals()});
  ft.slots[nSlot] = FolderSlot{nHash, &ft.folders.back()};
  if (ft.folders.size() * 2 > ft.slots.size()) growSlots(ft);  // at most half full
  return ft.folders.back();
}

inline FolderEntry& findFolder(FolderTally& ft, const char* p, std::size_t n) {
  if (ft.slots.empty()) growSlots(ft);
  std::size_t nRoot = ft.sRoot.size();
  std::size_t nBelow = n - nRoot;
  std::uint64_t nLastWord = lastWord(p, n);  // all of the part after the root, mostly
  std::uint64_t nHash = hashKey(p + nRoot, nBelow, nLastWord);
  std::size_t nMask = ft.slots.size() - 1;
  std::size_t nSlot = slotOf(ft, nHash);
  for (; ft.slots[nSlot].pEntry != nullptr; nSlot = (nSlot + 1) & nMask) {
    FolderEntry& folder = *ft.slots[nSlot].pEntry;
    if (ft.slots[nSlot].nHash == nHash && folder.nLastWord == nLastWord &&
        folder.sBelowRoot.size() == nBelow &&
        (nBelow <= 8 || sameBytes(folder.sBelowRoot.data(), p + nRoot, nBelow - 8))) {
      return folder;
    }
  }
  return addFolder(ft, p, n, nHash, nLastWord, nSlot);
}

// Cuts the root back to the last separator within its first n characters,
// and keys every folder anew under the shorter root, merging those that now
// share a key.
void shrinkRoot(FolderTally& ft, std::size_t n) {
  while (n > 0 && ft.sRoot[n - 1] != ft.cSeparator) n--;
  std::string sOldRoot = ft.sRoot;
  ft.sRoot.resize(n);
  std::deque<FolderEntry> folders;
  folders.swap(ft.folders);
  ft.slots.assign(ft.slots.size(), FolderSlot());
  for (const FolderEntry& folder : folders) {
    std::string sKey = sOldRoot + folder.sBelowRoot;
    const char* pKey = sKey.data();
    const char* pKeyEnd = pKey + sKey.size();
    bool bWhole;
    const char* pEnd = prefixThroughSeparators(pKey + n, pKeyEnd, ft.nDepth, ft.cSeparator, bWhole);
    if (!bWhole) pEnd = pKeyEnd;
    addTotals(findFolder(ft, pKey, static_cast<std::size_t>(pEnd - pKey)).totals, folder.totals);
  }
  ft.pLast = nullptr;
  ft.pCurrent = nullptr;
}

// Makes the folder of key [p, p + n) the one found last. Its key is kept
// as the root and its path below the root, so nothing is copied.
FolderTotals* setLastFolder(FolderTally& ft, const char* p, std::size_t n, bool bWhole) {
  ft.pLast = &findFolder(ft, p, n);
  ft.bLastWhole = bWhole;
  return &ft.pLast->totals;
}

// The folder of a file whose path [pStart, pEnd) uses the listing's
// separator: its directory is the text up to the last separator, or none.
// Makes the root cover that directory first, then looks the folder up.
FolderTotals* folderOfPath(FolderTally& ft, const char* pStart, const char* pEnd) {
  std::size_t nRoot = ft.sRoot.size();
  bool bWhole;
  if (!ft.bHasRoot) {
    const char* pDirEnd = prefixThroughSeparators(pStart, pEnd, std::numeric_limits<int>::max(),
                                                  ft.cSeparator, bWhole);
    if (pDirEnd == pStart) return &ft.unplaced;
    ft.sRoot.assign(pStart, pDirEnd);
    ft.bHasRoot = true;
    nRoot = ft.sRoot.size();
  } else if (static_cast<std::size_t>(pEnd - pStart) < nRoot ||
             std::memcmp(pStart, ft.sRoot.data(), nRoot) != 0) {
    if (std::memchr(pStart, ft.cSeparator, static_cast<std::size_t>(pEnd - pStart)) == nullptr) {
      return &ft.unplaced;
    }
    std::size_t n = 0;
    while (n < nRoot && pStart + n < pEnd && ft.sRoot[n] == pStart[n]) n++;
    shrinkRoot(ft, n);  // the part that is the same, cut back to a separator, lies in the directory
    nRoot = ft.sRoot.size();
  }
  const char* pKeyEnd =
      prefixThroughSeparators(pStart + nRoot, pEnd, ft.nDepth, ft.cSeparator, bWhole);
  auto nKey = static_cast<std::size_t>(pKeyEnd - pStart);
  if (nKey == 0) return &ft.unplaced;  // no separator, under a root of nothing
  return setLastFolder(ft, pStart, nKey, bWhole);
}

void addTo(FolderTotals* pTotals, int nGroup, int nClass, std::uint64_t nSize) {
  if (nGroup == kFolderCounted) {
    pTotals->nFiles++;
    pTotals->anBytes[nClass & 3] = addSaturating(pTotals->anBytes[nClass & 3], nSize);
  } else {
    std::uint64_t& nBytes = pTotals->aanAsideBytes[(nGroup - 1) & 1][nClass & 3];
    pTotals->anAsideFiles[(nGroup - 1) & 1]++;
    nBytes = addSaturating(nBytes, nSize);
  }
}

bool holdsSeparator(const char* pStart, const char* pEnd) {
  auto n = static_cast<std::size_t>(pEnd - pStart);
  return std::memchr(pStart, '\\', n) != nullptr || std::memchr(pStart, '/', n) != nullptr;
}

// The length of the key of the folder found last when the text at pStart,
// which starts with the root and of which nReadable bytes may be read,
// starts with that key; else 0. The key's last word is compared first: it
// mostly holds all of the path below the root.
std::size_t lastKeyLength(const FolderTally& ft, const char* pStart, std::size_t nReadable) {
  if (ft.pLast == nullptr) return 0;
  const std::string& sBelow = ft.pLast->sBelowRoot;
  std::size_t nRoot = ft.sRoot.size();
  std::size_t nKey = nRoot + sBelow.size();
  if (nReadable < nKey || lastWord(pStart, nKey) != ft.pLast->nLastWord) return 0;
  if (sBelow.size() > 8 && !sameBytes(pStart + nRoot, sBelow.data(), sBelow.size() - 8)) return 0;
  return nKey;
}

bool startsWithRoot(const FolderTally& ft, const char* pStart, std::size_t nReadable) {
  return nReadable >= ft.sRoot.size() && sameBytes(pStart, ft.sRoot.data(), ft.sRoot.size());
}

// Whether the file or directory at [pStart, pEnd) lies in the folder found
// last: the common case, which costs a comparison and, for a folder less
// deep than the depth asked for, a search of the rest for a separator.
bool inLastFolder(const FolderTally& ft, const char* pStart, const char* pEnd) {
  if (ft.pLast == nullptr || !ft.bHasRoot) return false;
  auto nPath = static_cast<std::size_t>(pEnd - pStart);
  const std::string& sBelow = ft.pLast->sBelowRoot;
  std::size_t nRoot = ft.sRoot.size();
  std::size_t nKey = nRoot + sBelow.size();
  return nPath >= nKey && sameBytes(pStart, ft.sRoot.data(), nRoot) &&
         sameBytes(pStart + nRoot, sBelow.data(), sBelow.size()) &&
         (ft.bLastWhole || !holdsSeparator(pStart + nKey, pEnd));
}

// The bytes at which quickFolder stops to look: the separators, the start of
// a status, and the end of the text.
struct PathStopTable {
  bool abIs[256] = {};
  constexpr PathStopTable() : abIs() {
    abIs[static_cast<unsigned char>('/')] = true;
    abIs[static_cast<unsigned char>('\\')] = true;
    abIs[static_cast<unsigned char>('[')] = true;
    abIs[0] = true;
  }
};
constexpr PathStopTable kPathStop;

// The folder of a path that starts at pStart, when it is found without
// knowing where the path ends: a path in the folder found last, or a path
// that starts with the root and then holds nDepth separators before any
// '['. That is the common case, and costs a comparison with the root, one
// with the last folder, and otherwise a look at the parts after the root and
// a lookup. The text ends at its NUL; pReadEnd is where the bytes that may
// be read end, at that NUL or after it. Returns nullptr otherwise.
inline FolderTotals* quickFolder(FolderTally& ft, const char* pStart, const char* pReadEnd) {
  auto nReadable = static_cast<std::size_t>(pReadEnd - pStart);
  // The root and the last key hold no NUL: text that matches them lies
  // before the NUL that ends the path, whatever pReadEnd allows.
  if (!ft.bHasRoot || !startsWithRoot(ft, pStart, nReadable)) return nullptr;
  if (ft.bLastWhole && lastKeyLength(ft, pStart, nReadable) > 0) return &ft.pLast->totals;
  const char* pC = pStart + ft.sRoot.size();
  for (int nFound = 0;; pC++) {
    while (!kPathStop.abIs[static_cast<unsigned char>(*pC)]) pC++;
    if (*pC != ft.cSeparator) return nullptr;  // the end, a status, or the other separator
    if (++nFound == ft.nDepth) break;
  }
  return setLastFolder(ft, pStart, static_cast<std::size_t>(pC + 1 - pStart), true);
}

// The folder of a file whose path is [pStart, pEnd): any path, which may
// change the root or need its separators converted first.
FolderTotals* exactFolder(FolderTally& ft, const char* pStart, const char* pEnd) {
  if (inLastFolder(ft, pStart, pEnd)) return &ft.pLast->totals;
  if (ft.cSeparator == '\0') {
    const char* pFirst = std::find_if(pStart, pEnd, isSeparator);
    if (pFirst == pEnd) return &ft.unplaced;
    ft.cSeparator = *pFirst;
  }
  auto nPath = static_cast<std::size_t>(pEnd - pStart);
  char cOther = ft.cSeparator == '/' ? '\\' : '/';
  if (std::memchr(pStart, cOther, nPath) != nullptr) {
    ft.sScratch.assign(pStart, pEnd);
    std::replace(ft.sScratch.begin(), ft.sScratch.end(), cOther, ft.cSeparator);
    pStart = ft.sScratch.data();
    pEnd = pStart + nPath;
  }
  return folderOfPath(ft, pStart, pEnd);
}

// Makes the path [pStart, pEnd) the directory of the files that follow,
// with the listing's separator throughout, and one at its end.
void setDirectory(FolderTally& ft, const char* pStart, const char* pEnd) {
  std::string& sDir = ft.sDirectory;
  sDir.assign(pStart, pEnd);
  ft.pCurrent = nullptr;
  if (ft.cSeparator == '\0') ft.cSeparator = *std::find_if(sDir.begin(), sDir.end(), isSeparator);
  char cOther = ft.cSeparator == '/' ? '\\' : '/';
  if (sDir.find(cOther) != std::string::npos) {
    std::replace(sDir.begin(), sDir.end(), cOther, ft.cSeparator);
  }
  if (sDir.back() != ft.cSeparator) sDir += ft.cSeparator;
}

// Where the path of a header line starts: after a blank, a drive letter, a
// colon and a backslash, or an absolute path.
const char* findHeaderPath(const char* szLine) {
  for (const char* pC = szLine + 1; *pC != '\0'; pC++) {
    if (isBlank(pC[-1]) && startsAbsolutePath(pC)) return pC;
  }
  return nullptr;
}

// Words after the path, as in " C:\x 的目录": the last blank-separated part,
// when it holds a byte beyond ASCII and nothing that a path part would.
const char* findHeaderWords(const char* pStart, const char* pEnd) {
  const char* pWord = pEnd;
  while (pWord > pStart && !isBlank(pWord[-1])) pWord--;
  if (pWord == pStart || pWord == pEnd) return nullptr;
  bool bBeyondAscii = false;
  for (const char* pC = pWord; pC < pEnd; pC++) {
    if (*pC == ':' || isSeparator(*pC)) return nullptr;
    if (static_cast<unsigned char>(*pC) >= 0x80) bBeyondAscii = true;
  }
  if (!bBeyondAscii) return nullptr;
  while (pWord > pStart && isBlank(pWord[-1])) pWord--;
  return pWord;
}

// The end of a header's path, without the layout's words after it.
const char* headerPathEnd(FolderTally& ft, const char* pStart, const char* pEnd) {
  if (!ft.bLayoutKnown) {
    ft.bLayoutKnown = true;
    const char* pWords = findHeaderWords(pStart, pEnd);
    if (pWords != nullptr) ft.sHeaderWords.assign(pWords, pEnd);
  }
  std::size_t nWords = ft.sHeaderWords.size();
  if (nWords > 0 && static_cast<std::size_t>(pEnd - pStart) > nWords &&
      std::memcmp(pEnd - nWords, ft.sHeaderWords.data(), nWords) == 0) {
    pEnd = trimEnd(pStart, pEnd - nWords);
  }
  return pEnd;
}

// The path as printed: without its final separator, unless that would leave
// nothing, a drive ("C:") or a run of separators.
std::string printedPath(const std::string& sPath) {
  std::size_t n = sPath.size();
  if (n >= 2 && isSeparator(sPath[n - 1]) && !isSeparator(sPath[n - 2]) && sPath[n - 2] != ':') {
    n--;
  }
  return sPath.substr(0, n);
}

double secondsFor(const FolderTotals& totals, const std::int64_t anRate[4]) {
  double dSeconds = 0;
  for (int c = 0; c < 4; c++) {
    if (anRate[c] > 0) {
      dSeconds += static_cast<double>(totals.anBytes[c]) / static_cast<double>(anRate[c]);
    }
  }
  return std::min(dSeconds, kFolderMaxSeconds);
}

FolderRow makeRow(std::string sName, const FolderTotals& totals, const std::int64_t anRate[4]) {
  FolderRow row;
  row.sName = std::move(sName);
  row.nFiles = totals.nFiles;
  for (int c = 0; c < 4; c++) row.nBytes = addSaturating(row.nBytes, totals.anBytes[c]);
  row.dSeconds = secondsFor(totals, anRate);
  return row;
}

void setShare(FolderRow& row, double dTotalSeconds) {
  row.dShare = dTotalSeconds > 0 ? row.dSeconds * 100 / dTotalSeconds : 0;
}

// The longest first; the order is total, so that every run ranks alike.
bool takesLonger(const FolderRow& a, const FolderRow& b) {
  if (a.dSeconds != b.dSeconds) return a.dSeconds > b.dSeconds;
  if (a.nBytes != b.nBytes) return a.nBytes > b.nBytes;
  if (a.nFiles != b.nFiles) return a.nFiles > b.nFiles;
  return a.sName < b.sName;
}

}  // namespace

void startFolders(FolderTally& ft, int nDepth) {
  ft = FolderTally();
  ft.nDepth = nDepth < 1 ? 1 : nDepth;
  // Room for long paths from the start, so that lines need no allocation.
  ft.sDirectory.reserve(512);
  ft.sScratch.reserve(512);
  growSlots(ft);
}

bool namesDirectory(const char* szLine) {
  // A line that begins with a digit begins with a date: a file's or a
  // directory's, whose name cannot be taken for a header's path.
  return !isDigit(szLine[0]) && szLine[0] != '\0' && findHeaderPath(szLine) != nullptr;
}

bool noteDirectoryLine(FolderTally& ft, const Piece& piece) {
  const char* szLine = piece.szText;
  if (!namesDirectory(szLine)) return false;
  const char* pStart = findHeaderPath(szLine);
  const char* pEnd = trimEnd(pStart, pStart + std::strlen(pStart));
  if (piece.bCut) {
    // The rest of the line was passed over: keep the parts that are whole.
    while (pEnd > pStart && !isSeparator(pEnd[-1])) pEnd--;
  } else {
    pEnd = headerPathEnd(ft, pStart, pEnd);
  }
  setDirectory(ft, pStart, pEnd);
  return true;
}

void countListingFile(FolderTally& ft, const char* pName, int nClass, std::uint64_t nSize,
                      int nGroup) {
  pName = skipBlanks(pName);
  if (startsAbsolutePath(pName)) {
    const char* pEnd = pName + std::strlen(pName);
    FolderTotals* pTotals = quickFolder(ft, pName, pEnd);
    addTo(pTotals != nullptr ? pTotals : exactFolder(ft, pName, trimEnd(pName, pEnd)), nGroup,
          nClass, nSize);
    return;
  }
  FolderTotals* pTotals = ft.pCurrent;
  if (pTotals == nullptr) {
    // The first file after a header: mostly in the folder of the header before.
    const char* pDir = ft.sDirectory.c_str();
    const char* pDirEnd = pDir + ft.sDirectory.size();
    pTotals = quickFolder(ft, pDir, pDirEnd);
    if (pTotals == nullptr)
      pTotals = pDir == pDirEnd ? &ft.unplaced : exactFolder(ft, pDir, pDirEnd);
    ft.pCurrent = pTotals;
  }
  addTo(pTotals, nGroup, nClass, nSize);
}

namespace {

// countLogObject for a path whose bytes may be read up to pReadEnd.
void countLogPath(FolderTally& ft, const char* pPath, const char* pReadEnd, int nClass,
                  std::uint64_t nSize, int nGroup) {
  pPath = skipBlanks(pPath);
  FolderTotals* pTotals = quickFolder(ft, pPath, pReadEnd);
  if (pTotals == nullptr) {
    const char* pEnd = trimEnd(pPath, pPath + std::strlen(pPath));
    if (pEnd > pPath && pEnd[-1] == ']') {
      const char* pOpen = pEnd - 1;
      while (pOpen > pPath && *pOpen != '[') pOpen--;
      if (*pOpen == '[') pEnd = trimEnd(pPath, pOpen);
    }
    pTotals = exactFolder(ft, pPath, pEnd);
  }
  addTo(pTotals, nGroup, nClass, nSize);
}

}  // namespace

void countLogObject(FolderTally& ft, const char* pPath, int nClass, std::uint64_t nSize,
                    int nGroup) {
  countLogPath(ft, pPath, pPath + std::strlen(pPath), nClass, nSize, nGroup);
}

void countLogObject(FolderTally& ft, const Piece& piece, const char* pPath, int nClass,
                    std::uint64_t nSize, int nGroup) {
  countLogPath(ft, pPath, piece.szText + piece.nLength, nClass, nSize, nGroup);
}

void countFolderFile(FolderTally& ft, const char* pDir, std::size_t nDir, int nClass,
                     std::uint64_t nSize, int nGroup) {
  if (nDir == 0) {
    addTo(&ft.unplaced, nGroup, nClass, nSize);
    return;
  }
  // The folder's path with a separator and a name after it is a file's path
  // in it, which the folders already know how to place.
  char cSeparator = ft.cSeparator;
  if (cSeparator == '\0') {
    const char* pFirst = std::find_if(pDir, pDir + nDir, isSeparator);
    cSeparator = pFirst == pDir + nDir ? '/' : *pFirst;
  }
  std::string& sPath = ft.sEntryPath;
  sPath.assign(pDir, nDir);
  if (!isSeparator(sPath.back())) sPath += cSeparator;
  sPath += '_';
  addTo(exactFolder(ft, sPath.data(), sPath.data() + sPath.size()), nGroup, nClass, nSize);
}

void rankFolders(const FolderTally& ft, const std::int64_t anRate[4], int nTop, FolderRanking& out,
                 int nAsideGroup) {
  out = FolderRanking();
  out.nDepth = ft.nDepth;
  out.bFound = !ft.folders.empty();
  out.sRoot = printedPath(ft.sRoot);
  out.nFolders = ft.folders.size();
  FolderTotals all = ft.unplaced;
  std::vector<std::pair<FolderRow, const FolderTotals*>> ranked;
  ranked.reserve(ft.folders.size());
  for (const FolderEntry& folder : ft.folders) {
    std::string sName = printedPath(folder.sBelowRoot);
    ranked.emplace_back(makeRow(std::move(sName), chosenTotals(folder.totals, nAsideGroup), anRate),
                        &folder.totals);
    addTotals(all, folder.totals);
  }
  std::size_t nShown = nTop < 0 ? 0 : std::min(ranked.size(), static_cast<std::size_t>(nTop));
  auto pShownEnd = ranked.begin() + static_cast<std::ptrdiff_t>(nShown);
  std::partial_sort(ranked.begin(), pShownEnd, ranked.end(),
                    [](const auto& a, const auto& b) { return takesLonger(a.first, b.first); });
  // The rest is summed by class, so that its seconds are computed like any row's.
  FolderTotals rest;
  for (auto pC = pShownEnd; pC != ranked.end(); ++pC) addTotals(rest, *pC->second);
  out.total = makeRow("", chosenTotals(all, nAsideGroup), anRate);
  double dTotal = out.total.dSeconds;
  for (auto pC = ranked.begin(); pC != pShownEnd; ++pC) {
    out.rows.push_back(std::move(pC->first));
    setShare(out.rows.back(), dTotal);
  }
  out.nRestFolders = ranked.size() - nShown;
  out.rest = makeRow("", chosenTotals(rest, nAsideGroup), anRate);
  out.unplaced = makeRow("", chosenTotals(ft.unplaced, nAsideGroup), anRate);
  setShare(out.rest, dTotal);
  setShare(out.unplaced, dTotal);
  setShare(out.total, dTotal);
}
