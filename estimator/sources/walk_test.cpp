#include "sources/walk.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <tuple>

#include "sources/scanlist.h"

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
    Collected c;
    WalkOptions options;
    options.sFailForTest = sFailForTest;
    options.nFailErrorForTest = nFailErrorForTest;
    options.nThreads = nThreads;
    options.bNames = true;
    options.bTimes = true;
    EXPECT_TRUE(walkTree(sRoot.c_str(), options, collect, &c, report));
    return c;
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
  ASSERT_EQ(link((sRoot + "/a/small").c_str(), (sRoot + "/a/b/hard").c_str()), 0);
  ASSERT_EQ(symlink("a", (sRoot + "/to_folder").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", (sRoot + "/dangling").c_str()), 0);
  ASSERT_EQ(mkfifo((sRoot + "/a/fifo").c_str(), 0644), 0);
  // Enough files in one folder for several batches.
  folder("many");
  for (int i = 0; i < 2500; i++) file("many/f" + std::to_string(i), static_cast<std::uint64_t>(i));

  for (int nThreads : {1, 2, 4}) {
    SCOPED_TRACE(nThreads);
    WalkReport report;
    Collected c = walk(nThreads, report);
    EXPECT_EQ(report.nUnreadable, 0u);
    EXPECT_EQ(c.objects.size(), 2508u);
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
    };
    for (const auto& item : expected) {
      ASSERT_EQ(c.objects.count(item.first), 1u) << item.first;
      EXPECT_EQ(c.objects[item.first], item.second) << item.first;
    }
    EXPECT_GE(c.nBatches, 3u);  // "many" came in parts
  }
}

// A path far longer than the system takes at once is walked relative to
// the folders above it.
TEST_F(WalkTest, WalksPathsDeeperThanPathMax) {
  int fd = open(sRoot.c_str(), O_RDONLY | O_DIRECTORY);
  const std::string kPart(200, 'd');
  for (int i = 0; i < 2 * PATH_MAX / 200; i++) {
    ASSERT_EQ(mkdirat(fd, kPart.c_str(), 0755), 0);
    int next = openat(fd, kPart.c_str(), O_RDONLY | O_DIRECTORY);
    close(fd);
    fd = next;
    ASSERT_GE(fd, 0);
  }
  int fdFile = openat(fd, "leaf", O_WRONLY | O_CREAT, 0644);
  ASSERT_EQ(ftruncate(fdFile, 4321), 0);
  close(fdFile);
  close(fd);
  WalkReport report;
  Collected c = walk(2, report);
  EXPECT_EQ(report.nUnreadable, 0u);
  ASSERT_EQ(c.objects.size(), 1u);
  EXPECT_EQ(std::get<1>(c.objects.begin()->second), 4321u);
  EXPECT_GT(c.nLongestFolder, static_cast<std::size_t>(2 * PATH_MAX - 400));
  // The TearDown's rm cannot reach so deep by path: remove it from the top down.
  std::system(("cd " + sRoot + " && find . -depth -delete 2>/dev/null").c_str());
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
