// Less travelled corners of the file system and the shell that callers still
// meet: error numbers, drive roots, read-only and held files, moves onto
// existing names, masks with dots.
#include <algorithm>
#include <string>
#include <vector>

#include "contract/backend.h"

namespace tw::contract {
namespace {

class FileEdgesContract : public ContractTest {
 protected:
  std::string P(const std::string& rel) const { return Scratch() + "\\" + rel; }
  void Write(const std::string& rel, const std::string& bytes) {
    auto f = Fs().CreateFile(P(rel), CreateMode::kCreateAlways);
    ASSERT_TRUE(f) << rel;
    ASSERT_TRUE(f->Write(bytes.data(), bytes.size()));
  }
  std::vector<std::string> List(const std::string& pattern) {
    std::vector<std::string> names;
    FindData fd;
    auto find = Fs().FindFirst(pattern, &fd);
    if (!find) return names;
    do {
      names.push_back(fd.name);
    } while (find->Next(&fd));
    return names;
  }
};

TEST_F(FileEdgesContract, DriveRootsAndErrorNumbers) {
  EXPECT_TRUE(Fs().GetFileAttributes("D:\\") & kAttrDirectory);
  // Wine answers a folder path with its drive's type (Windows would say
  // "no root"); callers pass roots only, so neither is asserted.
  EXPECT_EQ(Fs().GetDriveType("C:\\missing\\"), kDriveNoRootDir);
  Write("file", "x");
  EXPECT_EQ(Fs().RemoveDirectory(P("file")), kErrorDirectory);
  EXPECT_EQ(Fs().CreateDirectory(P("file")), kErrorAlreadyExists);
  EXPECT_EQ(Fs().DeleteFile(Scratch()), kErrorAccessDenied);
  long error = 0;
  FindData fd;
  EXPECT_FALSE(Fs().FindFirst(P("file\\*"), &fd, &error));
  EXPECT_NE(error, 0);
  EXPECT_FALSE(Fs().FindFirst(Scratch() + "\\", &fd, &error));
}

TEST_F(FileEdgesContract, MovesOntoExistingNames) {
  Write("a", "a");
  Write("b", "b");
  EXPECT_EQ(Fs().MoveFile(P("a"), P("b")), kErrorAlreadyExists);
  EXPECT_EQ(Fs().MoveFile(P("a"), P("A")), 0);  // onto itself: nothing to do
  EXPECT_EQ(List(P("a")).size(), 1u);
  const std::uint32_t quiet = kFofSilent | kFofNoConfirmation | kFofNoErrorUi;
  // The shell replaces the file without asking.
  EXPECT_EQ(Shell().FileOperation(kFoMove, P("A"), P("b"), quiet), 0);
  std::string bytes;
  EXPECT_TRUE(Fs().ReadFile(P("b"), &bytes));
  EXPECT_EQ(bytes, "a");
  // A move into a folder that does not exist fails and leaves the file
  // where it was (Wine will not make the folder even when told it may):
  // callers make the folder first.
  EXPECT_NE(Shell().FileOperation(kFoMove, P("b"), P("new\\deeper\\c"), quiet | kFofNoConfirmMkdir),
            0);
  EXPECT_FALSE(Fs().ReadFile(P("new\\deeper\\c"), &bytes));
  EXPECT_TRUE(Fs().ReadFile(P("b"), &bytes)) << Dump();
  ASSERT_TRUE(CreateFolderPath(Fs(), P("new\\deeper")));
  EXPECT_EQ(Shell().FileOperation(kFoMove, P("b"), P("new\\deeper\\c"), quiet), 0) << Dump();
  EXPECT_TRUE(Fs().ReadFile(P("new\\deeper\\c"), &bytes)) << Dump();
  EXPECT_EQ(bytes, "a");
}

TEST_F(FileEdgesContract, HeldFilesResistTheShell) {
  Write("held", "x");
  auto hold = m_backend->HoldOpenForWriting(P("held"));
  ASSERT_TRUE(hold);
  const std::uint32_t quiet = kFofSilent | kFofNoConfirmation | kFofNoErrorUi;
  EXPECT_NE(Fs().MoveFile(P("held"), P("moved")), 0);
  EXPECT_NE(Shell().FileOperation(kFoDelete, P("held"), "", quiet), 0);
  hold.reset();
  EXPECT_NE(Fs().GetFileAttributes(P("held")), kInvalidAttributes);
}

// Windows' shell takes paths of at most 259 characters and refuses a longer
// one, leaving the file (the memory shell does the same); Wine's shell takes
// it. Callers hand the shell no longer path; the file system's own calls
// take it everywhere.
TEST_F(FileEdgesContract, TheShellRefusesPathsTooLongForItsBuffers) {
  const std::string deep = P(std::string(120, 'd') + "\\" + std::string(120, 'e'));
  ASSERT_TRUE(CreateFolderPath(Fs(), deep));
  const std::string file = deep + "\\" + std::string(40, 'f') + ".tmp";
  ASSERT_GT(file.size(), 259u);
  auto out = Fs().CreateFile(file, CreateMode::kCreateAlways);
  ASSERT_TRUE(out);
  ASSERT_TRUE(out->Write("x", 1));
  ASSERT_TRUE(out->Close());
  const std::uint32_t quiet = kFofSilent | kFofNoConfirmation | kFofNoErrorUi;
  if (std::string(m_backend->Name()) == "memory") {
    EXPECT_NE(Shell().FileOperation(kFoDelete, file, "", quiet), 0);
    EXPECT_NE(Shell().FileOperation(kFoMove, file, P("moved.tmp"), quiet), 0);
  }
  EXPECT_NE(Fs().GetFileAttributes(file), kInvalidAttributes) << Dump();
  EXPECT_EQ(Fs().DeleteFile(file), 0);
  EXPECT_EQ(Fs().GetFileAttributes(file), kInvalidAttributes);
}

// The settings files are saved beside themselves and then put in place.
TEST_F(FileEdgesContract, MoveReplacingAnExistingFile) {
  Write("settings.new", "new");
  Write("settings", "old");
  EXPECT_EQ(Fs().MoveFileReplace(P("settings.new"), P("settings")), 0);
  std::string bytes;
  EXPECT_TRUE(Fs().ReadFile(P("settings"), &bytes));
  EXPECT_EQ(bytes, "new");
  EXPECT_EQ(Fs().GetFileAttributes(P("settings.new")), kInvalidAttributes);
  // Onto a name nobody has yet, and from a source that is missing.
  EXPECT_EQ(Fs().MoveFileReplace(P("settings"), P("fresh")), 0);
  EXPECT_NE(Fs().MoveFileReplace(P("settings"), P("fresh")), 0);
  EXPECT_TRUE(Fs().ReadFile(P("fresh"), &bytes));
  EXPECT_EQ(bytes, "new");
  // A held target stays as it was.
  Write("other", "other");
  auto hold = m_backend->HoldOpenForWriting(P("fresh"));
  ASSERT_TRUE(hold);
  EXPECT_NE(Fs().MoveFileReplace(P("other"), P("fresh")), 0);
  hold.reset();
  EXPECT_TRUE(Fs().ReadFile(P("fresh"), &bytes));
  EXPECT_EQ(bytes, "new");
  EXPECT_TRUE(Fs().ReadFile(P("other"), &bytes)) << Dump();
}

// The junk-file walk steps over linked folders by their attribute, and
// handles paths longer than the ANSI calls take.
TEST_F(FileEdgesContract, LongPathsAreListedProbedAndDeleted) {
  std::string folder = Scratch();
  while (folder.size() < 250) {
    folder += "\\" + std::string(40, 'd');
    ASSERT_EQ(Fs().CreateDirectory(folder), 0) << folder.size();
  }
  const std::string file = folder + "\\" + std::string(30, 'f') + ".tmp";
  ASSERT_GE(file.size(), 260u);
  {
    auto f = Fs().CreateFile(file, CreateMode::kCreateAlways);
    ASSERT_TRUE(f);
    ASSERT_TRUE(f->Write("x", 1));
  }
  EXPECT_EQ(List(folder + "\\*.tmp"), std::vector<std::string>{std::string(30, 'f') + ".tmp"});
  EXPECT_NE(Fs().GetFileAttributes(file), kInvalidAttributes);
  EXPECT_TRUE(Fs().CanOpenForWriteDenyWrite(file));
  EXPECT_EQ(Fs().MoveFileReplace(file, file + "2"), 0);
  EXPECT_EQ(Fs().DeleteFile(file + "2"), 0);
  EXPECT_EQ(Fs().GetFileAttributes(file + "2"), kInvalidAttributes);
  while (folder.size() > Scratch().size()) {
    EXPECT_EQ(Fs().RemoveDirectory(folder), 0);
    folder.resize(folder.rfind('\\'));
  }
}

TEST_F(FileEdgesContract, MasksWithDots) {
  for (const char* name : {"noext", "one.txt", "two.tar.gz"}) Write(name, "");
  std::vector<std::string> names;
  for (const auto& n : List(P("*."))) {
    if (n != "." && n != "..") names.push_back(n);
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"noext", "one.txt", "two.tar.gz"}));
  EXPECT_EQ(List(P("two.tar.*")), std::vector<std::string>{"two.tar.gz"});
  EXPECT_EQ(List(P("two.tar")), std::vector<std::string>{});
  EXPECT_EQ(List(P("*.gz")), std::vector<std::string>{"two.tar.gz"});
}

// A mask is also tried against the short (8.3) name, so "*.htm" finds
// "page.html" (short name PAGE~1.HTM) as it does on Windows.
TEST_F(FileEdgesContract, MasksAlsoMatchShortNames) {
  for (const char* name : {"page.html", "page.htm", "long name.tmpx", "x.tmp"}) Write(name, "");
  std::vector<std::string> htm = List(P("*.htm"));
  std::sort(htm.begin(), htm.end());
  EXPECT_EQ(htm, (std::vector<std::string>{"page.htm", "page.html"}));
  std::vector<std::string> tmp = List(P("*.tmp"));
  std::sort(tmp.begin(), tmp.end());
  EXPECT_EQ(tmp, (std::vector<std::string>{"long name.tmpx", "x.tmp"}));
}

TEST_F(FileEdgesContract, EmptyDriveRootListing) {
  // A drive root has no "." and "..": nothing matches in an empty one.
  FindData fd;
  long error = 0;
  EXPECT_FALSE(Fs().FindFirst("H:\\*", &fd, &error));
  EXPECT_EQ(error, kErrorFileNotFound);
  EXPECT_EQ(List("D:\\*")[0].substr(0, 7), "twtest_");
}

}  // namespace
}  // namespace tw::contract
