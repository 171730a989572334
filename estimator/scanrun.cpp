#include "scanrun.h"

#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstring>

#include "reports/output.h"
#include "sources/scanlist.h"
#include "tallies/classes.h"

namespace {

#ifdef _WIN32
const char kScanSeparator = '\\';
#else
const char kScanSeparator = '/';
#endif

// The text gathered is written in blocks of about this size.
const std::size_t kWriteBlock = std::size_t{64} * 1024;

void writeScanText(ScanRun& run) {
  if (run.bEcho) outWrite(run.sText.data(), run.sText.size());
  if (run.pList != nullptr && run.nListError == 0 &&
      std::fwrite(run.sText.data(), 1, run.sText.size(), run.pList) != run.sText.size()) {
    run.nListError = errno != 0 ? errno : EIO;
  }
  run.sText.clear();
}

// The sort's sink: each line in order, after its folder's header.
void writeSortedLine(void* pContext, const char* pFolder, std::size_t nFolder, const char* pLine,
                     std::size_t nLine) {
  ScanRun& run = *static_cast<ScanRun*>(pContext);
  if (!run.bFolderOpen || run.sLastFolder.compare(0, std::string::npos, pFolder, nFolder) != 0) {
    run.sLastFolder.assign(pFolder, nFolder);
    run.bFolderOpen = true;
    printableFolder(pFolder, nFolder, run.sFolder);
    appendListingHeader(run.sText, run.sFolder, kScanSeparator);
  }
  run.sText.append(pLine, nLine);
  if (run.sText.size() >= kWriteBlock) writeScanText(run);
}

bool sayCannotWrite(const ScanRun& run, int nError) {
  std::fprintf(stderr, "error: cannot write '%s': %s\n", printable(run.sList.c_str()).c_str(),
               std::strerror(nError));
  return false;
}

}  // namespace

void countScanBatch(void* pContext, const WalkBatch& batch) {
  ScanRun& run = *static_cast<ScanRun*>(pContext);
  printableFolder(batch.pFolder, batch.nFolder, run.sFolder);
  bool bText = batch.pNames != nullptr;
  Entry entry;
  entry.pFolder = run.sFolder.data();
  entry.nFolder = run.sFolder.size();
  for (std::size_t i = 0; i < batch.nObjects; i++) {
    const WalkObject& object = batch.pObjects[i];
    entry.nSize = object.nSize;
    entry.nType = object.nType;
    setYearFirstStamp(entry.stamp, object.nYear, object.nMonth, object.nDay, object.nSecondOfDay);
    run.pCount(run.pCountContext, entry);
    run.nFoundBytes = addSaturating(run.nFoundBytes, object.nSize);
    if (!bText) continue;
    const char* szName = batch.pNames + object.nNameOffset;
    run.sLine.clear();
    appendListingLine(run.sLine, object, szName);
    addListingRecord(run.sort, batch.pFolder, batch.nFolder, szName, std::strlen(szName),
                     run.sLine.data(), run.sLine.size());
    run.nObjects++;
    run.nBytes = addSaturating(run.nBytes, object.nSize);
  }
  run.nFound += batch.nObjects;
  if (run.pProgress != nullptr) {
    showScanProgress(*run.pProgress, run.nFound, run.nFoundBytes,
                     run.nFoldersBefore + batch.nFolders);
  }
}

bool openScanList(ScanRun& run) {
  startListingSort(run.sort, run.sList);
  if (run.sList.empty()) return true;
  run.pList = std::fopen(run.sList.c_str(), "wb");
  if (run.pList != nullptr) return true;
  return sayCannotWrite(run, errno);
}

bool closeScanList(ScanRun& run) {
  if (run.pList == nullptr && !run.bEcho) return true;
  int nSortError = finishListingSort(run.sort, writeSortedLine, &run);
  appendListingTotals(run.sText, run.nObjects, run.nBytes);
  writeScanText(run);
  if (nSortError != 0) {
    // The lines are put in order in a scratch file beside the listing (or,
    // for the echo alone, in the temporary folder).
    if (run.pList != nullptr) std::fclose(run.pList);
    std::fprintf(stderr, "error: cannot put the listing in order in a scratch file %s%s%s: %s\n",
                 run.sList.empty() ? "in the temporary folder" : "beside '",
                 printable(run.sList.c_str()).c_str(), run.sList.empty() ? "" : "'",
                 std::strerror(nSortError));
    return false;
  }
  if (run.pList == nullptr) return true;
  if (std::fclose(run.pList) != 0 && run.nListError == 0) run.nListError = errno;
  if (run.nListError == 0) return true;
  return sayCannotWrite(run, run.nListError);
}
