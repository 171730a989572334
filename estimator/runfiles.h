// The files one run reads and writes, checked against each other before
// anything is read or written: an output (the page of --html, the listing of
// --list, a report of --plan) must not be an input (the listing, the log of
// --rates-from), another output, the standard output that holds the report,
// or a file inside a folder tree that the scan counts.
//
// Files are told apart by their device and file number where they exist (a
// hard or symbolic link to a file is that file), and an output yet to be
// made by its folder's and its own name. Character devices, such as
// /dev/null, are never the same file as another: nothing is lost by writing
// to them twice.
#ifndef PLOMET_ESTIMATOR_RUNFILES_H_
#define PLOMET_ESTIMATOR_RUNFILES_H_

#include <string>
#include <vector>

/// A file as the command line names it, and what names it in a message:
/// "the listing", "--html".
struct RunFile {
  std::string sWhat;
  std::string sPath;  // an input's "-" is standard input
};

/// The files of one run.
struct RunFiles {
  std::vector<RunFile> inputs;
  std::vector<RunFile> outputs;  // written by the run beside standard output
  std::vector<RunFile> trees;    // folders the scan walks
};

/// Returns why an output cannot be written as named, as the text of an
/// error: it is an input, another output, the standard output, or a file
/// inside (or at the root of) a tree; or "" when none is.
std::string findFileClash(const RunFiles& files);

#endif  // PLOMET_ESTIMATOR_RUNFILES_H_
