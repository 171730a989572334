// The JSON exports of the disk-usage tools ncdu (ncdu -o FILE) and gdu
// (gdu -o FILE), which share one format, read as a stream.
//
// The export is one JSON array: the format's major and minor version, an
// object about the run (progname, progver, timestamp), then the tree. A
// folder is an array whose first element is its own object and whose other
// elements are its entries: objects for files, arrays for folders. An
// object names its entry (name: the root's path, then one part of a path
// each) and gives its apparent size (asize: the one counted; dsize, the
// disk's, is not), and leaves out every member that is 0 or false:
//
//   [1,2,{"progname":"ncdu","progver":"1.18","timestamp":1796802381},
//   [{"name":"/srv/share","asize":4096},
//   {"name":"report.pdf","asize":120000,"mtime":1710428523},
//   [{"name":"media"},{"name":"pipe","notreg":true}]]]
//
// Counted is what the scan counts: a regular file with its size, anything
// that is not (notreg: a link, a device, a FIFO, a socket; gdu writes FIFOs
// and devices without sizes) as 0 bytes, each name of a hard link (hlnkc,
// ino) with its size, folders not at all. An entry that was excluded
// (excluded: by a pattern, another file system, ...) or could not be read
// (read_error) is not counted, and is warned of. The modification time
// (mtime, Unix seconds: gdu always, ncdu only with -e; ncdu writes -1 as
// 2^64 - 1) gives --since its date, and the nesting gives --top its folders.
//
// An export may be hundreds of megabytes on one line: it is fed in blocks
// of any size and read through jsonpull, so memory stays the same (a name
// is kept up to kMaxNcduName bytes, a folder's path to the deepest one).
#ifndef PLOMET_ESTIMATOR_SOURCES_NCDUEXPORT_H_
#define PLOMET_ESTIMATOR_SOURCES_NCDUEXPORT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sources/entry.h"
#include "sources/epoch.h"
#include "sources/jsonpull.h"

/// The bytes of a name kept: names longer than this (none a file system
/// makes) are cut, which only --top's folders and the echo show.
const std::size_t kMaxNcduName = 65536;

/// What an object's members tell of its entry.
struct NcduFields {
  bool bSizeRead = false;
  std::uint64_t nSize = 0;   // asize
  bool bBadSize = false;     // an asize that is no size
  bool bNotRegular = false;  // notreg
  bool bExcluded = false;    // excluded
  bool bReadError = false;   // read_error
  bool bTime = false;        // mtime
  std::int64_t nTime = 0;
};

/// An entry's plain object read ahead in a block, at its offset there.
struct NcduAheadEntry {
  std::size_t nStart = 0;  // its '{'
  std::size_t nEnd = 0;    // just past its '}'
  NcduFields fields;
};

/// The plain objects of a block of an export read ahead, on another thread
/// than the export's reading (readNcduAhead), in the order they lie.
struct NcduAhead {
  static const std::size_t kMaxEntries = 4096;  // the rest of a block is read in turn
  const char* pText = nullptr;                  // the block
  std::size_t nText = 0;
  std::vector<NcduAheadEntry> entries;  // kMaxEntries once started
  std::size_t nEntries = 0;
  JsonMember aMembers[kMaxPlainMembers];
};

struct NcduExport {
  JsonPull json;
  JsonMember aPlain[kMaxPlainMembers];  // an entry's members, read at once
  bool bDates = true;                   // give the entries their modification times
  bool bEntryNames = true;              // keep the entries' names, for the echo

  // Where the reading stands: before an export's array, in its first
  // elements (the versions and the run's object), in its tree, or after it.
  int nPlace = 0;
  int nTopIndex = 0;         // elements of the export's array begun so far
  int nSkipDepth = -1;       // >= 0: a value passed over, until it closes at this depth
  bool bFolderNext = false;  // a folder's array opened: its own object comes next
  int nTreeDepth = 0;        // the depth of the root folder's array

  // The object being read: the run's, a folder's own, or an entry's.
  bool bInObject = false;
  int nObject = 0;
  int nKey = 0;                // the member whose value comes next
  bool bKeyContinues = false;  // the last piece of a key had more after it
  NcduFields fields;
  std::string sName;  // the name, up to kMaxNcduName bytes
  // The entries of the block fed last read ahead, or null (useNcduAhead).
  const NcduAhead* pAhead = nullptr;
  std::size_t nAheadNext = 0;  // the first of them not passed yet

  // The folders open: the path of the innermost ("/srv/share/media"), and
  // its length before each folder's own part.
  std::string sPath;
  std::vector<std::size_t> aLevels;
  LocalOffsetCache offsets;

  // What was read.
  int nExports = 0;               // exports begun
  char szProgram[16] = {};        // the first export's progname, such as "gdu"
  std::uint64_t nObjects = 0;     // entries counted
  std::uint64_t nExcluded = 0;    // entries excluded when the export was made
  std::uint64_t nReadErrors = 0;  // entries (mostly folders) that could not be read then
  std::uint64_t nUnread = 0;      // entries whose asize is no size
  std::uint64_t nUndated = 0;     // files counted without a readable mtime
  bool bEnded = false;            // the stream ended, or the reading stopped
  bool bEndedEarly = false;       // the stream ended inside the export
  std::uint64_t nLength = 0;      // the stream's bytes, once it ended
  bool bFailed = false;           // the stream is no export that can be read
  char szError[200] = {};         // and why
};

/// Starts reading an export; without bDates, its times are not read.
void startNcdu(NcduExport& ncdu, bool bDates = true);

/// Hands over the next n bytes of the export: at the start, and then each
/// time nextNcduEntry returned false while the stream goes on. They must
/// stay as they are until then.
void feedNcdu(NcduExport& ncdu, const char* p, std::size_t n);

/// Tells that no bytes follow those fed last.
void endNcdu(NcduExport& ncdu);

/// Reads on to the next entry that counts. Returns true with it (its folder
/// a span of the export's state, valid until the next call); false when the
/// bytes fed are used up, or the export ended or cannot be read (ncduError).
bool nextNcduEntry(NcduExport& ncdu, Entry& entry);

/// Reads ahead the plain objects that begin in the first nUpTo of the n
/// bytes at p, a block of an export that will be fed whole: where one
/// begins, at any '{', what its members tell (an offset that the export's
/// reading never reaches is never looked at). The others are read in turn.
void readNcduAhead(const char* p, std::size_t n, std::size_t nUpTo, NcduAhead& ahead);

/// The objects of the block fed next read ahead (readNcduAhead on the same
/// bytes), or null once the block is used up: the entries whose objects
/// they are are taken from them, and not read again. Not with the names of
/// the entries kept (bEntryNames).
void useNcduAhead(NcduExport& ncdu, const NcduAhead* pAhead);

/// Returns the name of the entry handed out last, kept up to kMaxNcduName
/// bytes, for the echo.
inline const std::string& ncduEntryName(const NcduExport& ncdu) { return ncdu.sName; }

/// Returns nullptr, or why the stream is no export that can be read: "the
/// ncdu export cannot be read at byte 1234: expected ',' or ']' after an
/// element".
const char* ncduError(const NcduExport& ncdu);

/// Returns true when the first line of a listing, nLength bytes and a NUL,
/// opens an export: '[' the major version 1, the minor version, and the
/// run's object with its progname.
bool isNcduHeader(const char* szLine, std::size_t nLength);

#endif  // PLOMET_ESTIMATOR_SOURCES_NCDUEXPORT_H_
