// What callers rely on from the file system and the shell, asserted alike
// on the in-memory file system and on the real one (under Wine), inside a
// scratch folder on D:.
#include <algorithm>
#include <string>
#include <vector>

#include "contract/backend.h"
#include "platform/text.h"

namespace tw::contract {
namespace {

class FileSystemContract : public ContractTest {
 protected:
  std::string P(const std::string& rel) const { return Scratch() + "\\" + rel; }
  void Write(const std::string& rel, const std::string& bytes) {
    long error = 0;
    auto f = Fs().CreateFile(P(rel), CreateMode::kCreateAlways, &error);
    ASSERT_TRUE(f) << rel << " error " << error;
    ASSERT_TRUE(f->Write(bytes.data(), bytes.size()));
    ASSERT_TRUE(f->Close());
  }
  void Folder(const std::string& rel) { ASSERT_EQ(Fs().CreateDirectory(P(rel)), 0) << rel; }
  // Every name FindFirst/Next gives for a pattern, in the order given.
  std::vector<std::string> List(const std::string& pattern, long* error = nullptr) {
    std::vector<std::string> names;
    FindData fd;
    auto find = Fs().FindFirst(pattern, &fd, error);
    if (!find) return names;
    do {
      names.push_back(fd.name);
    } while (find->Next(&fd));
    return names;
  }
  static std::vector<std::string> Sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
  }
};

TEST_F(FileSystemContract, DriveStringsTypesAndLabels) {
  const std::string drives = Fs().GetLogicalDriveStrings(100);
  EXPECT_EQ(drives, std::string("C:\\\0D:\\\0E:\\\0F:\\\0G:\\\0H:\\\0P:\\\0\0", 29))
      << "drives: " << drives;
  EXPECT_EQ(Fs().GetLogicalDriveStrings(28), "");  // one byte short
  EXPECT_EQ(Fs().GetLogicalDriveStrings(29).size(), 29u);
  struct Case {
    const char* root;
    std::uint32_t type;
  } cases[] = {
      {"C:\\", kDriveFixed},     {"D:\\", kDriveFixed},     {"E:\\", kDriveCdrom},
      {"F:\\", kDriveRemovable}, {"G:\\", kDriveRemote},    {"H:\\", kDriveRamdisk},
      {"P:\\", kDriveRemote},    {"Q:\\", kDriveNoRootDir}, {"c:\\", kDriveFixed},
  };
  for (const Case& c : cases) EXPECT_EQ(Fs().GetDriveType(c.root), c.type) << c.root;
  std::string label = "x";
  EXPECT_TRUE(Fs().GetVolumeLabel("C:\\", &label));
  EXPECT_EQ(label, "");  // the test prefix's drives have no labels
  EXPECT_TRUE(Fs().GetVolumeLabel("E:\\", &label));
  EXPECT_FALSE(Fs().GetVolumeLabel("Q:\\", &label));
}

TEST_F(FileSystemContract, FolderListingIncludesDotEntriesFirst) {
  Write("b.txt", "12345");
  Write("A.txt", "");
  Folder("sub");
  std::vector<std::string> names = List(P("*"));
  ASSERT_GE(names.size(), 2u) << Dump();
  // Sorted without regard to case, as NTFS and Wine list a folder.
  EXPECT_EQ(names, (std::vector<std::string>{".", "..", "A.txt", "b.txt", "sub"}));
  // Entry details.
  FindData fd;
  ASSERT_TRUE(Fs().FindFirst(P("B.TXT"), &fd));
  EXPECT_EQ(fd.name, "b.txt");
  EXPECT_EQ(fd.size, 5u);
  EXPECT_FALSE(fd.IsDirectory());
  ASSERT_TRUE(Fs().FindFirst(P("sub"), &fd));
  EXPECT_TRUE(fd.IsDirectory());
  EXPECT_EQ(List(P("sub\\*")), (std::vector<std::string>{".", ".."}));
}

TEST_F(FileSystemContract, WildcardsAsFindFirstFile) {
  for (const char* name : {"name", "name.txt", "names", "a.tmp", "a.tmp.bak", "x.y.z"})
    Write(name, "");
  struct Case {
    const char* mask;
    std::vector<std::string> found;
  } cases[] = {
      {"name.*", {"name", "name.txt"}},
      {"name.", {"name"}},  // a trailing dot is dropped
      {"NAME", {"name"}},
      {"*.tmp", {"a.tmp"}},
      {"*.*", {"a.tmp", "a.tmp.bak", "name", "name.txt", "names", "x.y.z"}},
      {"name?", {"names"}},
      {"*.z", {"x.y.z"}},
      {"nam.*", {}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> names;
    for (const std::string& n : List(P(c.mask))) {
      if (n != "." && n != "..") names.push_back(n);
    }
    EXPECT_EQ(Sorted(names), c.found) << c.mask << "\n" << Dump();
  }
  EXPECT_NE(Fs().GetFileAttributes(P("name.")), kInvalidAttributes);
}

TEST_F(FileSystemContract, MissingThingsArePlainNo) {
  long error = 0;
  FindData fd;
  EXPECT_FALSE(Fs().FindFirst(P("missing.txt"), &fd, &error));
  EXPECT_EQ(error, kErrorFileNotFound);
  EXPECT_FALSE(Fs().FindFirst(P("missing\\*"), &fd, &error));
  EXPECT_EQ(error, kErrorPathNotFound);
  EXPECT_FALSE(Fs().FindFirst("Q:\\*", &fd, &error));
  EXPECT_FALSE(PathExists(Fs(), P("missing.*")));
  EXPECT_EQ(Fs().GetFileAttributes(P("missing")), kInvalidAttributes);
  EXPECT_EQ(Fs().GetFileAttributes("Q:\\x"), kInvalidAttributes);
  EXPECT_EQ(Fs().DeleteFile(P("missing")), kErrorFileNotFound);
  EXPECT_EQ(Fs().RemoveDirectory(P("missing")), kErrorFileNotFound);
  EXPECT_EQ(Fs().MoveFile(P("missing"), P("other")), kErrorFileNotFound);
  std::string bytes;
  EXPECT_FALSE(Fs().ReadFile(P("missing"), &bytes));
  EXPECT_FALSE(Fs().CanOpenForWriteDenyWrite(P("missing")));
  EXPECT_EQ(Fs().GetLongPathName(P("missing")), "");
  EXPECT_EQ(Fs().GetShortPathName(P("missing")), "");
}

TEST_F(FileSystemContract, CreateModesAndReading) {
  Write("f.txt", "first");
  long error = 0;
  EXPECT_FALSE(Fs().CreateFile(P("f.txt"), CreateMode::kCreateNew, &error));
  EXPECT_EQ(error, kErrorFileExists);
  {
    auto f = Fs().CreateFile(P("f.txt"), CreateMode::kOpenAppend, &error);
    ASSERT_TRUE(f);
    ASSERT_TRUE(f->Write("+more", 5));
    EXPECT_TRUE(f->Close());
    EXPECT_TRUE(f->Close());  // twice is fine
  }
  std::string bytes;
  ASSERT_TRUE(Fs().ReadFile(P("f.txt"), &bytes));
  EXPECT_EQ(bytes, "first+more");
  Write("f.txt", std::string("a\r\nb\0c", 6));
  ASSERT_TRUE(Fs().ReadFile(P("F.TXT"), &bytes));
  EXPECT_EQ(bytes, std::string("a\r\nb\0c", 6));
  EXPECT_FALSE(Fs().CreateFile(P("nofolder\\f.txt"), CreateMode::kCreateAlways, &error));
  EXPECT_EQ(error, kErrorPathNotFound);
  Folder("dir");
  EXPECT_FALSE(Fs().CreateFile(P("dir"), CreateMode::kCreateAlways, &error));
  EXPECT_FALSE(Fs().ReadFile(P("dir"), &bytes));
}

// A deletion that answers success has taken the name: a holder that shares
// deletion would otherwise keep the file there until it lets go.
TEST_F(FileSystemContract, AFileHeldOpenWithDeleteSharedIsNotDeleted) {
  Write("shared.txt", "x");
  {
    auto hold = m_backend->HoldOpenForWriting(P("shared.txt"), true);
    ASSERT_TRUE(hold);
    EXPECT_EQ(Fs().DeleteFile(P("shared.txt")), kErrorSharingViolation);
    EXPECT_TRUE(PathExists(Fs(), P("shared.txt")));
  }
  EXPECT_EQ(Fs().DeleteFile(P("shared.txt")), 0);
  EXPECT_FALSE(PathExists(Fs(), P("shared.txt")));
}

TEST_F(FileSystemContract, FilesHeldOpenByOthers) {
  Write("held.txt", "x");
  Write("free.txt", "x");
  EXPECT_TRUE(Fs().CanOpenForWriteDenyWrite(P("free.txt")));
  EXPECT_TRUE(Fs().CanOpenForWriteDenyWrite(P("free.txt")));  // and it was closed again
  {
    auto hold = m_backend->HoldOpenForWriting(P("held.txt"));
    ASSERT_TRUE(hold);
    EXPECT_FALSE(Fs().CanOpenForWriteDenyWrite(P("held.txt")));
    EXPECT_NE(Fs().DeleteFile(P("held.txt")), 0);
    EXPECT_TRUE(PathExists(Fs(), P("held.txt")));
    // Our own writer counts as a writer too.
    auto mine = Fs().CreateFile(P("free.txt"), CreateMode::kOpenAppend);
    ASSERT_TRUE(mine);
    EXPECT_FALSE(Fs().CanOpenForWriteDenyWrite(P("free.txt")));
  }
  EXPECT_TRUE(Fs().CanOpenForWriteDenyWrite(P("held.txt")));
  EXPECT_TRUE(Fs().CanOpenForWriteDenyWrite(P("free.txt")));
  EXPECT_EQ(Fs().DeleteFile(P("held.txt")), 0);
  // Paths longer than the 128 characters OpenFile takes get the same answer.
  const std::string deep = std::string(60, 'd') + "\\" + std::string(60, 'e');
  ASSERT_TRUE(CreateFolderPath(Fs(), P(deep)));
  Write(deep + "\\" + std::string(40, 'f') + ".tmp", "x");
  const std::string longFile = P(deep + "\\" + std::string(40, 'f') + ".tmp");
  ASSERT_GT(longFile.size(), 160u);
  EXPECT_TRUE(Fs().CanOpenForWriteDenyWrite(longFile));
  auto hold = m_backend->HoldOpenForWriting(longFile);
  ASSERT_TRUE(hold);
  EXPECT_FALSE(Fs().CanOpenForWriteDenyWrite(longFile));
}

TEST_F(FileSystemContract, FoldersCreatedRemovedAndMoved) {
  EXPECT_TRUE(CreateFolderPath(Fs(), P("a\\b\\c\\")));
  EXPECT_TRUE(Fs().GetFileAttributes(P("a\\b\\c")) & kAttrDirectory);
  EXPECT_TRUE(CreateFolderPath(Fs(), P("a\\b\\c")));  // exists: left alone
  EXPECT_EQ(Fs().CreateDirectory(P("a")), kErrorAlreadyExists);
  EXPECT_EQ(Fs().CreateDirectory(P("x\\y")), kErrorPathNotFound);
  Write("a\\file", "x");
  EXPECT_FALSE(CreateFolderPath(Fs(), P("a\\file\\sub")));
  EXPECT_EQ(Fs().RemoveDirectory(P("a\\b")), kErrorDirNotEmpty);
  EXPECT_EQ(Fs().RemoveDirectory(P("a\\b\\c")), 0);
  EXPECT_EQ(Fs().MoveFile(P("a\\file"), P("a\\b\\moved")), 0);
  EXPECT_EQ(Fs().GetFileAttributes(P("a\\file")), kInvalidAttributes);
  std::string bytes;
  ASSERT_TRUE(Fs().ReadFile(P("a\\b\\moved"), &bytes));
  EXPECT_EQ(bytes, "x");
  Write("other", "y");
  EXPECT_NE(Fs().MoveFile(P("other"), P("a\\b\\moved")), 0);  // no overwriting
  EXPECT_EQ(Fs().MoveFile(P("a"), P("renamed")), 0);          // a whole folder
  EXPECT_TRUE(Fs().ReadFile(P("renamed\\b\\moved"), &bytes));
}

TEST_F(FileSystemContract, LongAndShortNames) {
  Folder("Long Folder Name");
  Write("Long Folder Name\\Some Long File.html", "x");
  const std::string longPath = P("Long Folder Name\\Some Long File.html");
  const std::string shortPath = Fs().GetShortPathName(longPath);
  ASSERT_FALSE(shortPath.empty()) << Dump();
  EXPECT_NE(shortPath, longPath);
  EXPECT_EQ(FindChar(shortPath, ' '), std::string::npos) << shortPath;
  EXPECT_NE(Fs().GetFileAttributes(shortPath), kInvalidAttributes) << shortPath;
  EXPECT_TRUE(EqualsNoCase(Fs().GetLongPathName(shortPath), longPath))
      << shortPath << " -> " << Fs().GetLongPathName(shortPath);
  // Long parts keep the caller's spelling.
  EXPECT_EQ(Fs().GetLongPathName(P("LONG FOLDER NAME\\some long file.HTML")),
            P("LONG FOLDER NAME\\some long file.HTML"));
  // A folder's listing carries each entry's short name, which a search of
  // that name finds.
  std::string shortName;
  SplitAtLastBackslash(shortPath, nullptr, &shortName);
  FindData fd;
  std::string listedShort = "(not listed)";
  if (auto find = Fs().FindFirst(P("Long Folder Name\\*"), &fd)) {
    do {
      if (fd.name == "Some Long File.html") listedShort = fd.shortName;
    } while (find->Next(&fd));
  }
  EXPECT_TRUE(EqualsNoCase(listedShort, shortName)) << listedShort << " against " << shortName;
  ASSERT_TRUE(Fs().FindFirst(P("Long Folder Name\\") + shortName, &fd));
  EXPECT_EQ(fd.name, "Some Long File.html");
  // A short name stays as it is.
  Write("short.txt", "");
  std::string name;
  SplitAtLastBackslash(Fs().GetShortPathName(P("short.txt")), nullptr, &name);
  EXPECT_TRUE(EqualsNoCase(name, "short.txt")) << name;
}

TEST_F(FileSystemContract, SystemFolders) {
  const std::string temp = Fs().GetTempPath();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), '\\');
  EXPECT_TRUE(Fs().GetFileAttributes(temp) & kAttrDirectory) << temp;
  const std::string windows = Fs().GetWindowsDirectory();
  EXPECT_TRUE(EqualsNoCase(windows, "C:\\windows")) << windows;
  EXPECT_NE(Fs().GetFileAttributes(windows + "\\regedit.exe"), kInvalidAttributes);
  const std::string folder = GetProgramFolder(Fs());
  EXPECT_TRUE(EqualsNoCase(folder, "P:")) << folder;
  EXPECT_NE(Fs().GetFileAttributes(Fs().GetModuleFileName()), kInvalidAttributes);
}

// Names whose trail byte is "\" or an ASCII capital, created and found again.
TEST_F(FileSystemContract, DoubleByteNames) {
  // The test prefix always runs with 936: a skip here would hide the case.
  ASSERT_EQ(GetAnsiCodePage(), 936u) << "the tests run with the ANSI code page 936";
  const std::string folder = "\x95\x5C";
  const std::string file = "\xB1\x5C.txt";
  const std::string capital = "\x83\x41.txt";
  Folder(folder);
  Write(folder + "\\" + file, "gbk");
  Write(folder + "\\" + capital, "A");
  EXPECT_EQ(Sorted(List(P(folder + "\\*"))), Sorted({".", "..", file, capital})) << Dump();
  EXPECT_EQ(List(P(folder + "\\?.txt")).size(), 2u);
  std::string bytes;
  ASSERT_TRUE(Fs().ReadFile(P(folder + "\\" + file), &bytes));
  EXPECT_EQ(bytes, "gbk");
  // The lower-case twin of the capital's trail byte is another character.
  EXPECT_FALSE(PathExists(Fs(), P(folder + "\\\x83\x61.txt")));
  std::string parent, name;
  SplitAtLastBackslash(P(folder + "\\" + file), &parent, &name);
  EXPECT_EQ(parent, P(folder));
  EXPECT_EQ(name, file);
  EXPECT_TRUE(CreateFolderPath(Fs(), P(folder + "\\" + "\xB1\x5C\\\x95\x5C")));
  EXPECT_TRUE(Fs().GetFileAttributes(P(folder + "\\\xB1\x5C\\\x95\x5C")) & kAttrDirectory);
}

TEST_F(FileSystemContract, ShellDeleteRecycleAndMove) {
  Write("gone.txt", "x");
  Write("recycled.txt", "x");
  Folder("tree");
  Write("tree\\inner.txt", "x");
  Folder("target");
  Write("mover.txt", "m");
  const std::uint32_t quiet = kFofSilent | kFofNoConfirmation | kFofNoErrorUi;
  EXPECT_NE(Shell().FileOperation(kFoDelete, P("missing.txt"), "", quiet | kFofAllowUndo), 0);
  EXPECT_EQ(Shell().FileOperation(kFoDelete, P("recycled.txt"), "", quiet | kFofAllowUndo), 0);
  EXPECT_EQ(Fs().GetFileAttributes(P("recycled.txt")), kInvalidAttributes);
  EXPECT_EQ(Shell().FileOperation(kFoDelete, P("gone.txt"), "", quiet), 0);
  EXPECT_EQ(Fs().GetFileAttributes(P("gone.txt")), kInvalidAttributes);
  EXPECT_EQ(Shell().FileOperation(kFoDelete, P("tree"), "", quiet), 0);
  EXPECT_EQ(Fs().GetFileAttributes(P("tree")), kInvalidAttributes);
  EXPECT_EQ(Shell().FileOperation(kFoMove, P("mover.txt"), P("target"), quiet), 0);
  std::string bytes;
  EXPECT_TRUE(Fs().ReadFile(P("target\\mover.txt"), &bytes));
  EXPECT_EQ(bytes, "m");
  EXPECT_EQ(Fs().GetFileAttributes(P("mover.txt")), kInvalidAttributes);
}

TEST_F(FileSystemContract, StartingPrograms) {
  EXPECT_FALSE(Shell().CreateProcess(P("missing.exe") + " /x"));
  EXPECT_FALSE(Shell().ShellExecute("open", P("missing.exe"), "", kSwHide));
  EXPECT_TRUE(Shell().CreateProcess("C:\\windows\\system32\\cmd.exe /c exit 0"));
}

}  // namespace
}  // namespace tw::contract
