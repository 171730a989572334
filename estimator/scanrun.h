// One scan's work beside the walk: each batch of objects handed to the
// tallies as entries, and written as the lines of the listing of --list and
// the echo of -sv.
#ifndef PLOMET_ESTIMATOR_SCANRUN_H_
#define PLOMET_ESTIMATOR_SCANRUN_H_

#include <cstdint>
#include <cstdio>
#include <string>

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
  std::string sText;           // the batch's lines
  std::uint64_t nObjects = 0;  // for the listing's own totals
  std::uint64_t nBytes = 0;    // staying at 2^64 - 1
};

/// The walk's callback: pContext is the ScanRun.
void countScanBatch(void* pContext, const WalkBatch& batch);

/// Opens the listing to write; no name is no listing. Returns false after
/// saying why it cannot be written.
bool openScanList(ScanRun& run);

/// Ends the listing with its own totals. Returns false after saying why it
/// could not be written whole.
bool closeScanList(ScanRun& run);

#endif  // PLOMET_ESTIMATOR_SCANRUN_H_
