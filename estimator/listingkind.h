// Which kind of listing -d reads, decided from the listing itself.
//
// The first lines are read ahead, up to the first that only one kind writes
// (a line that begins with a date is the directory listing's; "total 12" or
// a mode and a count of links, ls's; a mode, a size and YYYY/MM/DD, rsync's;
// the banner or a tab-separated body line, robocopy's; a header of quoted
// column names, a CSV export's), at most kKindLookahead lines. A listing
// that shows no kind by then is a directory listing. The lines read ahead
// are then handed out in order, so that every line of a listing is read by
// its kind's rules alone, also from a pipe.
#ifndef PLOMET_ESTIMATOR_LISTINGKIND_H_
#define PLOMET_ESTIMATOR_LISTINGKIND_H_

#include <cstddef>

#include "csvlisting.h"
#include "entry.h"
#include "lslisting.h"
#include "reader.h"
#include "robocopylog.h"
#include "rsynclisting.h"

const int kKindUnknown = -1;
const int kKindDir = 0;  // the command shell's dir, the newer shell's table, find
const int kKindLs = 1;
const int kKindRobocopy = 2;
const int kKindCsv = 3;
const int kKindRsync = 4;

/// Lines read ahead at most to decide the kind.
const int kKindLookahead = 64;

/// Returns the kind that a line of nLength bytes (followed by a NUL) shows,
/// or kKindUnknown when it could be more than one kind's.
int kindOfLine(const char* szLine, std::size_t nLength);

/// Returns the kind's name as reports give it: "directory listing", "ls
/// listing", "robocopy log", "CSV export" or "rsync listing".
const char* kindName(int nKind);

/// Starts deciding the kind of the listing that startReading began.
void startKindDecision();

/// readPiece for a listing whose kind is to be decided: the first call reads
/// ahead and decides; then the lines are handed out in order.
bool readListingPiece(Piece& piece);

/// Returns the kind decided by the first readListingPiece (kKindDir before).
int listingKind();

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

/// Writes the warnings of the reader's kind.
void warnKind(const KindReader& reader);

#endif  // PLOMET_ESTIMATOR_LISTINGKIND_H_
