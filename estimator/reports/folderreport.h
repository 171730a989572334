// The table of the folders that take the longest (--top), after the report.
#ifndef PLOMET_ESTIMATOR_REPORTS_FOLDERREPORT_H_
#define PLOMET_ESTIMATOR_REPORTS_FOLDERREPORT_H_

#include "tallies/folders.h"

/// Prints the ranking after the report (through output.h): the root, the
/// table and its total, or one line when no folder could be found. With
/// bHuman (--human) the bytes are written as "10.2 GiB" and the times, to
/// the nearest second, as "1 h 02 min 03 s".
void printFolders(const FolderRanking& ranking, bool bHuman = false);

#endif  // PLOMET_ESTIMATOR_REPORTS_FOLDERREPORT_H_
