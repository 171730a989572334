#include "runfiles.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// A folder of its own for each test, with a listing, a log, a tree to scan
// and links to them; the tests name them relative to it.
class RunFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char szTemplate[] = "/tmp/runfiles_test_XXXXXX";
    ASSERT_NE(mkdtemp(szTemplate), nullptr);
    sRoot = szTemplate;
    ASSERT_EQ(getcwd(szOld, sizeof szOld), szOld);
    ASSERT_EQ(chdir(sRoot.c_str()), 0);
    for (const char* szFile : {"listing.txt", "log.txt", "tree/a.txt"}) {
      if (std::string(szFile).find('/') != std::string::npos) mkdir("tree", 0755);
      std::FILE* file = std::fopen(szFile, "w");
      ASSERT_NE(file, nullptr);
      std::fclose(file);
    }
    ASSERT_EQ(mkdir("tree/sub", 0755), 0);
    ASSERT_EQ(mkdir("other", 0755), 0);
    ASSERT_EQ(link("listing.txt", "hard.txt"), 0);
    ASSERT_EQ(symlink("log.txt", "soft.txt"), 0);
    ASSERT_EQ(symlink("tree/sub", "into"), 0);
    ASSERT_EQ(symlink("tree/new.txt", "dangling"), 0);
  }
  void TearDown() override {
    ASSERT_EQ(chdir(szOld), 0);
    std::system(("rm -rf " + sRoot).c_str());
  }
  std::string sRoot;
  char szOld[4096];
};

RunFiles filesOf(const char* szListing, const char* szTree, const char* szHtml,
                 const char* szList) {
  RunFiles files;
  if (szListing != nullptr) files.inputs.push_back({"the listing", szListing});
  files.inputs.push_back({"the log of --rates-from", "log.txt"});
  if (szTree != nullptr) files.trees.push_back({"the tree", szTree});
  if (szHtml != nullptr) files.outputs.push_back({"--html", szHtml});
  if (szList != nullptr) files.outputs.push_back({"--list", szList});
  return files;
}

// Every way an output can name what the run reads or writes, and outputs
// that only look alike.
TEST_F(RunFilesTest, OutputsThatWouldOverwriteWhatTheRunReadsOrWrites) {
  const struct {
    const char* szListing;
    const char* szTree;
    const char* szHtml;
    const char* szList;
    const char* szClash;
  } kCases[] = {
      {"listing.txt", nullptr, "page.html", nullptr, ""},
      {"listing.txt", nullptr, "listing.txt", nullptr,
       "--html=listing.txt would overwrite the listing 'listing.txt'"},
      {"listing.txt", nullptr, "./other/../listing.txt", nullptr,
       "--html=./other/../listing.txt would overwrite the listing 'listing.txt'"},
      {"listing.txt", nullptr, "hard.txt", nullptr,
       "--html=hard.txt would overwrite the listing 'listing.txt'"},
      {"listing.txt", nullptr, "soft.txt", nullptr,
       "--html=soft.txt would overwrite the log of --rates-from 'log.txt'"},
      {"/dev/null", nullptr, "/dev/null", nullptr, ""},  // a device is never overwritten
      {nullptr, "tree", "page.html", "page.html",
       "--html=page.html and --list=page.html would "
       "write the same file"},
      {nullptr, "tree", "other/../p", "./p",
       "--html=other/../p and --list=./p would write the "
       "same file"},
      {nullptr, "tree", "p", "other/p", ""},
      {nullptr, "tree", "/dev/null", "/dev/null", ""},
      {nullptr, "tree", nullptr, "tree/list.txt",
       "--list=tree/list.txt would be written inside 'tree', which the scan counts"},
      {nullptr, "tree", nullptr, "tree/sub/a.txt",
       "--list=tree/sub/a.txt would be written inside 'tree', which the scan counts"},
      {nullptr, "tree", nullptr, "into/list.txt",
       "--list=into/list.txt would be written inside 'tree', which the scan counts"},
      {nullptr, "tree/sub", "tree/page.html", "other/list.txt", ""},
      {nullptr, "tree/a.txt", nullptr, "tree/a.txt",
       "--list=tree/a.txt would be written inside 'tree/a.txt', which the scan counts"},
      {nullptr, "tree", nullptr, "dangling",
       "--list=dangling would be written inside 'tree', which the scan counts"},
      {nullptr, "other", "dangling", "tree/new.txt",
       "--html=dangling and --list=tree/new.txt would write the same file"},
      {nullptr, "tree", nullptr, "missing/list.txt", ""},  // cannot be written at all
      {nullptr, "missing", nullptr, "list.txt", ""},
  };
  for (const auto& c : kCases) {
    RunFiles files = filesOf(c.szListing, c.szTree, c.szHtml, c.szList);
    EXPECT_EQ(findFileClash(files), c.szClash)
        << (c.szHtml ? c.szHtml : "-") << " " << (c.szList ? c.szList : "-");
  }
}

// Standard input and output are named by the files they are.
TEST_F(RunFilesTest, StandardInputAndOutputAsTheFilesTheyAre) {
  int fdSavedIn = dup(STDIN_FILENO);
  int fdSavedOut = dup(STDOUT_FILENO);
  std::fflush(stdout);
  int fdIn = open("listing.txt", O_RDONLY);
  int fdOut = open("report.txt", O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(fdIn, 0);
  ASSERT_GE(fdOut, 0);
  dup2(fdIn, STDIN_FILENO);
  dup2(fdOut, STDOUT_FILENO);
  std::string sIn = findFileClash(filesOf("-", nullptr, "hard.txt", nullptr));
  std::string sOut = findFileClash(filesOf("-", nullptr, "other/../report.txt", nullptr));
  std::string sNone = findFileClash(filesOf("listing.txt", nullptr, "page.html", nullptr));
  dup2(fdSavedIn, STDIN_FILENO);
  dup2(fdSavedOut, STDOUT_FILENO);
  for (int fd : {fdIn, fdOut, fdSavedIn, fdSavedOut}) close(fd);
  EXPECT_EQ(sIn, "--html=hard.txt would overwrite the listing, read from standard input");
  EXPECT_EQ(sOut,
            "--html=other/../report.txt would write to standard output, which holds the report");
  EXPECT_EQ(sNone, "");
}

}  // namespace
