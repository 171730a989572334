// The listing of the scan (--list, and the echo of -sv) in path order,
// whatever order the walk's threads found the objects in: so that two
// captures of the same tree are the same file, and diff compares them.
//
// Each object is one record: its folder's path, its name (the sort key, byte
// by byte) and its line of text. Records gather in a run of bounded size;
// a full run is sorted and spilled to a scratch file, and at the end the
// runs are merged, 64 at a time, into the order asked for. Memory stays near
// the run's size (kListingRunBytes) and the merge's buffers, whatever the
// number of objects; the scratch file holds the listing's text once (twice
// while a listing of more than 64 runs is merged in passes).
#ifndef PLOMET_ESTIMATOR_REPORTS_LISTINGSORT_H_
#define PLOMET_ESTIMATOR_REPORTS_LISTINGSORT_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

/// A run is sorted and spilled once its records hold this many bytes.
const std::size_t kListingRunBytes = std::size_t{4} << 20;

/// One sorted run in the scratch file.
struct ListingRunExtent {
  std::uint64_t nOffset = 0;
  std::uint64_t nBytes = 0;
};

struct ListingSort {
  std::size_t nRunBytes = kListingRunBytes;  // smaller in tests, to spill early
  std::string sScratchNear;  // the scratch file goes beside this file ("": the temporary folder)
  std::string sRecords;      // the current run's records, packed
  std::vector<std::size_t> offsets;  // where each record of the run starts in sRecords
  std::FILE* pScratch = nullptr;     // opened with the first spill, gone when closed
  std::uint64_t nScratchEnd = 0;
  std::vector<ListingRunExtent> runs;  // spilled, in the order written
  int nError = 0;                      // the first failure of the scratch file
};

/// Receives the records in order: the folder's path [pFolder, pFolder +
/// nFolder) and the object's line [pLine, pLine + nLine).
using ListingSink = void (*)(void* pContext, const char* pFolder, std::size_t nFolder,
                             const char* pLine, std::size_t nLine);

/// Starts a sort; the scratch file, if one is needed, is made beside the file
/// sNear, or in the system's temporary folder when sNear is "" or its folder
/// takes no file.
void startListingSort(ListingSort& sort, const std::string& sNear);

/// Adds one object: its folder, its name and its line. Spills the run when
/// it is full; a failure of the scratch file is kept in nError.
void addListingRecord(ListingSort& sort, const char* pFolder, std::size_t nFolder,
                      const char* pName, std::size_t nName, const char* pLine, std::size_t nLine);

/// Hands every record to the sink in the order of their folders' paths, byte
/// by byte, and within a folder of their names; then forgets them and closes
/// the scratch file. Returns 0, or the error number of the scratch file's
/// first failure (the sink then has not had every record).
int finishListingSort(ListingSort& sort, ListingSink sink, void* pContext);

#endif  // PLOMET_ESTIMATOR_REPORTS_LISTINGSORT_H_
