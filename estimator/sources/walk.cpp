#include "sources/walk.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>
#include <utility>

#include "sources/walk_internal.h"

namespace {

// A batch is handed over at this many objects, or names of this many bytes:
// large enough that the lock is rare, small enough to stay in the cache.
const std::size_t kBatchObjects = 1024;
const std::size_t kBatchNameBytes = 65536;

// Takes the next folder of the group on top of the stack, waiting while
// other threads may still add to it. Returns false when the walk is over.
bool takeFolder(WalkState& state, PendingFolder& folder) {
  std::unique_lock<std::mutex> lock(state.stackMutex);
  state.wake.wait(lock, [&state] { return !state.stack.empty() || state.nBusy == 0; });
  if (state.stack.empty()) return false;
  PendingGroup& group = state.stack.back();
  const char* pChild = group.sChildren.data() + group.nNext;
  std::memcpy(&folder.nListedNumber, pChild, sizeof folder.nListedNumber);
  const char* szName = pChild + sizeof folder.nListedNumber;
  std::size_t nName = std::strlen(szName);
  folder.parent = group.parent;
  folder.nHandle = -1;
  folder.sName.assign(szName, nName);
  group.nNext += sizeof folder.nListedNumber + nName + 1;
  if (group.nNext >= group.sChildren.size()) state.stack.pop_back();
  state.nBusy++;
  state.nFolders.fetch_add(1, std::memory_order_relaxed);
  return true;
}

// Appends a name to a path, with the separator between them unless the
// path ends in one already (a root such as "/" or "C:\").
void appendName(std::string& sPath, const char* pName, std::size_t nName, char cSeparator) {
  if (!sPath.empty() && sPath.back() != cSeparator) sPath += cSeparator;
  sPath.append(pName, nName);
}

// Puts the subfolders found on the stack, to be walked before those found
// earlier: the walk goes deep first.
void finishFolder(WalkState& state, WalkWorker& worker) {
  std::lock_guard<std::mutex> lock(state.stackMutex);
  bool bFound = !worker.sChildren.empty();
  if (bFound) {
    state.stack.emplace_back();
    state.stack.back().parent = std::move(worker.childParent);
    state.stack.back().sChildren.swap(worker.sChildren);
  }
  worker.childParent.reset();
  worker.nChildren = 0;
  state.nBusy--;
  if (bFound || state.nBusy == 0) state.wake.notify_all();
}

void runWorker(WalkState& state) {
  WalkWorker worker;
  worker.pState = &state;
  worker.objects.reserve(kBatchObjects);
  PendingFolder folder;
  while (takeFolder(state, folder)) {
    walkFolder(worker, folder);
    flushObjects(worker);
    finishFolder(state, worker);
  }
}

// True when a pattern leaves out the object or folder named by the nName
// bytes at pName in the folder pFolder.
bool excluded(WalkWorker& worker, const WalkNode* pFolder, const char* pName, std::size_t nName,
              bool bFolder) {
  const WalkState& state = *worker.pState;
  if (!worker.bExcluding || state.excludes.patterns.empty()) return false;
  return isExcluded(state.excludes, nodePath(worker, pFolder), state.cSeparator, pName, nName,
                    bFolder, worker.sExcludePath);
}

}  // namespace

NodeRef NodeRef::make(const NodeRef& parent, const FolderId& id, const char* pName,
                      std::size_t nName, char cSeparator) {
  NodeRef node;
  node.pTarget = new WalkNode();
  WalkNode& n = *node.pTarget;
  n.id = id;
  n.sName.assign(pName, nName);
  n.nPathLength = nName;
  if (parent) {
    hold(parent.pTarget);
    n.pParent = parent.pTarget;
    n.nDepth = parent->nDepth + 1;
    const std::string& sParentName = parent->sName;
    // As appendName joins them: a root's path may end in the separator.
    bool bSeparator =
        parent->pParent != nullptr || (!sParentName.empty() && sParentName.back() != cSeparator);
    n.nPathLength += parent->nPathLength + (bSeparator ? 1 : 0);
  }
  return node;
}

void NodeRef::hold(WalkNode* pNode) {
  if (pNode != nullptr) pNode->nRefs.fetch_add(1, std::memory_order_relaxed);
}

void NodeRef::releaseNode(WalkNode* pNode) {
  while (pNode != nullptr && pNode->nRefs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    WalkNode* pParent = pNode->pParent;
    delete pNode;
    pNode = pParent;
  }
}

const std::string& nodePath(WalkWorker& worker, const WalkNode* pNode) {
  const WalkNode* pFrom = worker.pathNode.get();
  if (pFrom == pNode) return worker.sPath;
  // Up from both to the folder they share (none between two roots), noting
  // the way down to pNode.
  std::vector<const WalkNode*>& trail = worker.trail;
  trail.clear();
  const WalkNode* pTo = pNode;
  while (pFrom != nullptr && (pTo == nullptr || pFrom->nDepth > pTo->nDepth)) {
    pFrom = pFrom->pParent;
  }
  while (pTo != nullptr && (pFrom == nullptr || pTo->nDepth > pFrom->nDepth)) {
    trail.push_back(pTo);
    pTo = pTo->pParent;
  }
  while (pFrom != pTo) {
    pFrom = pFrom->pParent;
    trail.push_back(pTo);
    pTo = pTo->pParent;
  }
  std::string& sPath = worker.sPath;
  sPath.resize(pTo != nullptr ? pTo->nPathLength : 0);
  const char cSeparator = worker.pState->cSeparator;
  for (std::size_t i = trail.size(); i-- > 0;) {
    const WalkNode* pStep = trail[i];
    if (pStep->pParent == nullptr) {
      sPath = pStep->sName;
    } else {
      appendName(sPath, pStep->sName.data(), pStep->sName.size(), cSeparator);
    }
  }
  worker.pathNode = NodeRef::of(pNode);
  return sPath;
}

const std::string& childPath(WalkWorker& worker, const WalkNode* pParent, const char* pName,
                             std::size_t nName) {
  std::string& sPath = worker.sChildPath;
  sPath.clear();
  if (pParent != nullptr) sPath = nodePath(worker, pParent);
  appendName(sPath, pName, nName, worker.pState->cSeparator);
  return sPath;
}

void startFolder(WalkWorker& worker, const WalkNode* pNode) {
  flushObjects(worker);
  worker.pFolder = pNode;
}

void addObject(WalkWorker& worker, const WalkObject& object, const char* pName, std::size_t nName) {
  if (excluded(worker, worker.pFolder, pName, nName, false)) return;
  worker.objects.push_back(object);
  if (worker.pState->options.bNames) {
    worker.objects.back().nNameOffset = worker.sNames.size();
    worker.sNames.append(pName, nName);
    worker.sNames += '\0';
  }
  if (worker.objects.size() >= kBatchObjects || worker.sNames.size() >= kBatchNameBytes) {
    flushObjects(worker);
  }
}

void addChild(WalkWorker& worker, const char* pName, std::size_t nName, const NodeRef& node,
              std::uint64_t nNumber) {
  if (excluded(worker, node.get(), pName, nName, true)) return;
  // Assigned only when it changes: a reference's copy is an atomic count.
  // cppcheck-suppress duplicateConditionalAssign
  if (worker.childParent != node) worker.childParent = node;
  char aNumber[sizeof nNumber];
  std::memcpy(aNumber, &nNumber, sizeof nNumber);
  worker.sChildren.append(aNumber, sizeof aNumber);
  worker.sChildren.append(pName, nName);
  worker.sChildren += '\0';
  worker.nChildren++;
}

void flushObjects(WalkWorker& worker) {
  if (worker.objects.empty()) return;
  WalkBatch batch;
  const std::string& sFolder = nodePath(worker, worker.pFolder);
  batch.pFolder = sFolder.data();
  batch.nFolder = sFolder.size();
  batch.pObjects = worker.objects.data();
  batch.nObjects = worker.objects.size();
  batch.pNames = worker.pState->options.bNames ? worker.sNames.data() : nullptr;
  batch.nFolders = worker.pState->nFolders.load(std::memory_order_relaxed);
  {
    std::lock_guard<std::mutex> lock(worker.pState->sinkMutex);
    worker.pState->sink(worker.pState->pContext, batch);
  }
  worker.objects.clear();
  worker.sNames.clear();
}

void noteUnreadable(WalkState& state, const std::string& sPath, int nError) {
  std::lock_guard<std::mutex> lock(state.stackMutex);
  WalkReport& report = *state.pReport;
  // The threads meet failures in an order of their own: the first paths in
  // byte order are kept, so that the same tree gives the same warnings.
  std::vector<WalkFailure>& kept = report.firstUnreadable;
  WalkFailure* pSlot = nullptr;
  if (kept.size() < WalkReport::kKept) {
    kept.emplace_back();
    pSlot = &kept.back();
  } else {
    auto last = std::max_element(
        kept.begin(), kept.end(),
        [](const WalkFailure& a, const WalkFailure& b) { return a.sPath < b.sPath; });
    if (sPath < last->sPath) pSlot = &*last;
  }
  if (pSlot != nullptr) {
    pSlot->sPath = sPath;
    pSlot->nError = nError;
  }
  report.nUnreadable++;
}

bool isAncestor(const WalkNode* pNode, const FolderId& id) {
  for (; pNode != nullptr; pNode = pNode->pParent) {
    if (pNode->id.nDevice == id.nDevice && pNode->id.nNumber == id.nNumber) return true;
  }
  return false;
}

int injectedFailure(const WalkOptions& options, const std::string& sName) {
  if (options.sFailForTest.empty()) return 0;
  return sName == options.sFailForTest ? options.nFailErrorForTest : 0;
}

bool keepHandle(WalkState& state) {
  if (state.nKeptHandles.fetch_add(1, std::memory_order_relaxed) < state.options.nKeptHandles) {
    return true;
  }
  dropHandle(state);
  return false;
}

void dropHandle(WalkState& state) { state.nKeptHandles.fetch_sub(1, std::memory_order_relaxed); }

void runWalk(WalkState& state, PendingFolder root) {
  // The root on this thread; then its subfolders, on every thread.
  WalkWorker worker;
  worker.pState = &state;
  state.nBusy = 1;
  state.nFolders = 1;
  walkFolder(worker, root);
  flushObjects(worker);
  finishFolder(state, worker);
  int nThreads = std::max(1, state.options.nThreads);
  std::vector<std::thread> threads;
  for (int i = 1; i < nThreads; i++) threads.emplace_back(runWorker, std::ref(state));
  runWorker(state);
  for (std::thread& thread : threads) thread.join();
}

bool walkTree(const char* szPath, const WalkOptions& options, WalkSink sink, void* pContext,
              WalkReport& report) {
  report = WalkReport();
  WalkState state;
  state.options = options;
  state.sink = sink;
  state.pContext = pContext;
  state.pReport = &report;
#ifdef _WIN32
  state.cSeparator = '\\';
#endif
  startExcludes(state.excludes, options.excludes);
  if (*szPath == '\0') {  // no path at all, as no file is named "" to be opened
    report.nRootError = ENOENT;
    return false;
  }
  std::string sPath = absoluteWalkPath(szPath);
  WalkWorker worker;
  worker.pState = &state;
  worker.bExcluding = false;
  PendingFolder root;
  bool bFolder = false;
  report.nRootError = openWalkRoot(state, worker, sPath, root, bFolder);
  if (report.nRootError != 0) return false;
  flushObjects(worker);
  if (bFolder) runWalk(state, std::move(root));
  report.nFolders = state.nFolders;
  std::sort(report.firstUnreadable.begin(), report.firstUnreadable.end(),
            [](const WalkFailure& a, const WalkFailure& b) { return a.sPath < b.sPath; });
  return true;
}

int walkDefaultThreads() {
  unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : static_cast<int>(std::min(n, 64u));
}
