// The four rates without a log: the run of --measure, which wires the
// measuring engine (sources/measure) to the fit (tallies/calibrate) and the
// measurement's report, and the rates of a JSON report of --measure or
// --calibrate that --rates-from reads back into the estimate.
#ifndef PLOMET_ESTIMATOR_MEASURERUN_H_
#define PLOMET_ESTIMATOR_MEASURERUN_H_

#include "run.h"

// measure(), declared in run.h for main: takes no argument beside the long
// options, measures the target, and prints the report (or its JSON). Its
// exit status is 0; 1 after saying why the measurement failed, nothing being
// left behind but what the message names; 2 for a command line it refuses. A
// signal that stops the measurement ends the process by that signal, once
// everything made is removed.

/// Returns true when the file szName ("-": standard input) is a JSON report
/// rather than a log: its first byte that is not white space is '{'. On
/// standard input that byte stays to be read; the white space before it, and
/// a byte-order mark, are read and gone. Returns false for a file that cannot
/// be opened: the log's reading says why.
bool isRatesReport(const char* szName);

/// With --rates-from naming a JSON report: reads its model into run.model
/// (the four rates, the cost and the bandwidth, no sessions) and what the
/// report says of itself into run.ratesReport. Returns true, or false after
/// saying why the report gives no rates.
bool readRatesReportOf(Run& run);

#endif  // PLOMET_ESTIMATOR_MEASURERUN_H_
