// The table of the folders that take the longest (--top), after the report.
#ifndef PLOMET_ESTIMATOR_REPORTS_FOLDERREPORT_H_
#define PLOMET_ESTIMATOR_REPORTS_FOLDERREPORT_H_

#include "tallies/folders.h"

/// Prints the ranking after the report (through output.h): the root, the
/// table and its total, or one line when no folder could be found.
void printFolders(const FolderRanking& ranking);

#endif  // PLOMET_ESTIMATOR_REPORTS_FOLDERREPORT_H_
