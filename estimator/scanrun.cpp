#include "scanrun.h"

#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstring>

#include "reports/output.h"
#include "sources/scanlist.h"

namespace {

#ifdef _WIN32
const char kScanSeparator = '\\';
#else
const char kScanSeparator = '/';
#endif

void writeScanText(ScanRun& run) {
  if (run.bEcho) outWrite(run.sText.data(), run.sText.size());
  if (run.pList != nullptr && run.nListError == 0 &&
      std::fwrite(run.sText.data(), 1, run.sText.size(), run.pList) != run.sText.size()) {
    run.nListError = errno != 0 ? errno : EIO;
  }
  run.sText.clear();
}

}  // namespace

void countScanBatch(void* pContext, const WalkBatch& batch) {
  ScanRun& run = *static_cast<ScanRun*>(pContext);
  printableFolder(batch.pFolder, batch.nFolder, run.sFolder);
  bool bText = batch.pNames != nullptr;
  if (bText) appendListingHeader(run.sText, run.sFolder, kScanSeparator);
  Entry entry;
  entry.pFolder = run.sFolder.data();
  entry.nFolder = run.sFolder.size();
  for (std::size_t i = 0; i < batch.nObjects; i++) {
    const WalkObject& object = batch.pObjects[i];
    entry.nSize = object.nSize;
    entry.nType = object.nType;
    setYearFirstStamp(entry.stamp, object.nYear, object.nMonth, object.nDay, object.nSecondOfDay);
    run.pCount(run.pCountContext, entry);
    if (!bText) continue;
    appendListingLine(run.sText, object, batch.pNames + object.nNameOffset);
    run.nObjects++;
    run.nBytes = run.nBytes + object.nSize < run.nBytes ? UINT64_MAX : run.nBytes + object.nSize;
  }
  if (bText) writeScanText(run);
}

bool openScanList(ScanRun& run) {
  if (run.sList.empty()) return true;
  run.pList = std::fopen(run.sList.c_str(), "wb");
  if (run.pList != nullptr) return true;
  std::fprintf(stderr, "error: cannot write '%s': %s\n", printable(run.sList.c_str()).c_str(),
               std::strerror(errno));
  return false;
}

bool closeScanList(ScanRun& run) {
  if (run.pList == nullptr && !run.bEcho) return true;
  appendListingTotals(run.sText, run.nObjects, run.nBytes);
  writeScanText(run);
  if (run.pList == nullptr) return true;
  if (std::fclose(run.pList) != 0 && run.nListError == 0) run.nListError = errno;
  if (run.nListError == 0) return true;
  std::fprintf(stderr, "error: cannot write '%s': %s\n", printable(run.sList.c_str()).c_str(),
               std::strerror(run.nListError));
  return false;
}
