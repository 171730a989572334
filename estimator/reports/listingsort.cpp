#include "reports/listingsort.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#else
#include <unistd.h>
#endif

namespace {

// A record: the lengths of its folder, name and line (4 bytes each), then
// their bytes.
const std::size_t kRecordHead = 12;
const std::size_t kFanIn = 64;                             // runs merged at once
const std::size_t kMergeBuffer = std::size_t{64} * 1024;   // read ahead of each run
const std::size_t kWriteBuffer = std::size_t{256} * 1024;  // written at once when merging in passes

struct Record {
  const char* pFolder;
  std::size_t nFolder;
  const char* pName;
  std::size_t nName;
  const char* pLine;
  std::size_t nLine;
};

Record readRecord(const char* p) {
  std::uint32_t anLength[3];
  std::memcpy(anLength, p, sizeof anLength);
  Record r;
  r.pFolder = p + kRecordHead;
  r.nFolder = anLength[0];
  r.pName = r.pFolder + r.nFolder;
  r.nName = anLength[1];
  r.pLine = r.pName + r.nName;
  r.nLine = anLength[2];
  return r;
}

std::size_t recordSize(const char* p) {
  Record r = readRecord(p);
  return kRecordHead + r.nFolder + r.nName + r.nLine;
}

// Byte order, a shorter text before a longer one that begins with it.
int compareBytes(const char* pA, std::size_t nA, const char* pB, std::size_t nB) {
  int n = std::min(nA, nB) == 0 ? 0 : std::memcmp(pA, pB, std::min(nA, nB));
  if (n != 0) return n;
  return nA < nB ? -1 : (nA > nB ? 1 : 0);
}

// By folder, then name; the line decides between records otherwise alike,
// so that the order is the same whatever order they came in.
bool recordBefore(const char* pA, const char* pB) {
  Record a = readRecord(pA);
  Record b = readRecord(pB);
  int n = compareBytes(a.pFolder, a.nFolder, b.pFolder, b.nFolder);
  if (n == 0) n = compareBytes(a.pName, a.nName, b.pName, b.nName);
  if (n == 0) n = compareBytes(a.pLine, a.nLine, b.pLine, b.nLine);
  return n < 0;
}

bool seekTo(std::FILE* pFile, std::uint64_t nOffset) {
#ifdef _WIN32
  return _fseeki64(pFile, static_cast<__int64>(nOffset), SEEK_SET) == 0;
#else
  return fseeko(pFile, static_cast<off_t>(nOffset), SEEK_SET) == 0;
#endif
}

int lastError() { return errno != 0 ? errno : EIO; }

// Makes a scratch file beside the file sNear (or in the temporary folder,
// for ""), which no folder shows once it is open, so that nothing is left
// behind however the run ends.
std::FILE* openScratchNear(const std::string& sNear) {
#ifdef _WIN32
  std::string sBase = sNear;
  if (sBase.empty()) {
    const char* szTemp = std::getenv("TEMP");
    sBase = std::string(szTemp != nullptr ? szTemp : ".") + "\\plomet";
  }
  for (unsigned n = 0; n < 1000; n++) {
    std::string sName = sBase + ".sort-" + std::to_string(_getpid()) + "-" + std::to_string(n);
    int fd = _open(sName.c_str(), _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY | _O_TEMPORARY,
                   _S_IREAD | _S_IWRITE);
    if (fd >= 0) {
      std::FILE* pFile = _fdopen(fd, "w+b");
      if (pFile == nullptr) _close(fd);
      return pFile;
    }
    if (errno != EEXIST) return nullptr;
  }
  return nullptr;
#else
  std::string sName = sNear;
  if (sName.empty()) {
    const char* szTemp = std::getenv("TMPDIR");
    sName = std::string(szTemp != nullptr && *szTemp != '\0' ? szTemp : "/tmp") + "/plomet";
  }
  sName += ".sort-XXXXXX";
  int fd = mkstemp(&sName[0]);
  if (fd < 0) return nullptr;
  unlink(sName.c_str());
  std::FILE* pFile = fdopen(fd, "w+b");
  if (pFile == nullptr) close(fd);
  return pFile;
#endif
}

// The scratch file beside the listing, where the listing's own disk holds
// it; where that folder takes no file (the listing is a device such as
// /dev/null, or a pipe), in the temporary folder.
std::FILE* openScratch(const std::string& sNear) {
  std::FILE* pFile = openScratchNear(sNear);
  if (pFile == nullptr && !sNear.empty()) pFile = openScratchNear("");
  return pFile;
}

void sortRun(ListingSort& sort) {
  const char* pBase = sort.sRecords.data();
  std::sort(sort.offsets.begin(), sort.offsets.end(),
            [pBase](std::size_t a, std::size_t b) { return recordBefore(pBase + a, pBase + b); });
}

void clearRun(ListingSort& sort) {
  sort.sRecords.clear();
  sort.offsets.clear();
}

// Sorts the run in memory and appends it to the scratch file.
void spill(ListingSort& sort) {
  if (sort.nError == 0 && sort.pScratch == nullptr) {
    sort.pScratch = openScratch(sort.sScratchNear);
    if (sort.pScratch == nullptr) sort.nError = lastError();
  }
  if (sort.nError == 0) {
    sortRun(sort);
    ListingRunExtent run;
    run.nOffset = sort.nScratchEnd;
    run.nBytes = sort.sRecords.size();
    bool bWritten = seekTo(sort.pScratch, run.nOffset);
    for (std::size_t nAt : sort.offsets) {
      const char* p = sort.sRecords.data() + nAt;
      std::size_t nSize = recordSize(p);
      bWritten = bWritten && std::fwrite(p, 1, nSize, sort.pScratch) == nSize;
    }
    if (bWritten) {
      sort.runs.push_back(run);
      sort.nScratchEnd += run.nBytes;
    } else {
      sort.nError = lastError();
    }
  }
  clearRun(sort);  // a failed run is dropped: memory stays bounded
}

// One run being merged: the part of it read ahead, and where the rest is.
struct Cursor {
  std::uint64_t nNext = 0;  // the scratch file's offset of the bytes not yet read
  std::uint64_t nEnd = 0;
  std::string sBuffer;
  std::size_t nAt = 0;  // the current record in sBuffer
};

// Makes nBytes of the run readable at nAt. Returns false after a failure.
bool fill(ListingSort& sort, Cursor& c, std::size_t nBytes) {
  std::size_t nHave = c.sBuffer.size() - c.nAt;
  if (nHave >= nBytes) return true;
  c.sBuffer.erase(0, c.nAt);
  c.nAt = 0;
  std::uint64_t nWant = std::max(nBytes, kMergeBuffer) - nHave;
  nWant = std::min(nWant, c.nEnd - c.nNext);
  if (nHave + nWant < nBytes) {
    sort.nError = EIO;  // a run ends inside a record: the file was changed under us
    return false;
  }
  std::size_t nOld = c.sBuffer.size();
  c.sBuffer.resize(nOld + static_cast<std::size_t>(nWant));
  if (!seekTo(sort.pScratch, c.nNext) ||
      std::fread(&c.sBuffer[nOld], 1, static_cast<std::size_t>(nWant), sort.pScratch) != nWant) {
    sort.nError = lastError();
    return false;
  }
  c.nNext += nWant;
  return true;
}

// Reads the cursor's next record whole. Returns false at the run's end or
// after a failure.
bool nextRecord(ListingSort& sort, Cursor& c) {
  if (c.nAt == c.sBuffer.size() && c.nNext == c.nEnd) return false;
  if (!fill(sort, c, kRecordHead)) return false;
  return fill(sort, c, recordSize(c.sBuffer.data() + c.nAt));
}

// Merges runs [nFirst, nLast), handing each record to emit in order.
// Returns false after a failure (sort.nError).
template <typename Emit>
bool mergeRuns(ListingSort& sort, std::size_t nFirst, std::size_t nLast, Emit emit) {
  std::vector<Cursor> cursors(nLast - nFirst);
  std::vector<std::size_t> heap;
  for (std::size_t i = 0; i < cursors.size(); i++) {
    cursors[i].nNext = sort.runs[nFirst + i].nOffset;
    cursors[i].nEnd = cursors[i].nNext + sort.runs[nFirst + i].nBytes;
    if (nextRecord(sort, cursors[i])) heap.push_back(i);
  }
  // The heap's top is the cursor whose record comes first.
  auto after = [&cursors](std::size_t a, std::size_t b) {
    return recordBefore(cursors[b].sBuffer.data() + cursors[b].nAt,
                        cursors[a].sBuffer.data() + cursors[a].nAt);
  };
  std::make_heap(heap.begin(), heap.end(), after);
  while (!heap.empty() && sort.nError == 0) {
    std::pop_heap(heap.begin(), heap.end(), after);
    Cursor& c = cursors[heap.back()];
    const char* p = c.sBuffer.data() + c.nAt;
    std::size_t nSize = recordSize(p);
    emit(p, nSize);
    c.nAt += nSize;
    if (nextRecord(sort, c)) {
      std::push_heap(heap.begin(), heap.end(), after);
    } else {
      heap.pop_back();
    }
  }
  return sort.nError == 0;
}

// Merges the first kFanIn runs into one, written at the scratch file's end.
void mergePass(ListingSort& sort) {
  ListingRunExtent merged;
  merged.nOffset = sort.nScratchEnd;
  std::string sOut;
  auto write = [&sort, &sOut, &merged]() {
    if (sort.nError == 0 &&
        (!seekTo(sort.pScratch, merged.nOffset + merged.nBytes) ||
         std::fwrite(sOut.data(), 1, sOut.size(), sort.pScratch) != sOut.size())) {
      sort.nError = lastError();
    }
    merged.nBytes += sOut.size();
    sOut.clear();
  };
  mergeRuns(sort, 0, kFanIn, [&sOut, &write](const char* p, std::size_t nSize) {
    sOut.append(p, nSize);
    if (sOut.size() >= kWriteBuffer) write();
  });
  write();
  sort.nScratchEnd += merged.nBytes;
  sort.runs.erase(sort.runs.begin(), sort.runs.begin() + kFanIn);
  sort.runs.push_back(merged);
}

void emitRecord(ListingSink sink, void* pContext, const char* p) {
  Record r = readRecord(p);
  sink(pContext, r.pFolder, r.nFolder, r.pLine, r.nLine);
}

}  // namespace

void startListingSort(ListingSort& sort, const std::string& sNear) {
  sort.sScratchNear = sNear;
  clearRun(sort);
  sort.runs.clear();
  sort.nScratchEnd = 0;
  sort.nError = 0;
}

void addListingRecord(ListingSort& sort, const char* pFolder, std::size_t nFolder,
                      const char* pName, std::size_t nName, const char* pLine, std::size_t nLine) {
  const std::uint32_t anLength[3] = {static_cast<std::uint32_t>(nFolder),
                                     static_cast<std::uint32_t>(nName),
                                     static_cast<std::uint32_t>(nLine)};
  // The run's memory is taken once, at its size: grown by doubling, a full
  // run would hold twice as much.
  if (sort.sRecords.capacity() < sort.nRunBytes && sort.nRunBytes < (std::size_t{1} << 30)) {
    sort.sRecords.reserve(sort.nRunBytes + kRecordHead + nFolder + nName + nLine);
  }
  sort.offsets.push_back(sort.sRecords.size());
  sort.sRecords.append(reinterpret_cast<const char*>(anLength), sizeof anLength);
  sort.sRecords.append(pFolder, nFolder);
  sort.sRecords.append(pName, nName);
  sort.sRecords.append(pLine, nLine);
  if (sort.sRecords.size() >= sort.nRunBytes) spill(sort);
}

int finishListingSort(ListingSort& sort, ListingSink sink, void* pContext) {
  if (sort.pScratch == nullptr && sort.nError == 0) {  // it all fitted in one run
    sortRun(sort);
    for (std::size_t nAt : sort.offsets) emitRecord(sink, pContext, sort.sRecords.data() + nAt);
  } else {
    if (!sort.offsets.empty()) spill(sort);
    while (sort.nError == 0 && sort.runs.size() > kFanIn) mergePass(sort);
    if (sort.nError == 0) {
      mergeRuns(sort, 0, sort.runs.size(),
                [sink, pContext](const char* p, std::size_t) { emitRecord(sink, pContext, p); });
    }
  }
  if (sort.pScratch != nullptr) std::fclose(sort.pScratch);
  sort.pScratch = nullptr;
  std::string().swap(sort.sRecords);
  std::vector<std::size_t>().swap(sort.offsets);
  sort.runs.clear();
  return sort.nError;
}
