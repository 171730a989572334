// Listings written by rclone: ls, lsl and lsf.
//
//   rclone ls       the size right-aligned in nine columns, a blank, the path
//        5120 docs/notes.txt
//   rclone lsl      the same with the date and time (to the nanosecond)
//        5120 2026-11-30 08:09:10.000000000 docs/notes.txt
//   rclone lsf -R   the fields that --format names, in its order, with ';'
//                   (or the --separator given, or ',' and quotes with --csv)
//                   between them; folders end in '/' and have the size -1
//        2026-11-30 08:09:10;5120;docs/notes.txt
//
// rclone lists regular files only: it skips links and special files (with
// a NOTICE on standard error) and lists each name of a hard link with the
// whole size. With --human-readable, ls and lsl write sizes of 1 KiB and
// more as 1.431Mi or 5Ki (powers of 1,024); the ones with a fraction are
// rounded.
//
// The layout of lsf (the separator, and which field is the size, the path
// and the time) is learnt from the listing's first lines, not from one line:
// the separator may stand in paths, and a path that holds it is recovered
// from the fields around it. "rclone size" appended to a listing gives its
// totals, which are checked.
#ifndef PLOMET_ESTIMATOR_RCLONELISTING_H_
#define PLOMET_ESTIMATOR_RCLONELISTING_H_

#include <cstddef>
#include <cstdint>

#include "sources/entry.h"
#include "sources/kindtext.h"

/// The room for lsf's separator.
const std::size_t kRcloneSeparatorRoom = 16;

/// The layout of an lsf listing: its separator, its number of fields and
/// where the size, the time and the path stand (-1: not there).
struct RcloneLayout {
  bool bLsf = false;  // false: ls or lsl
  char szSeparator[kRcloneSeparatorRoom] = ";";
  std::size_t nSeparator = 1;
  bool bCsv = false;  // fields may be quoted, quotes doubled
  int nFields = 0;
  int nSize = -1;
  int nTime = -1;
  int nPath = -1;
};

struct RcloneListing {
  RcloneLayout layout;
  bool bLearnt = false;        // the layout was learnt
  std::uint64_t nUnread = 0;   // lines that are none of rclone's
  std::uint64_t nRounded = 0;  // sizes with a fraction (--human-readable)
  std::uint64_t nErrors = 0;   // ERROR lines of rclone among the listing
  std::uint64_t nSkipped = 0;  // NOTICE lines that name an object rclone left out
  std::uint64_t nFiles = 0;    // files counted, and their bytes, for rclone size's totals
  std::uint64_t nBytes = 0;
  bool bStatedFiles = false;  // "Total objects: N" was read
  std::uint64_t nStatedFiles = 0;
  bool bStatedBytes = false;  // "Total size: ... (N Byte)" was read
  std::uint64_t nStatedBytes = 0;
  bool bDates = true;    // give each entry its date
  bool bFolders = true;  // and its folder
  char szFolder[kFolderRoom] = {};
};

/// Starts reading a listing.
void startRclone(RcloneListing& rclone);

/// Learns the layout from the first lines of the listing (nLines of them,
/// each followed by a NUL and kPieceSlack readable bytes), before the first
/// is read: the one that most of them read in.
void learnRcloneLayout(RcloneListing& rclone, const char* const* aszLines,
                       const std::size_t* anLengths, int nLines);

/// Reads one line of nLength bytes, followed by a NUL and kPieceSlack
/// readable bytes. Returns true with the entry for a file; its folder is a
/// span into rclone's state, valid until the next line.
bool readRcloneLine(RcloneListing& rclone, const char* szLine, std::size_t nLength, Entry& entry);

/// Returns 1 when a line has the shape of a line of rclone ls, lsl or lsf, or
/// of rclone's own messages and totals; else 0.
int weighRcloneLine(const char* szLine, std::size_t nLength);

/// Returns true when a line begins as lsf writes its time first: the date
/// and time to the second, then a separator with a byte other than a blank
/// in it (";", " | "). Such a line may also have the shape of a directory
/// listing's file line, but is none.
bool isRcloneTimeFirstLine(const char* szLine, std::size_t nLength);

#endif  // PLOMET_ESTIMATOR_RCLONELISTING_H_
