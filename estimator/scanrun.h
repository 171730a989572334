// One scan's work beside the walk: each batch of objects handed to the
// tallies as entries and shown on the progress line, and written as the
// lines of the listing of --list and the echo of -sv, in path order.
#ifndef PLOMET_ESTIMATOR_SCANRUN_H_
#define PLOMET_ESTIMATOR_SCANRUN_H_

#include <cstdint>
#include <cstdio>
#include <string>

#include "reports/listingsort.h"
#include "reports/progress.h"
#include "sources/entry.h"
#include "sources/walk.h"

struct ScanRun {
  void (*pCount)(void* pContext, const Entry& entry) = nullptr;  // the tallies
  void* pCountContext = nullptr;
  bool bEcho = false;  // -sv: the listing's lines on standard output
  std::string sList;   // --list: the listing's name, or ""
  std::FILE* pList = nullptr;
  int nListError = 0;          // the first failed write of the listing
  std::string sFolder;         // the batch's folder as the tallies and the listing name it
  std::string sLine;           // one object's line
  std::string sText;           // lines to write
  ListingSort sort;            // the lines, put in path order before they are written
  std::string sLastFolder;     // the folder of the last line written
  bool bFolderOpen = false;    // a folder's header has been written
  std::uint64_t nObjects = 0;  // for the listing's own totals
  std::uint64_t nBytes = 0;    // staying at 2^64 - 1
  // The progress line, or null; what the scan found so far, over all its roots.
  Progress* pProgress = nullptr;
  std::uint64_t nFoldersBefore = 0;  // walked from the roots before this one
  std::uint64_t nFound = 0;
  std::uint64_t nFoundBytes = 0;
};

/// The walk's callback: pContext is the ScanRun.
void countScanBatch(void* pContext, const WalkBatch& batch);

/// Opens the listing to write, and starts putting its lines in order; no
/// name is no listing. Returns false after saying why it cannot be written.
bool openScanList(ScanRun& run);

/// Writes the listing's lines in path order and ends it with its own
/// totals. Returns false after saying why it could not be written whole.
bool closeScanList(ScanRun& run);

#endif  // PLOMET_ESTIMATOR_SCANRUN_H_
