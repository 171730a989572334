// A listing of another kind than dir read in parts on several threads.
//
// Each part (a block of whole lines) is read by a reader of its own, which
// starts as the kind's reader stood when the blocks began: the layout it
// learnt from the first lines, and no counts. The parts are then joined in
// the listing's order: their counts are added, and what runs across lines
// (a CSV row whose quoted field goes on the next line, a find -printf line
// that the next line settles, the last line cut short) is carried from one
// part to the next. Where the reader before a part no longer reads lines as
// the part's reader did (a CSV row still open, a layout learnt anew), the
// part must be read again on that reader: kindBlockFits says so.
//
// Hints that spare work but do not change what a line reads as (the column
// where the last line's date stood, a cache of the last date read) are not
// carried into a part: the part's reader finds them again from its first
// line.
#ifndef PLOMET_ESTIMATOR_SOURCES_KINDBLOCKS_H_
#define PLOMET_ESTIMATOR_SOURCES_KINDBLOCKS_H_

#include "sources/entry.h"
#include "sources/listingkind.h"

/// Returns true when a listing of nKind can be read in parts: every kind
/// read line by line (not the JSON exports, one stream each).
bool kindReadsInParts(int nKind);

/// Returns true when the parts may begin after what `reader` read: for a
/// robocopy log, once its job's source is known (its first folder line)
/// and no summary is being read, so that the parts read the job's files
/// from there; for the other kinds at once.
bool kindPartsMayStart(const KindReader& reader);

/// Readies `part` to read a part of the listing as `start` would read it:
/// start's layout, and no counts, no line held, no row open.
void startKindPart(KindReader& part, const KindReader& start);

/// Returns true when `reader`, as it stands before a part, reads the part's
/// lines as `start` (from which the part's reader was readied) did: `part`
/// is what the part's reader made of them. A part of a robocopy log in
/// which a job ended never fits: its job's checks need the whole job.
bool kindBlockFits(const KindReader& reader, const KindReader& start, const KindReader& part);

/// Joins a part read after what `reader` read (kindBlockFits holds): adds
/// its counts and carries what runs on past it. Returns true with the entry
/// of a line that the reader held and the part settled, which counts; it is
/// counted as readKindLine counts it.
bool joinKindPart(KindReader& reader, const KindReader& part, Entry& entry);

#endif  // PLOMET_ESTIMATOR_SOURCES_KINDBLOCKS_H_
