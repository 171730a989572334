// A listing read as one stream rather than line by line: the export of a
// disk-usage tool, nested JSON that may lie on one line of hundreds of
// megabytes. Its kind is decided on its first line, as the other kinds are;
// from there on, its text goes to the kind's source in blocks, and each entry
// is counted. It is parsed on the main thread (--threads does not split it);
// with more than one thread, its text is read ahead on a thread of its own.
#ifndef PLOMET_ESTIMATOR_STREAMRUN_H_
#define PLOMET_ESTIMATOR_STREAMRUN_H_

#include "sources/reader.h"

struct Run;

/// Reads the rest of a listing of a stream kind (isStreamKind) from the line
/// first on: the lines still held for the kind's decision, then the rest of
/// the reader's text, through the kind's source started in run.kinds, and
/// counts every entry it gives (countEntry). Reads the listing to its end.
void takeStreamListing(Run& run, const Piece& first);

#endif  // PLOMET_ESTIMATOR_STREAMRUN_H_
