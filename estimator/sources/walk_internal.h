// The walk's machinery shared by its platform files: the stack of pending
// folders, the threads, and the batch each thread fills.
#ifndef PLOMET_ESTIMATOR_WALK_INTERNAL_H_
#define PLOMET_ESTIMATOR_WALK_INTERNAL_H_

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sources/exclude.h"
#include "sources/walk.h"

/// What tells one folder from another: its device and its file number.
struct FolderId {
  std::uint64_t nDevice = 0;
  std::uint64_t nNumber = 0;
};

/// A folder walked, kept while any folder below it waits: its path, which
/// theirs begin with, and its ancestors, so that a folder that is one of
/// them is not walked again.
struct WalkNode {
  std::shared_ptr<const WalkNode> parent;
  FolderId id;
  std::string sPath;
};

/// The subfolders of one folder that wait to be walked, packed: for each,
/// the file number its entry gave (8 bytes), its name and a NUL. A waiting
/// folder costs little more than its name, however wide the tree.
struct PendingGroup {
  std::shared_ptr<const WalkNode> parent;
  std::string sChildren;
  std::size_t nNext = 0;  // where the next one to walk starts
};

/// A folder taken to be walked. The root comes already open (nHandle).
struct PendingFolder {
  std::string sPath;
  std::shared_ptr<const WalkNode> parent;
  std::intptr_t nHandle = -1;
  std::uint64_t nListedNumber = 0;  // the file number its parent's entry gave, 0 if none
};

/// The state all threads of one walk share.
struct WalkState {
  WalkOptions options;
  WalkSink sink = nullptr;
  void* pContext = nullptr;
  WalkReport* pReport = nullptr;
  std::uint64_t nRootDevice = 0;
  char cSeparator = '/';
  std::mutex stackMutex;  // guards the stack, nBusy and the report
  std::condition_variable wake;
  std::vector<PendingGroup> stack;  // never holds a group with no folder left
  int nBusy = 0;                    // threads walking a folder, which may add more
  std::mutex sinkMutex;
  ExcludeRules excludes;                   // from options.excludes
  std::atomic<std::uint64_t> nFolders{0};  // folders taken, the root among them
};

/// One thread's batch of objects and the subfolders it found, reused from
/// folder to folder so that nothing is allocated per object.
struct WalkWorker {
  WalkState* pState = nullptr;
  const std::string* pFolder = nullptr;  // the folder being walked
  std::vector<WalkObject> objects;
  std::string sNames;
  std::shared_ptr<const WalkNode> childParent;  // the folder whose subfolders these are
  std::string sChildren;                        // packed as in PendingGroup
  std::vector<std::uint64_t> readBuffer;        // the platform's folder reader's, when it needs one
  bool bExcluding = true;    // false while the root itself is looked at: a root is never left out
  std::string sExcludePath;  // an object's path, for the patterns that match paths
};

/// Starts the batch of the folder at sFolder (kept alive by the caller).
void startFolder(WalkWorker& worker, const std::string& sFolder);

/// Adds one object, named by the nName bytes at pName, and hands the batch
/// over when it is full; an object that a pattern excludes is left out.
void addObject(WalkWorker& worker, const WalkObject& object, const char* pName, std::size_t nName);

/// Adds a subfolder of the folder node, named by nName bytes at pName, whose
/// entry gave it the file number nNumber (0 when it gives none); a folder
/// that a pattern excludes is left out, and not walked.
void addChild(WalkWorker& worker, const char* pName, std::size_t nName,
              const std::shared_ptr<const WalkNode>& node, std::uint64_t nNumber = 0);

/// Hands over the objects gathered so far.
void flushObjects(WalkWorker& worker);

/// Notes a folder that could not be read.
void noteUnreadable(WalkState& state, const std::string& sPath, int nError);

/// True when id is the folder's own or one of its ancestors'.
bool isAncestor(const WalkNode* pNode, const FolderId& id);

/// The failure the test seam injects for the folder at sPath, or 0.
int injectedFailure(const WalkOptions& options, const std::string& sPath);

/// Walks every pending folder on options.nThreads threads, the root first.
void runWalk(WalkState& state, PendingFolder root);

// The platform's part.

/// Opens the root. A folder becomes the root PendingFolder (bFolder true)
/// and sets state.nRootDevice; anything else is handed over as one object.
/// Returns 0, or the error number when the root cannot be opened.
int openWalkRoot(WalkState& state, WalkWorker& worker, const std::string& sPath,
                 PendingFolder& root, bool& bFolder);

/// Reads one folder: its objects to addObject, its subfolders to addChild,
/// a failure to noteUnreadable.
void walkFolder(WalkWorker& worker, PendingFolder& folder);

#endif  // PLOMET_ESTIMATOR_WALK_INTERNAL_H_
