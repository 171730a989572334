// Which kind of listing -d reads, decided from the listing itself.
//
// The first lines are held, up to the first that only one kind writes
// (a line that begins with a date is the directory listing's; "total 12" or
// a mode and a count of links, ls's; a mode, a size and YYYY/MM/DD, rsync's;
// the banner or a tab-separated body line, robocopy's; a header of quoted
// column names, a CSV export's), at most kKindLookahead lines. A listing
// that shows no kind by then is a directory listing. The lines held are
// then handed out again in order, so that every line of a listing is read
// by its kind's rules alone, also from a pipe.
#ifndef PLOMET_ESTIMATOR_LISTINGKIND_H_
#define PLOMET_ESTIMATOR_LISTINGKIND_H_

#include <cstddef>
#include <string>

#include "sources/csvlisting.h"
#include "sources/entry.h"
#include "sources/lslisting.h"
#include "sources/reader.h"
#include "sources/robocopylog.h"
#include "sources/rsynclisting.h"

const int kKindUnknown = -1;
const int kKindDir = 0;  // the command shell's dir, the newer shell's table, find
const int kKindLs = 1;
const int kKindRobocopy = 2;
const int kKindCsv = 3;
const int kKindRsync = 4;

/// Lines held at most to decide the kind.
const int kKindLookahead = 64;

/// Returns the kind that a line of nLength bytes (followed by a NUL) shows,
/// or kKindUnknown when it could be more than one kind's.
int kindOfLine(const char* szLine, std::size_t nLength);

/// Returns the kind's name as reports give it: "directory listing", "ls
/// listing", "robocopy log", "CSV export" or "rsync listing".
const char* kindName(int nKind);

/// The lines held while the kind is undecided, copied, to be handed out
/// again: about 260 KiB, so a decision is allocated once, with its reader.
struct HeldLines {
  int nCount = 0;
  int nNext = 0;
  Piece aPieces[kKindLookahead];
  char aaText[kKindLookahead][kMaxLine + 1 + kPieceSlack];
  // The rest of each cut line held, kept when asked for: the reader passes
  // it over once the next line is read.
  bool bKeepRests = false;
  std::string asRest[kKindLookahead];
};

/// The decision's state, passed by its owner like the reader's.
struct KindDecision {
  bool bDecided = false;    // lines are no longer held
  bool bReplaying = false;  // the lines held are being handed out again
  int nKind = kKindDir;
  HeldLines held;
};

/// Starts deciding the kind of the listing that startReading began, or,
/// without bDecide, reads it as a listing of no other kind. With bKeepRests,
/// the rest of a cut line held is kept for readRestOfListingLine.
void startKindDecision(KindDecision& decision, bool bDecide = true, bool bKeepRests = false);

/// readRestOfLine for a piece that readListingPiece handed out: for a line
/// that was held, the rest kept when it was held (none unless bKeepRests).
void readRestOfListingLine(Reader& reader, const KindDecision& decision, const Piece& piece,
                           std::string& sRest);

/// Until the kind is decided, every line read is offered here: it is held
/// (copied), and when it shows the kind, or is the last that may be held,
/// the kind is decided and the lines held are handed out again by
/// readListingPiece. Returns true when the line was held: it is not to be
/// read now.
bool holdPiece(Reader& reader, KindDecision& decision, const Piece& piece);

/// Hands out the next line held, or at the listing's end, decides the kind
/// of a listing all of whose lines were held. Returns false when none is left.
bool replayPiece(KindDecision& decision, Piece& piece);

/// readPiece for a listing whose kind is decided by holdPiece: the lines
/// held come again, in order, once the kind is known.
inline bool readListingPiece(Reader& reader, KindDecision& decision, Piece& piece) {
  if (decision.bReplaying) return replayPiece(decision, piece);
  return readPiece(reader, piece) || (!decision.bDecided && replayPiece(decision, piece));
}

/// Returns the kind decided (kKindDir before).
inline int listingKind(const KindDecision& decision) { return decision.nKind; }

/// The state of the source of each kind but the directory listing's.
struct KindReader {
  int nKind = kKindUnknown;  // the kind started, or kKindUnknown before the first line
  LsListing ls;
  RobocopyLog robocopy;
  CsvListing csv;
  RsyncListing rsync;
};

/// Starts reading a listing of nKind, with the day that gives ls dates
/// written without a year their year. Without bDates and bFolders, the
/// sources that can leave the objects' dates and folders unread do.
void startKindReader(KindReader& reader, int nKind, const CivilDate& today, bool bDates = true,
                     bool bFolders = true);

/// Reads one line by the rules of the reader's kind. Returns true with the
/// entry when the line is an object that counts.
bool readKindLine(KindReader& reader, const Piece& piece, Entry& entry);

/// Returns the error that keeps the listing from being counted, or nullptr.
const char* kindError(const KindReader& reader);

#endif  // PLOMET_ESTIMATOR_LISTINGKIND_H_
