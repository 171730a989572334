#include "sources/walk.h"

#include <algorithm>
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
  folder.sPath = group.parent->sPath;
  if (folder.sPath.empty() || folder.sPath.back() != state.cSeparator) {
    folder.sPath += state.cSeparator;
  }
  folder.sPath.append(szName, nName);
  group.nNext += sizeof folder.nListedNumber + nName + 1;
  if (group.nNext >= group.sChildren.size()) state.stack.pop_back();
  state.nBusy++;
  state.nFolders.fetch_add(1, std::memory_order_relaxed);
  return true;
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
// bytes at pName in the folder at sFolder.
bool excluded(WalkWorker& worker, const std::string& sFolder, const char* pName, std::size_t nName,
              bool bFolder) {
  const WalkState& state = *worker.pState;
  return worker.bExcluding && !state.excludes.patterns.empty() &&
         isExcluded(state.excludes, sFolder, state.cSeparator, pName, nName, bFolder,
                    worker.sExcludePath);
}

}  // namespace

void startFolder(WalkWorker& worker, const std::string& sFolder) {
  flushObjects(worker);
  worker.pFolder = &sFolder;
}

void addObject(WalkWorker& worker, const WalkObject& object, const char* pName, std::size_t nName) {
  if (excluded(worker, *worker.pFolder, pName, nName, false)) return;
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

void addChild(WalkWorker& worker, const char* pName, std::size_t nName,
              const std::shared_ptr<const WalkNode>& node, std::uint64_t nNumber) {
  if (excluded(worker, node->sPath, pName, nName, true)) return;
  // Assigned only when it changes: a shared pointer's copy is an atomic count.
  // cppcheck-suppress duplicateConditionalAssign
  if (worker.childParent != node) worker.childParent = node;
  char aNumber[sizeof nNumber];
  std::memcpy(aNumber, &nNumber, sizeof nNumber);
  worker.sChildren.append(aNumber, sizeof aNumber);
  worker.sChildren.append(pName, nName);
  worker.sChildren += '\0';
}

void flushObjects(WalkWorker& worker) {
  if (worker.objects.empty()) return;
  WalkBatch batch;
  batch.pFolder = worker.pFolder->data();
  batch.nFolder = worker.pFolder->size();
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
  for (; pNode != nullptr; pNode = pNode->parent.get()) {
    if (pNode->id.nDevice == id.nDevice && pNode->id.nNumber == id.nNumber) return true;
  }
  return false;
}

int injectedFailure(const WalkOptions& options, const std::string& sPath) {
  if (options.sFailForTest.empty()) return 0;
  std::size_t nName = sPath.find_last_of("/\\") + 1;  // 0 when there is no separator
  return sPath.compare(nName, std::string::npos, options.sFailForTest) == 0
             ? options.nFailErrorForTest
             : 0;
}

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
