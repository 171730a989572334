// Warnings about a run, written after the report on standard error.
//
// Each is kept as well as written, so that --strict can turn them into an
// exit status and a report for scripts can list them.
#ifndef PLOMET_ESTIMATOR_WARNINGS_H_
#define PLOMET_ESTIMATOR_WARNINGS_H_

#include <cstddef>
#include <string>

/// Writes "warning: ", the printf-style formatted text and a line feed on
/// standard error, and keeps the text.
void warn(const char* szFormat, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

/// Returns the number of warnings written since the last resetWarnings.
std::size_t warningCount();

/// Returns the text of warning i (from 0), without "warning: " and line feed.
const std::string& warningText(std::size_t i);

/// Forgets the warnings of an earlier run.
void resetWarnings();

#endif  // PLOMET_ESTIMATOR_WARNINGS_H_
