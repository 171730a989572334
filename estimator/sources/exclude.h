// What the scan leaves out (--exclude=PATTERN): glob patterns matched
// against each object's and folder's name, or, when the pattern holds a
// separator, against its whole path. An excluded folder is not entered.
//
// The glob: '*' is any run of characters (a separator too), '?' one
// character (one UTF-8 sequence), '[abc]', '[a-z]' and '[!a-z]' (or '[^a-z]')
// one byte of a set, and on POSIX systems '\' makes the next character plain.
// A pattern with a separator (not counting one at its end) is a path
// pattern: one that begins with a separator (or, on Windows, a drive) is
// matched against the whole absolute path, any other against the path's
// end after any separator, so "cache/tmp" leaves out every "cache/tmp". A
// pattern that ends in a separator matches folders only. On Windows '/' and
// '\' both separate, and letters match in either case, as the system's names
// do.
#ifndef PLOMET_ESTIMATOR_SOURCES_EXCLUDE_H_
#define PLOMET_ESTIMATOR_SOURCES_EXCLUDE_H_

#include <cstddef>
#include <string>
#include <vector>

/// One pattern as the scan applies it.
struct ExcludePattern {
  std::string sGlob;          // without the separator that made bFoldersOnly
  bool bPath = false;         // matched against the path, not the name
  bool bAnchored = false;     // a path pattern from the root of the file system
  bool bFoldersOnly = false;  // it ended in a separator
};

/// The patterns of a scan.
struct ExcludeRules {
  std::vector<ExcludePattern> patterns;
  bool bPaths = false;  // some pattern needs the whole path
};

/// Sets the rules from the patterns as given on the command line.
void startExcludes(ExcludeRules& rules, const std::vector<std::string>& patterns);

/// Returns true when the whole text [pText, pText + nText) matches the glob
/// [pGlob, pGlob + nGlob).
bool globMatch(const char* pGlob, std::size_t nGlob, const char* pText, std::size_t nText);

/// Returns true when a pattern leaves out the object (bFolder: the folder)
/// named [pName, pName + nName) in the folder at the absolute path sFolder,
/// whose separator is cSeparator. sScratch holds the object's path when a
/// path pattern needs it; it keeps its memory from call to call.
bool isExcluded(const ExcludeRules& rules, const std::string& sFolder, char cSeparator,
                const char* pName, std::size_t nName, bool bFolder, std::string& sScratch);

#endif  // PLOMET_ESTIMATOR_SOURCES_EXCLUDE_H_
