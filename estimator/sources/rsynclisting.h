// Listings written by rsync --list-only (with -r, -a, -v and the like).
//
// An object's line is its mode, its size (digits, grouped by commas or
// not), its date YYYY/MM/DD, its time and its path below the source:
//
//   -rw-r--r--        120,000 2020/03/14 10:00:00 docs/old/report.pdf
//
// With -v, rsync adds lines of its own around them; the last says "total
// size is N": the bytes of the files and the length of each link's text.
// With -h, sizes of 1,000 bytes and more are rounded to three digits and a
// unit (1.50K, 4.10M: powers of 1,000; -hh writes powers of 1,024 in the same
// shape): they are read as powers of 1,000, and counted as rounded.
#ifndef PLOMET_ESTIMATOR_RSYNCLISTING_H_
#define PLOMET_ESTIMATOR_RSYNCLISTING_H_

#include <cstddef>
#include <cstdint>

#include "sources/entry.h"
#include "sources/kindtext.h"

struct RsyncListing {
  std::uint64_t nBytes = 0;      // files' bytes and links' text lengths counted
  bool bTotal = false;           // a "total size is" line was read
  std::uint64_t nStated = 0;     // its number, added up over several runs
  std::uint64_t nErrors = 0;     // lines rsync wrote about what it could not read
  std::uint64_t nUnread = 0;     // object lines whose size or date was not found
  std::uint64_t nRounded = 0;    // files whose size was rounded (-h)
  bool bFolders = true;          // give each entry its folder
  char szFolder[kFolderRoom] = {};  // the last entry's folder
};

/// Starts reading a listing.
void startRsync(RsyncListing& rsync);

/// Reads one line of nLength bytes, followed by a NUL and kPieceSlack
/// readable bytes, as the reader hands lines out. Returns true with
/// the entry for an object that counts (anything but a folder); its folder
/// ("." and the path's directory) is a span into rsync's state.
bool readRsyncLine(RsyncListing& rsync, const char* szLine, std::size_t nLength, Entry& entry);

#endif  // PLOMET_ESTIMATOR_RSYNCLISTING_H_
