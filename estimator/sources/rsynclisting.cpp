#include "sources/rsynclisting.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>

#include "sources/kindtext.h"

namespace {

const char kTotalWords[] = "total size is ";

void takeTotalLine(RsyncListing& rsync, const char* szLine) {
  const char* pC = szLine + sizeof kTotalWords - 1;
  std::uint64_t nTotal = 0;
  if (!readGroupedNumber(pC, fieldEndAt(pC), nTotal)) return;
  rsync.bTotal = true;
  rsync.nStated = rsync.nStated + nTotal < nTotal ? UINT64_MAX : rsync.nStated + nTotal;
}

// The folder of the path [pPath, pEnd): "." and its directory, if any.
std::size_t folderOf(RsyncListing& rsync, const char* pPath, const char* pEnd) {
  std::size_t nDir = 0;
  for (const char* pC = pPath; pC < pEnd; pC++) {
    if (*pC == '/') nDir = static_cast<std::size_t>(pC + 1 - pPath);
  }
  nDir = std::min(nDir, kRsyncFolderRoom - 3);
  rsync.szFolder[0] = '.';
  rsync.szFolder[1] = '/';
  std::memcpy(rsync.szFolder + 2, pPath, nDir);
  return nDir == 0 ? 1 : nDir + 2;
}

}  // namespace

void startRsync(RsyncListing& rsync) { rsync = RsyncListing(); }

bool readRsyncLine(RsyncListing& rsync, const char* szLine, std::size_t nLength, Entry& entry) {
  int nMode = modeLength(szLine);
  if (nMode == 0) {
    if (startsWith(szLine, nLength, kTotalWords)) takeTotalLine(rsync, szLine);
    if (startsWith(szLine, nLength, "rsync: ") || startsWith(szLine, nLength, "rsync error: ")) {
      rsync.nErrors++;
    }
    return false;
  }
  char cType = szLine[0];
  const char* pSize = skipWhitespace(szLine + nMode);
  const char* pSizeEnd = fieldEndAt(pSize);
  const char* pDate = skipWhitespace(pSizeEnd);
  std::uint64_t nSize = 0;
  int nYear = 0;
  int nMonth = 0;
  int nDay = 0;
  int nSecond = 0;
  bool bRounded = false;
  bool bSize = readGroupedNumber(pSize, pSizeEnd, nSize);
  if (!bSize) bSize = bRounded = readRoundedSize(pSize, pSizeEnd, 1000, nSize);
  if (!bSize || !readYearFirstDate(pDate, '/', nYear, nMonth, nDay) || pDate[10] != ' ' ||
      fieldEndAt(pDate + 11) != pDate + 19 || !readClock(pDate + 11, pDate + 19, nSecond)) {
    rsync.nUnread++;
    return false;
  }
  if (cType == 'd') return false;
  if (cType == 'l') rsync.nBytes += nSize;  // rsync's total counts the link's text
  entry.nType = cType == '-' ? kEntryFile : cType == 'l' ? kEntryLink : kEntrySpecial;
  entry.nSize = cType == '-' ? nSize : 0;
  if (cType == '-') rsync.nBytes += nSize;
  if (cType == '-' && bRounded) rsync.nRounded++;
  setYearFirstStamp(entry.stamp, nYear, nMonth, nDay, nSecond);
  if (!rsync.bFolders) return true;
  const char* pPath = skipWhitespace(pDate + 19);
  const char* pPathEnd = szLine + std::strlen(szLine);
  const char* pArrow = cType == 'l' ? std::strstr(pPath, " -> ") : nullptr;
  if (pArrow != nullptr) pPathEnd = pArrow;
  entry.pFolder = rsync.szFolder;
  entry.nFolder = folderOf(rsync, pPath, pPathEnd);
  return true;
}
