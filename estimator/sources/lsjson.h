// Listings written by rclone lsjson (with -R, and any of its options): a
// JSON array with one object a line.
//
//   [
//   {"Path":"docs/report.pdf","Name":"report.pdf","Size":120000,
//    "MimeType":"application/pdf","ModTime":"2024-03-14T15:02:03.000000000Z","IsDir":false},
//   {"Path":"docs","Name":"docs","Size":-1,"MimeType":"inode/directory",...,"IsDir":true}
//   ]
//
// (each object on one line). Each line's object is read on its own through
// jsonpull: IsDir true is a folder, not counted; any other object a file of
// Size bytes, or of 0 bytes when its size is not known (-1, as for files a
// store makes on the fly), counted and warned of. ModTime (RFC 3339, "" with
// --no-modtime) gives --since its date, Path (below the root listed, '/'
// between its parts) --top its folder. Members added by options (Hashes,
// Metadata, ID, Tier, ...) are passed over. rclone lists symbolic links and
// special files not at all (without -L or -l): they are not in the list.
//
// rclone stopped, or its output cut off, leaves the array open, or its last
// object cut: what was read counts, and the list is said to end early.
#ifndef PLOMET_ESTIMATOR_SOURCES_LSJSON_H_
#define PLOMET_ESTIMATOR_SOURCES_LSJSON_H_

#include <cstddef>
#include <cstdint>

#include "sources/entry.h"
#include "sources/epoch.h"
#include "sources/jsonpull.h"
#include "sources/kindtext.h"

struct LsJson {
  JsonPull json;  // restarted for each line
  bool bDates = true;
  bool bFolders = true;
  std::uint64_t nOpened = 0;       // lines that open the array
  std::uint64_t nClosed = 0;       // lines that close it
  std::uint64_t nFolders = 0;      // objects that are folders
  std::uint64_t nUnknownSize = 0;  // files counted as 0 bytes: Size -1, or none
  std::uint64_t nUnread = 0;       // lines that hold no object that can be read
  std::uint64_t nLong = 0;         // of them, lines longer than the reader's kMaxLine
  std::uint64_t nUndated = 0;      // files without a ModTime that can be read (with bDates)
  bool bLastCut = false;           // the last line read holds an object cut short
  LocalOffsetCache offsets;
  char szFolder[kFolderRoom] = {};  // the last entry's folder
};

/// Starts reading a listing; without bDates and bFolders, the objects'
/// times and folders are left unread.
void startLsJson(LsJson& lsjson, bool bDates = true, bool bFolders = true);

/// Reads one line of nLength bytes, followed by a NUL and kPieceSlack
/// readable bytes, as the reader hands lines out; bCut when the reader cut it
/// at kMaxLine. Returns true with the entry for an object that counts (any
/// but a folder); its folder is a span into the state.
bool readLsJsonLine(LsJson& lsjson, const char* szLine, std::size_t nLength, bool bCut,
                    Entry& entry);

/// Returns true when the list ended early: its array was opened and not
/// closed, or its last line holds an object cut short.
bool lsJsonEndedEarly(const LsJson& lsjson);

/// Returns how a line of nLength bytes (and a NUL) shows the kind after
/// nBefore lines that are not blank: the array's opening line "[" as the
/// first, half a header's weight; a line that begins {"Path": right after
/// it, the other half; anywhere else, 1. Else 0.
int lsJsonWeight(const char* szLine, std::size_t nLength, int nBefore, int nHeaderWeight);

#endif  // PLOMET_ESTIMATOR_SOURCES_LSJSON_H_
