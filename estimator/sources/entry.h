// One object found by a source of files, as the tallies take it.
//
// Every source (the directory listing, the schedule log, the other listing
// kinds, the scan of a folder tree) turns what it reads into entries; the
// class tallies, the folders, --since and the reports take entries and never
// ask where they came from. An entry lives on the stack for one line or one
// folder entry: its folder is a span into the source's own text, nothing is
// allocated for it.
#ifndef PLOMET_ESTIMATOR_ENTRY_H_
#define PLOMET_ESTIMATOR_ENTRY_H_

#include <cstddef>
#include <cstdint>

#include "sources/stamps.h"

/// What an object is. A link, a device, a FIFO or a socket is backed up as
/// an object of 0 bytes.
const int kEntryFile = 0;
const int kEntryLink = 1;
const int kEntrySpecial = 2;

struct Entry {
  std::uint64_t nSize = 0;  // bytes; 0 for links and special objects
  int nType = kEntryFile;
  // The folder the object lies in, not NUL-terminated; null when the source
  // names none (the folder is then the one its last header named, if any).
  const char* pFolder = nullptr;
  std::size_t nFolder = 0;
  // The modification time as written. A source that knows the order of its
  // dates writes them year first, so that both readings agree.
  LineStamp stamp;
};

#endif  // PLOMET_ESTIMATOR_ENTRY_H_
