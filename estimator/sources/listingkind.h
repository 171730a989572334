// Which kind of listing -d reads, decided from the listing itself on
// evidence, or named by --kind.
//
// The kinds are a table (kKindRows): a row per kind gives its --kind name,
// its name in the reports, how a line shows it and the source that reads
// it. While the kind is undecided, every line is held (copied) and each
// kind weighs it: a header in its own place and shape (a CSV export's column
// names on its first line, robocopy's banner right after a line of dashes,
// "total N" opening an ls listing) weighs kHeaderWeight; a body line that
// reads in that kind (a file line of dir, a mode line of ls, rsync's mode,
// size and YYYY/MM/DD, robocopy's tab-separated class, size and name, a row
// of quoted fields) weighs 1. The kind is chosen as soon as one leads every
// other by kHeaderWeight; when kKindLookahead lines are held, or the
// listing ends first, the kind that weighs most is chosen if it weighs at
// least kMinEvidence and more than any other, else the directory listing.
// So no single line decides a kind but a header in its place. The lines
// held are then handed out again in order, so that every line of a listing
// is read by its kind's rules alone, also from a pipe.
//
// The exports of other tools show the same way: an ncdu or gdu export by
// its first line ('[', the version 1, the run's object with its progname),
// which weighs kHeaderWeight; rclone lsjson by its "[" line first and a line
// that begins {"Path": next, each half of it (any other such line weighs 1).
// An export of ncdu or gdu is a stream kind: its source takes the text from
// the line it was decided on to the end at once (isStreamKind).
#ifndef PLOMET_ESTIMATOR_LISTINGKIND_H_
#define PLOMET_ESTIMATOR_LISTINGKIND_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "sources/bucketlisting.h"
#include "sources/csvlisting.h"
#include "sources/entry.h"
#include "sources/lsjson.h"
#include "sources/lslisting.h"
#include "sources/ncduexport.h"
#include "sources/rclonelisting.h"
#include "sources/reader.h"
#include "sources/robocopylog.h"
#include "sources/rsynclisting.h"
#include "sources/unixlisting.h"

/// The kinds: each is its row in kKindRows.
const int kKindUnknown = -1;
const int kKindDir = 0;  // the command shell's dir, the newer shell's table
const int kKindLs = 1;
const int kKindRobocopy = 2;
const int kKindCsv = 3;
const int kKindRsync = 4;
const int kKindFind = 5;  // find -printf and -ls; in dir's shape, read by dir's rules
const int kKindLog = 6;   // the schedule log: what -l reads
// The exports of other tools.
const int kKindNcdu = 7;    // ncdu's and gdu's JSON export: a stream, not lines
const int kKindLsJson = 8;  // rclone lsjson: a JSON object a line
// The lists that other tools make, line by line.
const int kKindRclone = 9;
const int kKindS3 = 10;
const int kKindMc = 11;
const int kKindGsutil = 12;
const int kKindAzcopy = 13;
const int kKindTar = 14;
const int kKindDwalk = 15;
const int kKinds = 16;

/// Lines held at most to decide the kind.
const int kKindLookahead = 64;
/// What a header in its own place and shape weighs, and the lead that decides.
const int kHeaderWeight = 8;
/// The least weight that chooses a kind other than dir when no kind leads.
const int kMinEvidence = 2;

/// What the lines before a line show, for the weighing of headers.
struct LinePlace {
  int nBefore = 0;             // lines that were not blank
  bool bAfterDashes = false;   // the last of them is a line of dashes
  bool bAfterPreamble = true;  // all of them are a CSV export's #TYPE or sep= lines
};

struct KindReader;
struct HeldLines;

/// What starts a kind's source: the day that gives ls dates written without
/// a year their year, and whether the entries need their dates and folders.
struct KindStart {
  CivilDate today;
  bool bDates = true;
  bool bFolders = true;
  // The listing's first lines, held while its kind was decided, for the
  // kinds that learn their layout from them (rclone lsf, find -printf); null
  // when none were held.
  const HeldLines* pHeld = nullptr;
};

/// A row of the table of kinds.
struct KindRow {
  const char* szOption;  // its name after --kind=
  const char* szName;    // its name in the reports and input.kind
  int nReadAs;           // the kind whose source reads it
  /// Returns the evidence for the kind that a line of nLength bytes (a NUL
  /// and kPieceSlack bytes after it) gives at its place; nullptr for a kind
  /// that is never decided, only named.
  int (*weigh)(const char* szLine, std::size_t nLength, const LinePlace& place);
  /// Starts the kind's source, and reads a line by its rules (returns true
  /// with the entry for an object that counts); nullptr for the kinds that
  /// the core reads.
  void (*start)(KindReader& reader, const KindStart& start);
  bool (*read)(KindReader& reader, const Piece& piece, Entry& entry);
};
extern const KindRow kKindRows[kKinds];

/// Returns true when the kind's source reads the listing's text as one
/// stream (an export of nested JSON, on one line or many) rather than line by
/// line: its first line, and whatever follows it, go to that source at once.
inline bool isStreamKind(int nKind) { return nKind == kKindNcdu; }

/// Returns the kind whose --kind name is szOption, or kKindUnknown.
int kindOfOption(const char* szOption);

/// Returns the --kind names, as "dir, log, ls, ...", for messages.
std::string kindOptionNames();

/// Returns the kind that a line of nLength bytes (followed by a NUL) shows
/// when it is a listing's first line, or kKindUnknown when it shows none or
/// more than one.
int kindOfLine(const char* szLine, std::size_t nLength);

/// Returns the kind's name as reports give it: "directory listing", "ls
/// listing", "robocopy log", "CSV export", "rsync listing", "find listing",
/// "schedule log".
const char* kindName(int nKind);

/// Returns true when a line of nLength bytes has the shape of a file line of
/// a directory listing: a date, a time of day, up to two words such as PM,
/// and a size; robocopy's error lines, which share it, are not. A cheap test
/// of the shape, not the core's parser.
bool looksLikeDirFile(const char* szLine, std::size_t nLength);

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

/// The evidence weighed so far, kind by kind.
struct KindEvidence {
  int anWeight[kKinds] = {};
  LinePlace place;       // of the next line
  int nIndentedDir = 0;  // lines that are dir's file lines but for a blank or tab before them
};

/// The decision's state, passed by its owner like the reader's.
struct KindDecision {
  bool bDecided = false;    // lines are no longer held
  bool bReplaying = false;  // the lines held are being handed out again
  int nKind = kKindDir;     // the kind decided or named
  int nReadAs = kKindDir;   // the kind whose source reads it (see listingKind)
  // The kind named by --kind, or kKindUnknown: set by the decision's owner
  // once, and kept by startKindDecision.
  int nNamed = kKindUnknown;
  KindEvidence evidence;
  HeldLines held;
};

/// Starts deciding the kind of the listing that startReading began, or,
/// without bDecide, reads it as a listing of no other kind. A kind named in
/// decision.nNamed is taken without deciding, but its first lines are held
/// and weighed all the same, for the kinds that learn their layout from them.
/// With bKeepRests, the rest of a cut line held is kept for
/// readRestOfListingLine.
void startKindDecision(KindDecision& decision, bool bDecide = true, bool bKeepRests = false);

/// Weighs one more line of a listing into the evidence (see the head of
/// this file). Returns the kind the evidence now decides, or kKindUnknown
/// while it decides none.
int weighLine(KindEvidence& evidence, const char* szLine, std::size_t nLength);

/// Returns the kind chosen when no more lines are weighed: the kind that
/// weighs most, if it weighs at least kMinEvidence and more than any other;
/// else kKindDir.
int chooseKind(const KindEvidence& evidence);

/// readRestOfLine for a piece that readListingPiece handed out: for a line
/// that was held, the rest kept when it was held (none unless bKeepRests).
void readRestOfListingLine(Reader& reader, const KindDecision& decision, const Piece& piece,
                           std::string& sRest);

/// Until the kind is decided, every line read is offered here: it is held
/// (copied) and weighed, and when the evidence decides the kind, or the line
/// is the last that may be held, the kind is decided and the lines held are
/// handed out again by readListingPiece. Returns true when the line was held: it is not to be
/// read now.
bool holdPiece(Reader& reader, KindDecision& decision, const Piece& piece);

/// Hands out the next line held, or at the listing's end, chooses the kind
/// of a listing all of whose lines were held. Returns false when none is left.
bool replayPiece(KindDecision& decision, Piece& piece);

/// readPiece for a listing whose kind is decided by holdPiece: the lines
/// held come again, in order, once the kind is known.
inline bool readListingPiece(Reader& reader, KindDecision& decision, Piece& piece) {
  if (decision.bReplaying) return replayPiece(decision, piece);
  return readPiece(reader, piece) || (!decision.bDecided && replayPiece(decision, piece));
}

/// Returns the kind whose source reads the listing: the kind decided or
/// named, as read (kKindDir before the decision). A find listing whose lines
/// weigh more as dir's than as find's own shapes is read by dir's rules.
inline int listingKind(const KindDecision& decision) { return decision.nReadAs; }

/// Returns the name of the kind decided or named, as reports give it.
inline const char* listingKindName(const KindDecision& decision) {
  return kKindRows[decision.nKind].szName;
}

/// The state of the source of each kind that the core does not read, and
/// what the lines read by them would have been in a directory listing.
/// Each block's own is written for every line on its thread: on cache lines
/// of its own, as one that another block's shared was read several times
/// slower.
struct alignas(64) KindReader {
  int nKind = kKindUnknown;  // the kind started, or kKindUnknown before the first line
  LsListing ls;
  RobocopyLog robocopy;
  CsvListing csv;
  RsyncListing rsync;
  NcduExport ncdu;
  LsJson lsjson;
  RcloneListing rclone;
  BucketListing bucket;         // aws s3, mc, gsutil, azcopy
  UnixListing tools;            // find, tar, dwalk
  std::uint64_t nObjects = 0;   // objects the kind counted
  std::uint64_t nDirFiles = 0;  // lines in the shape of a directory listing's file line
};

/// Starts reading a listing of nKind, with the day that gives ls dates
/// written without a year their year. Without bDates and bFolders, the
/// sources that can leave the objects' dates and folders unread do. pHeld:
/// the lines held while the kind was decided (KindStart::pHeld).
void startKindReader(KindReader& reader, int nKind, const CivilDate& today, bool bDates = true,
                     bool bFolders = true, const HeldLines* pHeld = nullptr);

/// After the listing's last line: returns true with the entry of an object
/// that the kind held back (find -printf's last line), counted as
/// readKindLine counts.
bool finishKindReader(KindReader& reader, Entry& entry);

/// Reads one line by the rules of the reader's kind. Returns true with the
/// entry when the line is an object that counts. Counts the objects, and
/// the lines in a directory listing's shape, for kindReadsFarFewer.
bool readKindLine(KindReader& reader, const Piece& piece, Entry& entry);

/// The fewest lines in dir's shape for kindReadsFarFewer to judge.
const std::uint64_t kFarFewerLines = 4;

/// Returns true when the kind read counted far fewer objects than the lines
/// in a directory listing's shape: fewer than half of them, where there are
/// at least kFarFewerLines.
bool kindReadsFarFewer(const KindReader& reader);

/// Returns the error that keeps the listing from being counted, or nullptr.
const char* kindError(const KindReader& reader);

#endif  // PLOMET_ESTIMATOR_LISTINGKIND_H_
