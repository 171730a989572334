#include "sources/rsynclisting.h"

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
      fieldEndAt(pDate + 11) != pDate + 19 || !readUsualClock(pDate + 11, pDate + 19, nSecond)) {
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
  entry.nFolder = folderOfRelativePath(rsync.szFolder, pPath, pPathEnd);
  return true;
}
