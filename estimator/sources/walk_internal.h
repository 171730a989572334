// The walk's machinery shared by its platform files: the stack of pending
// folders, the threads, and the batch each thread fills.
#ifndef PLOMET_ESTIMATOR_WALK_INTERNAL_H_
#define PLOMET_ESTIMATOR_WALK_INTERNAL_H_

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "sources/exclude.h"
#include "sources/walk.h"

/// What tells one folder from another: its device and its file number.
struct FolderId {
  std::uint64_t nDevice = 0;
  std::uint64_t nNumber = 0;
};

/// A folder walked, kept while any folder below it waits or is walked: its
/// own name (the root: its whole path) and its parent, so that the pending
/// folders of a tree take memory in proportion to its depth and its longest
/// name, never to the square of its depth; its path is put together when it
/// is needed (nodePath). Its ancestors tell a folder that is one of them.
/// Shared by the threads through NodeRef, which counts the references.
struct WalkNode {
  WalkNode* pParent = nullptr;  // a reference held, or null for a root
  FolderId id;
  std::string sName;
  std::size_t nDepth = 0;       // 0 for a root
  std::size_t nPathLength = 0;  // of the whole path, as nodePath makes it
  // Kept open for the subfolders to be opened relative to it (POSIX), or -1;
  // set before they are put on the stack and never changed after: the last
  // of them to be opened (nWaiting down to 0) closes it.
  int nHandle = -1;
  std::atomic<std::size_t> nWaiting{0};
  std::atomic<std::size_t> nRefs{1};
};

/// A counted reference to a WalkNode. The last reference to a chain of
/// nodes frees them one after the other, not by recursion: a tree of any
/// depth is freed in constant stack.
class NodeRef {
 public:
  NodeRef() = default;
  NodeRef(const NodeRef& other) : pTarget(other.pTarget) { hold(pTarget); }
  NodeRef(NodeRef&& other) noexcept : pTarget(other.pTarget) { other.pTarget = nullptr; }
  NodeRef& operator=(NodeRef other) noexcept {
    std::swap(pTarget, other.pTarget);
    return *this;
  }
  ~NodeRef() { releaseNode(pTarget); }

  /// Makes a node below parent (null: a root), holding a reference to it.
  static NodeRef make(const NodeRef& parent, const FolderId& id, const char* pName,
                      std::size_t nName, char cSeparator);

  WalkNode* get() const { return pTarget; }
  WalkNode* operator->() const { return pTarget; }
  explicit operator bool() const { return pTarget != nullptr; }
  bool operator==(const NodeRef& other) const { return pTarget == other.pTarget; }
  bool operator!=(const NodeRef& other) const { return pTarget != other.pTarget; }
  void reset() { *this = NodeRef(); }

  /// Returns a new reference to pNode (null: none).
  static NodeRef of(const WalkNode* pNode) {
    NodeRef node;
    node.pTarget = const_cast<WalkNode*>(pNode);  // the count alone changes
    hold(node.pTarget);
    return node;
  }
  /// Takes one more reference to pNode (null: none).
  static void hold(WalkNode* pNode);
  /// Gives up a reference to pNode, and frees it and each parent left
  /// without one.
  static void releaseNode(WalkNode* pNode);

 private:
  WalkNode* pTarget = nullptr;
};

/// The subfolders of one folder that wait to be walked, packed: for each,
/// the file number its entry gave (8 bytes), its name and a NUL. A waiting
/// folder costs little more than its name, however wide the tree.
struct PendingGroup {
  NodeRef parent;
  std::string sChildren;
  std::size_t nNext = 0;  // where the next one to walk starts
};

/// A folder taken to be walked: its name below its parent (a root: its
/// whole path, without parent). The root comes already open (nHandle).
struct PendingFolder {
  std::string sName;
  NodeRef parent;
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
  std::atomic<int> nKeptHandles{0};  // folders' handles kept open, at most options.nKeptHandles
};

/// One thread's batch of objects and the subfolders it found, reused from
/// folder to folder so that nothing is allocated per object.
struct WalkWorker {
  WalkState* pState = nullptr;
  const WalkNode* pFolder = nullptr;  // the folder being walked
  std::vector<WalkObject> objects;
  std::string sNames;
  NodeRef childParent;                    // the folder whose subfolders these are
  std::string sChildren;                  // packed as in PendingGroup
  std::size_t nChildren = 0;              // and their number
  std::vector<std::uint64_t> readBuffer;  // the platform's folder reader's, when it needs one
  // The path of pathNode, reused from folder to folder: the next folder's
  // is made from it by going up to the folders they share and down again.
  NodeRef pathNode;
  std::string sPath;
  std::vector<const WalkNode*> trail;
  std::string sChildPath;  // a subfolder's path, not yet a node
  bool bExcluding = true;    // false while the root itself is looked at: a root is never left out
  std::string sExcludePath;  // an object's path, for the patterns that match paths
};

/// Returns the path of the folder pNode: its ancestors' names and its own,
/// joined by the separator. The text lives in the worker until the next call.
const std::string& nodePath(WalkWorker& worker, const WalkNode* pNode);

/// Returns the path of the subfolder nName bytes at pName of the folder
/// parent (or pName alone without one), in the worker until the next call.
const std::string& childPath(WalkWorker& worker, const WalkNode* pParent, const char* pName,
                             std::size_t nName);

/// Starts the batch of the folder pNode (kept alive by the caller).
void startFolder(WalkWorker& worker, const WalkNode* pNode);

/// Adds one object, named by the nName bytes at pName, and hands the batch
/// over when it is full; an object that a pattern excludes is left out.
void addObject(WalkWorker& worker, const WalkObject& object, const char* pName, std::size_t nName);

/// Adds a subfolder of the folder node, named by nName bytes at pName, whose
/// entry gave it the file number nNumber (0 when it gives none); a folder
/// that a pattern excludes is left out, and not walked.
void addChild(WalkWorker& worker, const char* pName, std::size_t nName, const NodeRef& node,
              std::uint64_t nNumber = 0);

/// Hands over the objects gathered so far.
void flushObjects(WalkWorker& worker);

/// Notes a folder that could not be read.
void noteUnreadable(WalkState& state, const std::string& sPath, int nError);

/// True when id is the folder's own or one of its ancestors'.
bool isAncestor(const WalkNode* pNode, const FolderId& id);

/// The failure the test seam injects for the folder named sName, or 0.
int injectedFailure(const WalkOptions& options, const std::string& sName);

/// Takes a place for one more folder's handle kept open. Returns false when
/// options.nKeptHandles are open already.
bool keepHandle(WalkState& state);

/// Gives the place of a kept handle back, once it is closed.
void dropHandle(WalkState& state);

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
