// The walk of a folder tree, for the scan (-s).
//
// Several threads read folders at once; each folder's objects (every entry
// that is not a folder) are handed to one callback in batches, one batch at a
// time, so that the tallies behind it need no locks of their own. Pending
// folders wait on a stack that is taken from at its top, so the walk goes
// deep first and its memory follows the tree's width along the paths being
// walked, not the number of folders or files. A folder keeps its own name
// alone, and is opened relative to its parent where the system allows: a
// tree's time and memory grow with its depth, not with the square of it.
//
// Symbolic links and other reparse points are objects of 0 bytes and never
// followed; mount points below the root are crossed unless asked not to be;
// a folder that is one of its own ancestors (a bind mount of a parent) is
// walked once; what matches a pattern of WalkOptions::excludes is left out. The platform's own
// calls do the work: walk_posix.cpp and walk_windows.cpp.
#ifndef PLOMET_ESTIMATOR_WALK_H_
#define PLOMET_ESTIMATOR_WALK_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sources/entry.h"

/// One object of a folder as the walk found it.
struct WalkObject {
  std::uint64_t nSize = 0;  // the apparent size of a regular file; 0 for the others
  int nType = kEntryFile;
  // The modification time in local time; set only when WalkOptions asks.
  int nYear = 0;
  int nMonth = 0;
  int nDay = 0;
  int nSecondOfDay = 0;
  std::size_t nNameOffset = 0;  // where its name starts in WalkBatch::pNames
};

/// Objects of one folder. A large folder comes in several batches.
struct WalkBatch {
  const char* pFolder = nullptr;  // the folder's path, not NUL-terminated, without final separator
  std::size_t nFolder = 0;        // (except for a root such as "/" or "C:\")
  const WalkObject* pObjects = nullptr;
  std::size_t nObjects = 0;
  // The objects' names, each ended by a NUL, as the system gives them (UTF-8
  // on Windows); null unless WalkOptions asks for names.
  const char* pNames = nullptr;
  std::uint64_t nFolders = 0;  // the folders the walk has taken so far, for a progress line
};

/// Called for every batch, never by two threads at once.
using WalkSink = void (*)(void* pContext, const WalkBatch& batch);

struct WalkOptions {
  int nThreads = 1;             // 1 or more; 1 walks on the caller's thread
  bool bOneFileSystem = false;  // do not cross into other file systems
  bool bTimes = false;          // fill in the modification times
  bool bNames = false;          // hand over the names
  // Glob patterns of what is left out (see exclude.h): an object or folder
  // below the root that one matches is not handed over, nor entered.
  std::vector<std::string> excludes;
  // Folders whose handles stay open, at most, for their subfolders to be
  // opened relative to them (POSIX); a subfolder of another folder is
  // opened by its whole path. 0 opens every folder by its path.
  int nKeptHandles = 256;
  // For tests: every folder below the root named sFailForTest fails to open
  // with nFailErrorForTest, as if the system had said so ("": none does);
  // with bUnknownTypesForTest the folders' entries tell no type, as on a
  // file system that does not fill it in.
  std::string sFailForTest;
  int nFailErrorForTest = 0;
  bool bUnknownTypesForTest = false;
};

/// A folder the walk could not read.
struct WalkFailure {
  std::string sPath;
  int nError = 0;  // the system's error number
};

/// What the walk met besides the objects.
struct WalkReport {
  int nRootError = 0;             // the root could not be opened: its error number
  std::uint64_t nUnreadable = 0;  // folders that could not be read
  std::uint64_t nFolders = 0;     // folders walked, the root among them
  static constexpr std::size_t kKept = 10;
  std::vector<WalkFailure> firstUnreadable;  // the first kKept of them by path, in that order
};

/// Returns the path made absolute (from the working folder) with its final
/// separators taken off (a root keeps its own), so that every folder the
/// walk names is absolute.
std::string absoluteWalkPath(const char* szPath);

/// Walks the tree at szPath (made absolute by absoluteWalkPath; a symbolic
/// link given as the root is followed). A root that is no folder is one
/// object, in its parent folder. Returns false, with report.nRootError set,
/// when the root cannot be opened; nothing is handed over then. Otherwise
/// returns true once every folder has been walked; the folders that could
/// not be read are counted in the report and their objects left out, as is
/// an object removed between being listed and being looked at.
bool walkTree(const char* szPath, const WalkOptions& options, WalkSink sink, void* pContext,
              WalkReport& report);

/// Returns the path with its links and ".." parts resolved where the system
/// can (absoluteWalkPath's otherwise): two roots whose resolved paths lie
/// one within the other would have their files counted twice.
std::string resolvedWalkPath(const char* szPath);

/// Returns 0 when the root at szPath can be opened as walkTree opens it, or
/// the error number that walkTree would give: the paths of a scan are all
/// checked before the first is walked.
int walkRootError(const char* szPath);

/// Returns the number of processors, at least 1: the default number of threads.
int walkDefaultThreads();

/// Returns the system's text for an error number of WalkReport.
std::string walkErrorText(int nError);

#endif  // PLOMET_ESTIMATOR_WALK_H_
