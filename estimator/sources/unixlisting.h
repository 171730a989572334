// Listings of Unix tools that name every object by its whole path: find,
// the parallel file systems' finders in its shape, tar and dwalk.
//
//   find -printf '%s %p\n', '%s %T@ %p\n' (and with '%y ' first: the type)
//        5120 1764490150.1234567890 /srv/share/docs/a.txt
//   find -ls, lfs find --ls, rbh-find -ls (whose first column is a FID)
//     5342402   8 -rw-r--r--   1 kim   staff   5120 Nov 30  2025 /srv/share/docs/a.txt
//   tar -tvf (GNU tar; BSD tar writes ls's shape, with 0 links)
//        -rw-r--r-- kim/staff   5120 2025-11-30 08:09 docs/a.txt
//        -rw-r--r--  0 kim   staff   5120 Nov 30  2025 docs/a.txt
//   dwalk --print, --text: sizes with a unit, rounded
//        -rw-r--r-- kim staff   5.000 KB Nov 30 2025 08:09 /srv/share/docs/a.txt
//
// A mode tells a file from the rest: folders are not counted; links,
// devices, FIFOs and sockets count as 0 bytes, as do tar's hard links
// ("h", "link to"), whose bytes the first name holds. find -printf without
// %y lists folders as objects too: a line whose path is the folder of the
// next line's is a folder, so each line is counted when the next is read
// (finishUnix counts the last). An empty folder cannot be told so.
#ifndef PLOMET_ESTIMATOR_UNIXLISTING_H_
#define PLOMET_ESTIMATOR_UNIXLISTING_H_

#include <cstddef>
#include <cstdint>

#include "sources/entry.h"
#include "sources/kindtext.h"
#include "sources/lslisting.h"

/// The tools whose listings are read.
const int kUnixFind = 0;
const int kUnixTar = 1;
const int kUnixDwalk = 2;

/// A line of find -printf waiting for the next, which tells whether it was
/// a folder.
struct PendingLine {
  bool bHeld = false;
  Entry entry;
  std::size_t nPath = 0;
  char szPath[kFolderRoom] = {};
};

struct UnixListing {
  int nTool = kUnixFind;
  CivilDate today;       // gives ls-style dates without a year theirs
  bool bEpochs = false;  // find -printf's lines hold %T@ after the size
  bool bLearnt = false;
  int nDateField = -1;             // the field after the mode where the last line's date began
  int nDateColumn = 0;             // where it began, from the line's start
  char acLastMode[12] = {};        // the last mode read, which most lines repeat
  int nLastMode = 0;               // its length; 0: none yet
  std::uint64_t nUnread = 0;       // lines in no shape of the tool's
  std::uint64_t nRounded = 0;      // sizes with a unit (dwalk)
  std::uint64_t nFolderGuess = 0;  // find -printf lines taken for folders by the next line
  std::uint64_t nErrors = 0;       // the tools' error lines (find:, tar:, lfs:)
  bool bStatedFiles = false;       // dwalk's "Files: N"
  std::uint64_t nStatedFiles = 0;
  bool bStatedBytes = false;  // dwalk's "Data: ... (N bytes)"
  std::uint64_t nStatedBytes = 0;
  std::uint64_t nFiles = 0;  // regular files counted, and their bytes and rounding
  std::uint64_t nBytes = 0;
  std::uint64_t nSlack = 0;
  bool bDates = true;
  bool bFolders = true;
  EpochZone zone;
  PendingLine pending;
  // The path of the first find -printf line read without a line held before
  // it: what settles a line held at the end of the text read before this
  // (settleHeldLine), when the listing is read in parts.
  bool bFirstPath = false;
  std::size_t nFirstPath = 0;  // its length, which may pass the room kept
  char szFirstPath[kFolderRoom + 1] = {};
  char szFolder[kFolderRoom] = {};
};

/// Starts reading a listing of the tool, on the given day.
void startUnix(UnixListing& listing, int nTool, const CivilDate& today);

/// Learns from the listing's first lines whether find -printf wrote the
/// time (%T@) after each size: when most of its lines show one.
void learnFindLayout(UnixListing& listing, const char* const* aszLines,
                     const std::size_t* anLengths, int nLines);

/// Reads one line of nLength bytes, followed by a NUL and kPieceSlack
/// readable bytes. Returns true with the entry for an object that counts
/// (for find -printf: the line before); its folder is a span into the
/// listing's state, valid until the next line.
bool readUnixLine(UnixListing& listing, const char* szLine, std::size_t nLength, Entry& entry);

/// After the last line: returns true with the entry of the line still held.
bool finishUnix(UnixListing& listing, Entry& entry);

/// For a listing read in parts, each part from a listing with no line held:
/// settles the find -printf line that `listing` (the parts before) holds by
/// the first such line of `next` (the part after), as the next line settles
/// it when the listing is read whole. Returns true with the held line's
/// entry when it counts (it was no folder); it is then no longer held.
bool settleHeldLine(UnixListing& listing, const UnixListing& next, Entry& entry);

/// Returns true when dwalk's totals disagree with what was counted (the
/// bytes by more than the rounding allows).
bool unixTotalsDiffer(const UnixListing& listing);

/// Return 1 when a line has the shape of one of the tool's lines; else 0.
int weighFindLine(const char* szLine, std::size_t nLength);
int weighTarLine(const char* szLine, std::size_t nLength);
int weighDwalkLine(const char* szLine, std::size_t nLength);

#endif  // PLOMET_ESTIMATOR_UNIXLISTING_H_
