#include "folders.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <numeric>
#include <utility>

#include "output.h"

namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool isLineSpace(char c) { return isBlank(c) || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool samePathChar(char a, char b) { return a == b || (isSeparator(a) && isSeparator(b)); }

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

// The length of the prefix of sPath that ends with its nSeparators-th
// separator, or the whole length when it has fewer.
std::size_t prefixThroughSeparators(const std::string& sPath, int nSeparators) {
  for (std::size_t i = 0; i < sPath.size(); i++) {
    if (isSeparator(sPath[i]) && --nSeparators == 0) return i + 1;
  }
  return sPath.size();
}

int countSeparators(const std::string& sPath) {
  return static_cast<int>(std::count_if(sPath.begin(), sPath.end(), isSeparator));
}

bool samePathPrefix(const std::string& sA, const std::string& sB, std::size_t n) {
  for (std::size_t i = 0; i < n; i++) {
    if (!samePathChar(sA[i], sB[i])) return false;
  }
  return true;
}

void addTotals(FolderTotals& to, const FolderTotals& from) {
  to.nFiles += from.nFiles;
  for (int c = 0; c < 4; c++) to.anBytes[c] += from.anBytes[c];
}

// Cuts the root back to the last separator within its first n characters,
// and keys every folder anew under the shorter root, merging those that now
// share a key.
void shrinkRoot(FolderTally& ft, std::size_t n) {
  while (n > 0 && !isSeparator(ft.sRoot[n - 1])) n--;
  ft.sRoot.resize(n);
  ft.nRootSeparators = countSeparators(ft.sRoot);
  std::unordered_map<std::string, FolderTotals, PathHash, PathEqual> merged;
  for (const auto& folder : ft.folders) {
    std::size_t nKey = prefixThroughSeparators(folder.first, ft.nRootSeparators + ft.nDepth);
    addTotals(merged[folder.first.substr(0, nKey)], folder.second);
  }
  ft.folders.swap(merged);
  ft.sLastKey.clear();
  ft.pLast = nullptr;
}

// Finds the tally of the current directory's folder, after making the root
// cover that directory. Runs for the first file after each change of
// directory; the files after it go straight to ft.pCurrent.
FolderTotals* resolveCurrent(FolderTally& ft) {
  const std::string& sDir = ft.sDirectory;
  if (sDir.empty()) {
    ft.pCurrent = &ft.unplaced;
    return ft.pCurrent;
  }
  if (!ft.bHasRoot) {
    ft.bHasRoot = true;
    ft.sRoot = sDir;
    ft.nRootSeparators = countSeparators(sDir);
  } else {
    std::size_t nMax = std::min(ft.sRoot.size(), sDir.size());
    std::size_t n = 0;
    while (n < nMax && samePathChar(ft.sRoot[n], sDir[n])) n++;
    if (n < ft.sRoot.size()) shrinkRoot(ft, n);
  }
  std::size_t nKey = prefixThroughSeparators(sDir, ft.nRootSeparators + ft.nDepth);
  // Neighbouring directories mostly lie in the same folder: no lookup then.
  if (ft.pLast == nullptr || nKey != ft.sLastKey.size() ||
      !samePathPrefix(sDir, ft.sLastKey, nKey)) {
    ft.sLastKey.assign(sDir, 0, nKey);
    ft.pLast = &ft.folders[ft.sLastKey];
  }
  ft.pCurrent = ft.pLast;
  return ft.pCurrent;
}

void addFile(FolderTally& ft, int nClass, std::uint64_t nSize) {
  FolderTotals* pTotals = ft.pCurrent != nullptr ? ft.pCurrent : resolveCurrent(ft);
  pTotals->nFiles++;
  pTotals->anBytes[nClass & 3] += nSize;
}

// The files that follow lie in the directory of the path [pStart, pEnd):
// the text up to its last separator. Costs a comparison when that is the
// directory of the file before.
void noteFileDirectory(FolderTally& ft, const char* pStart, const char* pEnd) {
  const char* pC = pEnd;
  while (pC > pStart && !isSeparator(pC[-1])) pC--;
  auto n = static_cast<std::size_t>(pC - pStart);
  if (n == ft.sDirectory.size() && ft.pCurrent != nullptr &&
      std::memcmp(pStart, ft.sDirectory.data(), n) == 0) {
    return;
  }
  ft.sDirectory.assign(pStart, n);
  ft.pCurrent = nullptr;
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
  return dSeconds;
}

FolderRow makeRow(std::string sName, const FolderTotals& totals, const std::int64_t anRate[4]) {
  FolderRow row;
  row.sName = std::move(sName);
  row.nFiles = totals.nFiles;
  for (int c = 0; c < 4; c++) row.nBytes += totals.anBytes[c];
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

// One line of the table: its numbers as text, then the folder's name.
const int kNumberColumns = 4;
struct TableLine {
  std::string asCell[kNumberColumns];
  std::string sName;
};

TableLine tableLine(const FolderRow& row, std::string sName) {
  char szBuf[4][48];
  std::snprintf(szBuf[0], sizeof szBuf[0], "%" PRIu64, row.nFiles);
  std::snprintf(szBuf[1], sizeof szBuf[1], "%" PRIu64, row.nBytes);
  std::snprintf(szBuf[2], sizeof szBuf[2], "%.1f", row.dSeconds);
  std::snprintf(szBuf[3], sizeof szBuf[3], "%.1f", row.dShare);
  return TableLine{{szBuf[0], szBuf[1], szBuf[2], szBuf[3]}, std::move(sName)};
}

// A count and its noun: "1 level", "2 levels".
std::string countedText(std::size_t n, const char* szWhat) {
  char szBuf[48];
  std::snprintf(szBuf, sizeof szBuf, "%" PRIu64 " ", static_cast<std::uint64_t>(n));
  std::string sText = szBuf;
  sText += szWhat;
  if (n != 1) sText += 's';
  return sText;
}

// Each number column is as wide as the report's columns, or wider when a
// number needs it, so that at least one blank always follows it. The names
// come last, where no length can push a column out of line.
void columnWidths(const std::vector<TableLine>& lines, const TableLine& total,
                  int anWidth[kNumberColumns]) {
  const int kMinWidth[kNumberColumns] = {10, 15, 15, 10};
  for (int i = 0; i < kNumberColumns; i++) {
    std::size_t nWidth = total.asCell[i].size() + 1;
    for (const TableLine& line : lines) nWidth = std::max(nWidth, line.asCell[i].size() + 1);
    anWidth[i] = std::max(kMinWidth[i], static_cast<int>(nWidth));
  }
}

void printLine(const TableLine& line, const int anWidth[kNumberColumns]) {
  for (int i = 0; i < kNumberColumns; i++) {
    outFormat("%-*s", anWidth[i], line.asCell[i].c_str());
  }
  outWrite(line.sName.data(), line.sName.size());
  outText("\n");
}

}  // namespace

std::size_t PathHash::operator()(const std::string& sPath) const {
  std::uint64_t nHash = 14695981039346656037ull;  // FNV-1a
  for (char c : sPath) {
    nHash ^= static_cast<unsigned char>(c == '/' ? '\\' : c);
    nHash *= 1099511628211ull;
  }
  return static_cast<std::size_t>(nHash);
}

bool PathEqual::operator()(const std::string& sA, const std::string& sB) const {
  return sA.size() == sB.size() && samePathPrefix(sA, sB, sA.size());
}

void startFolders(FolderTally& ft, int nDepth) {
  ft = FolderTally();
  ft.nDepth = nDepth < 1 ? 1 : nDepth;
  // Room for long paths from the start, so that lines need no allocation.
  ft.sDirectory.reserve(512);
  ft.sLastKey.reserve(512);
}

bool noteDirectoryLine(FolderTally& ft, const Piece& piece) {
  const char* szLine = piece.szText;
  if (!isLineSpace(szLine[0])) return false;
  const char* pStart = findHeaderPath(szLine);
  if (pStart == nullptr) return false;
  const char* pEnd = trimEnd(pStart, pStart + std::strlen(pStart));
  bool bCut = !piece.bLineFeed && piece.nLength >= kMaxPiece;
  if (bCut) {
    // The rest of the line comes in the next piece: keep the parts that are whole.
    while (pEnd > pStart && !isSeparator(pEnd[-1])) pEnd--;
  } else {
    pEnd = headerPathEnd(ft, pStart, pEnd);
  }
  ft.sDirectory.assign(pStart, pEnd);
  if (!isSeparator(ft.sDirectory.back())) ft.sDirectory += *pStart == '/' ? '/' : '\\';
  ft.pCurrent = nullptr;
  return true;
}

void countListingFile(FolderTally& ft, const char* pName, int nClass, std::uint64_t nSize) {
  pName = skipBlanks(pName);
  if (startsAbsolutePath(pName)) noteFileDirectory(ft, pName, pName + std::strlen(pName));
  addFile(ft, nClass, nSize);
}

void countLogObject(FolderTally& ft, const char* pPath, int nClass, std::uint64_t nSize) {
  pPath = skipBlanks(pPath);
  const char* pEnd = trimEnd(pPath, pPath + std::strlen(pPath));
  if (pEnd > pPath && pEnd[-1] == ']') {
    const char* pOpen = pEnd - 1;
    while (pOpen > pPath && *pOpen != '[') pOpen--;
    if (*pOpen == '[') pEnd = trimEnd(pPath, pOpen);
  }
  noteFileDirectory(ft, pPath, pEnd);
  addFile(ft, nClass, nSize);
}

void rankFolders(const FolderTally& ft, const std::int64_t anRate[4], int nTop,
                 FolderRanking& out) {
  out = FolderRanking();
  out.nDepth = ft.nDepth;
  out.bFound = !ft.folders.empty();
  out.sRoot = printedPath(ft.sRoot);
  out.nFolders = ft.folders.size();
  FolderTotals all = ft.unplaced;
  std::vector<std::pair<FolderRow, const FolderTotals*>> ranked;
  ranked.reserve(ft.folders.size());
  for (const auto& folder : ft.folders) {
    std::string sName = printedPath(folder.first.substr(ft.sRoot.size()));
    ranked.emplace_back(makeRow(std::move(sName), folder.second, anRate), &folder.second);
    addTotals(all, folder.second);
  }
  std::size_t nShown = nTop < 0 ? 0 : std::min(ranked.size(), static_cast<std::size_t>(nTop));
  auto pShownEnd = ranked.begin() + static_cast<std::ptrdiff_t>(nShown);
  std::partial_sort(ranked.begin(), pShownEnd, ranked.end(),
                    [](const auto& a, const auto& b) { return takesLonger(a.first, b.first); });
  // The rest is summed by class, so that its seconds are computed like any row's.
  FolderTotals rest;
  for (auto pC = pShownEnd; pC != ranked.end(); ++pC) addTotals(rest, *pC->second);
  out.total = makeRow("", all, anRate);
  double dTotal = out.total.dSeconds;
  for (auto pC = ranked.begin(); pC != pShownEnd; ++pC) {
    out.rows.push_back(std::move(pC->first));
    setShare(out.rows.back(), dTotal);
  }
  out.nRestFolders = ranked.size() - nShown;
  out.rest = makeRow("", rest, anRate);
  out.unplaced = makeRow("", ft.unplaced, anRate);
  setShare(out.rest, dTotal);
  setShare(out.unplaced, dTotal);
  setShare(out.total, dTotal);
}

void printFolders(const FolderRanking& ranking) {
  if (!ranking.bFound) {
    outText("\nNo folders found: the listing names no directory for its files.\n");
    return;
  }
  std::vector<TableLine> lines;
  lines.reserve(ranking.rows.size() + 3);
  std::transform(ranking.rows.begin(), ranking.rows.end(), std::back_inserter(lines),
                 [](const FolderRow& row) {
                   return tableLine(row, row.sName.empty() ? "(files in the root)" : row.sName);
                 });
  if (ranking.nRestFolders > 0) {
    lines.push_back(
        tableLine(ranking.rest, "(" + countedText(ranking.nRestFolders, "other folder") + ")"));
  }
  if (ranking.unplaced.nFiles > 0) lines.push_back(tableLine(ranking.unplaced, "(no directory)"));
  TableLine total = tableLine(ranking.total, "(all files)");
  int anWidth[kNumberColumns];
  columnWidths(lines, total, anWidth);

  outFormat("\nRoot: %s\n",
            ranking.sRoot.empty() ? "(none: the files share no directory)" : ranking.sRoot.c_str());
  std::string sLevels = countedText(static_cast<std::size_t>(ranking.nDepth), "level");
  std::uint64_t nFolders = ranking.nFolders;
  if (ranking.nRestFolders > 0) {
    outFormat("Folders %s below the root: the %" PRIu64 " of %" PRIu64
              " that take the longest, then the rest:\n",
              sLevels.c_str(), static_cast<std::uint64_t>(ranking.rows.size()), nFolders);
  } else {
    outFormat("Folders %s below the root: all %" PRIu64 ", the longest first:\n", sLevels.c_str(),
              nFolders);
  }
  int nRule = std::accumulate(anWidth, anWidth + kNumberColumns, 6);  // and "Folder"
  std::string sRule(static_cast<std::size_t>(std::max(nRule, 61)), '=');
  sRule += '\n';
  outText(sRule.c_str());
  const TableLine kHeads[] = {{{"#", "#", "Time", "Share"}, "Folder"},
                              {{"Files", "Bytes", "(sec)", "(%)"}, ""}};
  for (const TableLine& head : kHeads) printLine(head, anWidth);
  outText(sRule.c_str());
  outText("\n");
  for (const TableLine& line : lines) printLine(line, anWidth);
  outText("\n");
  printLine(total, anWidth);
}
