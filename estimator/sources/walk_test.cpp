#include "sources/walk.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "sources/scanlist.h"
#include "sources/walk_internal.h"

namespace {

// What the walk handed over, object by object: folder/name -> (type, size).
using Found = std::map<std::string, std::tuple<int, std::uint64_t>>;

struct Collected {
  Found objects;
  std::size_t nBatches = 0;
  std::size_t nLongestFolder = 0;
};

void collect(void* pContext, const WalkBatch& batch) {
  Collected& c = *static_cast<Collected*>(pContext);
  c.nBatches++;
  std::string sFolder(batch.pFolder, batch.nFolder);
  if (sFolder.size() > c.nLongestFolder) c.nLongestFolder = sFolder.size();
  for (std::size_t i = 0; i < batch.nObjects; i++) {
    const WalkObject& object = batch.pObjects[i];
    std::string sName = batch.pNames != nullptr ? batch.pNames + object.nNameOffset : "?";
    auto key = sFolder + "|" + sName;
    EXPECT_EQ(c.objects.count(key), 0u) << key << " handed over twice";
    c.objects[key] = std::make_tuple(object.nType, object.nSize);
  }
}

// A folder of its own for each test, removed after it.
class WalkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char szTemplate[] = "/tmp/walk_test_XXXXXX";
    ASSERT_NE(mkdtemp(szTemplate), nullptr);
    sRoot = szTemplate;
  }
  // Moves the test's folder to a file system in memory, where there is one:
  // a tree of thousands of folders is made and removed there in a second,
  // where a disk may take a minute.
  void useMemory() {
    char szTemplate[] = "/dev/shm/walk_test_XXXXXX";
    if (mkdtemp(szTemplate) == nullptr) return;
    rmdir(sRoot.c_str());
    sRoot = szTemplate;
  }
  void TearDown() override {
    std::system(("chmod -R u+rwx " + sRoot + " 2>/dev/null; rm -rf " + sRoot).c_str());
  }
  void file(const std::string& sPath, std::uint64_t nSize) {
    int fd = open((sRoot + "/" + sPath).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << sPath;
    ASSERT_EQ(ftruncate(fd, static_cast<off_t>(nSize)), 0);  // sparse: no disk spent
    close(fd);
  }
  void folder(const std::string& sPath) {
    ASSERT_EQ(mkdir((sRoot + "/" + sPath).c_str(), 0755), 0);
  }
  Collected walk(int nThreads, WalkReport& report) {
    WalkOptions options;
    options.nThreads = nThreads;
    options.bTimes = true;
    return walk(options, report);
  }
  Collected walk(WalkOptions options, WalkReport& report) {
    Collected c;
    options.sFailForTest = sFailForTest;
    options.nFailErrorForTest = nFailErrorForTest;
    options.bNames = true;
    EXPECT_TRUE(walkTree(sRoot.c_str(), options, collect, &c, report));
    return c;
  }
  // Makes the chain of folders named by the parts below the root, each
  // relative to the last (their paths may pass PATH_MAX), and a file of
  // nSize bytes named szFile in the last.
  void chain(const std::vector<std::string>& parts, const char* szFile, std::uint64_t nSize) {
    int fd = open(sRoot.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (const std::string& sPart : parts) {
      if (mkdirat(fd, sPart.c_str(), 0755) != 0) {
        ASSERT_EQ(errno, EEXIST) << sPart;
      }
      int next = openat(fd, sPart.c_str(), O_RDONLY | O_DIRECTORY);
      close(fd);
      fd = next;
      ASSERT_GE(fd, 0);
    }
    int fdFile = openat(fd, szFile, O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fdFile, 0);
    ASSERT_EQ(ftruncate(fdFile, static_cast<off_t>(nSize)), 0);
    close(fdFile);
    close(fd);
  }
  // Removes the tree below the root from the top down, as no path reaches
  // so deep: each folder's subfolders are moved up into the root, whole,
  // its files removed, and it then. Each folder is moved once.
  void removeDeepTree() {
    int fdRoot = open(sRoot.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fdRoot, 0);
    for (int nMoved = 0;;) {
      DIR* pRoot = fdopendir(dup(fdRoot));
      std::string sFolder;
      while (const dirent* pEntry = readdir(pRoot)) {
        if (std::strcmp(pEntry->d_name, ".") != 0 && std::strcmp(pEntry->d_name, "..") != 0) {
          sFolder = pEntry->d_name;
          break;
        }
      }
      closedir(pRoot);
      if (sFolder.empty()) break;
      int fd = openat(fdRoot, sFolder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
      if (fd < 0) {
        ASSERT_EQ(unlinkat(fdRoot, sFolder.c_str(), 0), 0) << sFolder;
        continue;
      }
      DIR* pDir = fdopendir(fd);
      std::vector<std::pair<std::string, bool>> entries;
      while (const dirent* pEntry = readdir(pDir)) {
        if (std::strcmp(pEntry->d_name, ".") == 0 || std::strcmp(pEntry->d_name, "..") == 0) {
          continue;
        }
        entries.emplace_back(pEntry->d_name, pEntry->d_type == DT_DIR);
      }
      for (const auto& entry : entries) {
        if (entry.second) {
          std::string sUp = "moved" + std::to_string(nMoved++);
          ASSERT_EQ(renameat(dirfd(pDir), entry.first.c_str(), fdRoot, sUp.c_str()), 0);
        } else {
          ASSERT_EQ(unlinkat(dirfd(pDir), entry.first.c_str(), 0), 0) << entry.first;
        }
      }
      closedir(pDir);
      ASSERT_EQ(unlinkat(fdRoot, sFolder.c_str(), AT_REMOVEDIR), 0) << sFolder;
    }
    close(fdRoot);
  }
  std::string sRoot;
  std::string sFailForTest;  // the folders that fail to open, by name
  int nFailErrorForTest = 0;
};

// Every kind of entry, on one thread and on several: each object exactly
// once, with its apparent size, links and special files as 0 bytes, links
// never followed, names with any bytes kept whole.
TEST_F(WalkTest, FindsEveryObjectOnceWhateverTheThreads) {
  folder("a");
  folder("a/b");
  folder("empty");
  file("a/b/sparse", 5'000'000'000ull);
  file("a/small", 700);
  file("top", 0);
  const std::string kOdd = std::string("odd \x01\n\xff name");
  file("a/" + kOdd, 12);
  // Names that begin with dots are names like any other.
  folder("..d");
  file("..d/..hidden", 21);
  file(".x", 22);
  ASSERT_EQ(link((sRoot + "/a/small").c_str(), (sRoot + "/a/b/hard").c_str()), 0);
  ASSERT_EQ(symlink("a", (sRoot + "/to_folder").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", (sRoot + "/dangling").c_str()), 0);
  ASSERT_EQ(mkfifo((sRoot + "/a/fifo").c_str(), 0644), 0);
  // Enough files in one folder for several batches.
  folder("many");
  for (int i = 0; i < 2500; i++) file("many/f" + std::to_string(i), static_cast<std::uint64_t>(i));

  // On several threads; with handles kept or every folder opened by its
  // path; with or without the times, which need a stat of every object;
  // and on a file system whose entries tell no type, where the stat alone
  // tells files from folders.
  const struct {
    int nThreads;
    int nKeptHandles;
    bool bTimes;
    bool bUnknownTypes;
  } kRuns[] = {{1, 256, true, false}, {2, 256, false, false}, {4, 0, true, false},
               {1, 256, false, true}, {3, 0, false, true},    {2, 1, false, false}};
  for (const auto& run : kRuns) {
    SCOPED_TRACE(testing::Message()
                 << run.nThreads << " threads, " << run.nKeptHandles << " kept, times "
                 << run.bTimes << ", unknown types " << run.bUnknownTypes);
    WalkOptions options;
    options.nThreads = run.nThreads;
    options.nKeptHandles = run.nKeptHandles;
    options.bTimes = run.bTimes;
    options.bUnknownTypesForTest = run.bUnknownTypes;
    WalkReport report;
    Collected c = walk(options, report);
    EXPECT_EQ(report.nUnreadable, 0u);
    EXPECT_EQ(c.objects.size(), 2510u);
    Found expected = {
        {sRoot + "/a/b|sparse", {kEntryFile, 5'000'000'000ull}},
        {sRoot + "/a|small", {kEntryFile, 700}},
        {sRoot + "/a/b|hard", {kEntryFile, 700}},
        {sRoot + "/a|" + kOdd, {kEntryFile, 12}},
        {sRoot + "|top", {kEntryFile, 0}},
        {sRoot + "|to_folder", {kEntryLink, 0}},
        {sRoot + "|dangling", {kEntryLink, 0}},
        {sRoot + "/a|fifo", {kEntrySpecial, 0}},
        {sRoot + "/many|f2499", {kEntryFile, 2499}},
        {sRoot + "/..d|..hidden", {kEntryFile, 21}},
        {sRoot + "|.x", {kEntryFile, 22}},
    };
    for (const auto& item : expected) {
      ASSERT_EQ(c.objects.count(item.first), 1u) << item.first;
      EXPECT_EQ(c.objects[item.first], item.second) << item.first;
    }
    EXPECT_GE(c.nBatches, 3u);  // "many" came in parts
  }
}

// A path far longer than the system takes at once is walked, whether each
// folder is opened relative to its parent or by its path, a part at a time.
TEST_F(WalkTest, WalksPathsDeeperThanPathMax) {
  chain(std::vector<std::string>(2 * PATH_MAX / 200, std::string(200, 'd')), "leaf", 4321);
  for (int nKeptHandles : {256, 0}) {
    SCOPED_TRACE(nKeptHandles);
    WalkOptions options;
    options.nThreads = 2;
    options.nKeptHandles = nKeptHandles;
    WalkReport report;
    Collected c = walk(options, report);
    EXPECT_EQ(report.nUnreadable, 0u);
    ASSERT_EQ(c.objects.size(), 1u);
    EXPECT_EQ(std::get<1>(c.objects.begin()->second), 4321u);
    EXPECT_GT(c.nLongestFolder, static_cast<std::size_t>(2 * PATH_MAX - 400));
  }
  removeDeepTree();
}

// Folders opened by their paths: a path one byte short of PATH_MAX is opened
// whole; one of PATH_MAX bytes or more, which the system refuses whole, in
// parts. Each holds a file, which the walk must find.
TEST_F(WalkTest, OpensPathsAroundPathMaxByTheirPaths) {
  std::vector<std::string> parts;
  std::size_t nLength = sRoot.size();
  while (nLength + 201 < PATH_MAX - 8) {
    parts.push_back(std::string(200, 'p'));
    nLength += 201;
  }
  const struct {
    std::size_t nPath;
    std::uint64_t nSize;
  } kCases[] = {{PATH_MAX - 2, 1}, {PATH_MAX - 1, 2}, {PATH_MAX, 3}, {PATH_MAX + 1, 4}};
  for (const auto& c : kCases) {
    std::vector<std::string> path = parts;
    path.push_back(std::string(c.nPath - nLength - 1, 'q'));
    chain(path, "f", c.nSize);
  }
  WalkOptions options;
  options.nKeptHandles = 0;
  WalkReport report;
  Collected c = walk(options, report);
  EXPECT_EQ(report.nUnreadable, 0u);
  ASSERT_EQ(c.objects.size(), 4u);
  for (const auto& item : c.objects) {
    std::size_t nFolder = item.first.find('|');
    std::uint64_t nSize = std::get<1>(item.second);
    EXPECT_EQ(nFolder, static_cast<std::size_t>(PATH_MAX) - 3 + nSize) << nSize;
  }
  removeDeepTree();
}

// A chain of folders deeper than any real tree: every folder's file found
// once, in a folder whose path is as long as the chain, on one thread and
// on several, and its nodes freed without running out of stack.
TEST_F(WalkTest, WalksAChainTwentyThousandFoldersDeep) {
  const int kDepth = 20000;
  useMemory();
  int fd = open(sRoot.c_str(), O_RDONLY | O_DIRECTORY);
  for (int i = 0; i < kDepth; i++) {
    if (i % 1000 == 999) {
      int fdFile = openat(fd, "f", O_WRONLY | O_CREAT, 0644);
      ASSERT_GE(fdFile, 0);
      ASSERT_EQ(ftruncate(fdFile, i), 0);
      close(fdFile);
    }
    ASSERT_EQ(mkdirat(fd, "d", 0755), 0);
    int next = openat(fd, "d", O_RDONLY | O_DIRECTORY);
    close(fd);
    fd = next;
    ASSERT_GE(fd, 0);
  }
  close(fd);
  for (int nThreads : {1, 3}) {
    WalkOptions options;
    options.nThreads = nThreads;
    WalkReport report;
    Collected c = walk(options, report);
    EXPECT_EQ(report.nUnreadable, 0u);
    ASSERT_EQ(c.objects.size(), static_cast<std::size_t>(kDepth / 1000));
    std::string sDeepest = sRoot;
    for (int i = 0; i < kDepth - 1; i++) sDeepest += "/d";
    ASSERT_EQ(c.objects.count(sDeepest + "|f"), 1u);
    EXPECT_EQ(std::get<1>(c.objects[sDeepest + "|f"]), static_cast<std::uint64_t>(kDepth - 1));
  }
  removeDeepTree();
}

// A folder's path is made from its name and its ancestors', from the last
// path made: down, up, across to another branch and to another root.
TEST(WalkNodes, PathsAndAncestorsFromTheChainOfNames) {
  WalkState state;
  WalkWorker worker;
  worker.pState = &state;
  NodeRef slash = NodeRef::make(NodeRef(), FolderId{1, 2}, "/", 1, '/');
  NodeRef srv = NodeRef::make(slash, FolderId{1, 3}, "srv", 3, '/');
  NodeRef a = NodeRef::make(srv, FolderId{1, 4}, "a", 1, '/');
  NodeRef ab = NodeRef::make(a, FolderId{2, 2}, "b..", 3, '/');
  NodeRef c = NodeRef::make(srv, FolderId{1, 5}, "c", 1, '/');
  NodeRef other = NodeRef::make(NodeRef(), FolderId{1, 9}, "/x/y", 4, '/');
  NodeRef z = NodeRef::make(other, FolderId{1, 10}, "z", 1, '/');
  const struct {
    const WalkNode* pNode;
    const char* szPath;
  } kCases[] = {{ab.get(), "/srv/a/b.."}, {srv.get(), "/srv"},   {c.get(), "/srv/c"},
                {ab.get(), "/srv/a/b.."}, {slash.get(), "/"},    {z.get(), "/x/y/z"},
                {a.get(), "/srv/a"},      {other.get(), "/x/y"}, {a.get(), "/srv/a"}};
  for (const auto& k : kCases) {
    EXPECT_EQ(nodePath(worker, k.pNode), k.szPath);
    EXPECT_EQ(k.pNode->nPathLength, std::string(k.szPath).size()) << k.szPath;
  }
  EXPECT_EQ(childPath(worker, slash.get(), "new", 3), "/new");
  EXPECT_EQ(childPath(worker, c.get(), "new", 3), "/srv/c/new");
  // An ancestor is the same folder only on the same device.
  EXPECT_TRUE(isAncestor(ab.get(), FolderId{1, 3}));
  EXPECT_TRUE(isAncestor(ab.get(), FolderId{2, 2}));
  EXPECT_FALSE(isAncestor(ab.get(), FolderId{2, 3}));
  EXPECT_FALSE(isAncestor(ab.get(), FolderId{1, 5}));
  EXPECT_FALSE(isAncestor(c.get(), FolderId{1, 4}));
}

// Folders that cannot be read: their objects are left out, every one is
// counted, the first ten are kept by path, and the walk goes on.
TEST_F(WalkTest, CountsFoldersThatCannotBeRead) {
  for (int i = 0; i < 12; i++) {
    std::string sDir = "d" + std::to_string(100 + i);
    folder(sDir);
    folder(sDir + "/locked");
    file(sDir + "/locked/hidden", 10);
    file(sDir + "/seen", 20);
  }
  sFailForTest = "locked";
  nFailErrorForTest = EACCES;
  for (int nThreads : {1, 3}) {
    WalkReport report;
    Collected c = walk(nThreads, report);
    EXPECT_EQ(c.objects.size(), 12u);  // the "seen" files only
    EXPECT_EQ(c.objects.count(sRoot + "/d111|seen"), 1u);
    EXPECT_EQ(report.nUnreadable, 12u);
    EXPECT_EQ(report.firstUnreadable[0].sPath, sRoot + "/d100/locked");
    EXPECT_EQ(report.firstUnreadable[9].sPath, sRoot + "/d109/locked");
    EXPECT_EQ(report.firstUnreadable[0].nError, EACCES);
  }
}

// The root: a file is one object in its folder; a missing path is an error.
TEST_F(WalkTest, RootThatIsAFileOrMissing) {
  file("only", 99);
  Collected c;
  WalkReport report;
  WalkOptions options;
  options.bNames = true;
  ASSERT_TRUE(walkTree((sRoot + "/only").c_str(), options, collect, &c, report));
  ASSERT_EQ(c.objects.size(), 1u);
  EXPECT_EQ(c.objects.begin()->first, sRoot + "|only");
  EXPECT_FALSE(walkTree((sRoot + "/missing").c_str(), options, collect, &c, report));
  EXPECT_EQ(report.nRootError, ENOENT);
  EXPECT_EQ(c.objects.size(), 1u);
}

// A bind mount of a folder's own parent is walked once; another file
// system is crossed unless asked not to be. Needs the right to mount.
TEST_F(WalkTest, MountPointsAndLoops) {
  folder("x");
  folder("x/loop");
  folder("x/other");
  file("x/f", 5);
  if (mount((sRoot + "/x").c_str(), (sRoot + "/x/loop").c_str(), nullptr, MS_BIND, nullptr) != 0) {
    GTEST_SKIP() << "cannot mount here";
  }
  bool bTmpfs = mount("none", (sRoot + "/x/other").c_str(), "tmpfs", 0, nullptr) == 0;
  if (bTmpfs) file("x/other/g", 7);
  for (bool bOneFileSystem : {false, true}) {
    Collected c;
    WalkReport report;
    WalkOptions options;
    options.nThreads = 2;
    options.bOneFileSystem = bOneFileSystem;
    options.bNames = true;
    ASSERT_TRUE(walkTree(sRoot.c_str(), options, collect, &c, report));
    EXPECT_EQ(c.objects.count(sRoot + "/x|f"), 1u);
    EXPECT_EQ(c.objects.count(sRoot + "/x/loop|f"), 0u);
    if (bTmpfs) {
      EXPECT_EQ(c.objects.count(sRoot + "/x/other|g"), bOneFileSystem ? 0u : 1u);
    }
  }
  if (bTmpfs) umount((sRoot + "/x/other").c_str());
  umount((sRoot + "/x/loop").c_str());
}

TEST(ScanList, PathsAndLinesAsTheListingReaderNeedsThem) {
  EXPECT_EQ(absoluteWalkPath("/srv//share/./x/"), "/srv/share/x");
  EXPECT_EQ(absoluteWalkPath("/"), "/");
  EXPECT_EQ(absoluteWalkPath("/a/../b"), "/a/../b");
  std::string sOut;
  WalkObject object;
  object.nYear = 2026;
  object.nMonth = 3;
  object.nDay = 4;
  object.nSecondOfDay = 13 * 3600 + 5 * 60 + 9;
  object.nSize = 1234567;
  appendListingLine(sOut, object, "a\tb <DIR> File(s)");
  object.nType = kEntryLink;
  appendListingLine(sOut, object, "l");
  std::string sFolder;
  printableFolder("/x\ny ", 5, sFolder);
  appendListingHeader(sOut, sFolder, '/');
  EXPECT_EQ(sOut,
            "2026-03-04  13:05:09          1234567 a?b ?DIR> ?ile(s)\n"
            "2026-03-04  13:05:09        <SYMLINK> l\n"
            "\n Directory of /x?y /\n\n");
}

}  // namespace
