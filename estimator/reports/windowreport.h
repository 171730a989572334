// The backup window's verdict as a line of the report.
#ifndef PLOMET_ESTIMATOR_REPORTS_WINDOWREPORT_H_
#define PLOMET_ESTIMATOR_REPORTS_WINDOWREPORT_H_

#include "tallies/window.h"

/// Prints the verdict as one line on standard output, such as
/// "Backup window 8 hours 0 mins 0 sec: fits, 2 hours 14 mins 9 sec to spare" or
/// "Backup window 8 hours 0 mins 0 sec: does not fit; 3 hours 5 mins 40 sec over,
/// rates would have to be 1.39 times as high" (one line).
void printWindowVerdict(const WindowVerdict& verdict);

/// printWindowVerdict for another estimate than the class times': szWhat
/// follows the window's length ("Backup window 8 hours 0 mins 0 sec by cost
/// and bandwidth: fits, ..."); szWhat may be null. With bHuman (--human) the
/// times are written as "8 h 00 min 00 s".
void printWindowVerdict(const WindowVerdict& verdict, const char* szWhat, bool bHuman = false);

#endif  // PLOMET_ESTIMATOR_REPORTS_WINDOWREPORT_H_
