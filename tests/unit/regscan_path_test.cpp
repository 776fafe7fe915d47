// The path check: which registry texts name a missing file, which are no
// paths at all, and which must not be judged.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/memory/memory_file_system.h"
#include "platform/text.h"
#include "registry_cleaner/path_checker.h"
#include "registry_cleaner/registry_finding.h"

namespace tw {
namespace {

const std::string kInvalid = ScanTexts().invalidPath;
// 誠 (D5 5C) ends in "\"; 誂 (D5 41) ends in "A".
const std::string kSeiYen = "\xD5\x5C";
const std::string kTrailA = "\xD5\x41";

// Forwards to the memory file system and notes every search pattern.
class CRecordingFs : public CMemoryFileSystem {
 public:
  std::unique_ptr<IFileFind> FindFirst(const std::string& pattern, FindData* first,
                                       long* error = nullptr) override {
    patterns.push_back(pattern);
    if (pattern.size() > pathLimit) {
      if (error) *error = kErrorPathNotFound;
      return nullptr;
    }
    return CMemoryFileSystem::FindFirst(pattern, first, error);
  }
  std::vector<std::string> patterns;
  // Searches longer than this answer "path not found", as Windows does
  // beyond MAX_PATH whether or not the folder is there.
  std::size_t pathLimit = std::string::npos;
};

class PathCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    SetAnsiCodePage(936);
    fs.AddDrive('C', kDriveFixed);
    fs.AddDrive('D', kDriveFixed);
    fs.AddDrive('E', kDriveCdrom);
    fs.AddDrive('F', kDriveRemovable);
    fs.AddDrive('G', kDriveRemote);
    fs.AddDrive('H', kDriveRamdisk);
    ASSERT_TRUE(fs.AddFile("C:\\Program Files\\App\\app.exe"));
    ASSERT_TRUE(fs.AddFile("C:\\tools\\run.exe"));
    ASSERT_TRUE(fs.AddFile("C:\\windows\\notepad.exe"));
    ASSERT_TRUE(fs.AddFile("C:\\tool.cfg"));
    ASSERT_TRUE(fs.AddFolder("C:\\app"));
    ASSERT_TRUE(fs.AddFolder("C:\\a" + kSeiYen));
    ASSERT_TRUE(fs.AddFile("D:\\lib\\x.dll"));
  }
  CRecordingFs fs;
};

struct PathCase {
  const char* text;
  PathVerdict verdict;
  const char* shown;  // the path in the description of an invalid verdict
};

// On 64-bit Windows a System32 path of a 32-bit registration names
// SysWOW64: a file of either half keeps the entry; 32-bit Windows has one.
TEST_F(PathCheck, ASystemFolderPathLivesInEitherHalfOfA64BitSystem) {
  ASSERT_TRUE(fs.AddFile("C:\\windows\\SysWOW64\\only32.dll"));
  ASSERT_TRUE(fs.AddFile("C:\\windows\\system32\\only64.dll"));
  struct Case {
    const char* wow64Folder;
    const char* text;
    PathVerdict verdict;
  };
  const Case cases[] = {
      {"C:\\windows\\SysWOW64", "C:\\Windows\\System32\\only32.dll", PathVerdict::kValid},
      {"C:\\windows\\SysWOW64", "C:\\windows\\system32\\only64.dll", PathVerdict::kValid},
      {"C:\\windows\\SysWOW64", "C:\\windows\\system32\\neither.dll", PathVerdict::kInvalid},
      {"C:\\windows\\SysWOW64", "C:\\windows\\system32x\\only32.dll", PathVerdict::kInvalid},
      {"", "C:\\windows\\system32\\only32.dll", PathVerdict::kInvalid},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.wow64Folder) + " " + c.text);
    fs.SetSystemWow64Directory(c.wow64Folder);
    std::string description;
    EXPECT_EQ(CPathChecker(fs).Check(c.text, kInvalid, &description), c.verdict) << description;
  }
}

TEST_F(PathCheck, VerdictsFollowTheStepsInOrder) {
  const PathCase cases[] = {
      // Quotes stripped, arguments dropped by the ".*" search on the bare path.
      {"\"c:\\program files\\app\\app.exe\" /s", PathVerdict::kValid, ""},
      // Arguments after an existing program: the blank separator finds it.
      {"c:\\tools\\run.exe -x", PathVerdict::kValid, ""},
      {"C:\\Old\\Gone.dll", PathVerdict::kInvalid, "c:\\old\\gone.dll"},
      {"C:\\Old\\Gone.dll\\", PathVerdict::kInvalid, "c:\\old\\gone.dll"},
      {"\"C:\\Old\\Gone.exe\" -a", PathVerdict::kInvalid, "c:\\old\\gone.exe"},
      {"C:\\Program Files\\Microsoft Office\\x.exe", PathVerdict::kValid, ""},
      {"C:\\Office12\\x.exe", PathVerdict::kValid, ""},
      {"E:\\setup.exe", PathVerdict::kValid, ""},
      {"f:\\gone.dll", PathVerdict::kValid, ""},
      {"G:\\share\\x.dll", PathVerdict::kValid, ""},
      {"H:\\ram\\y.txt", PathVerdict::kValid, ""},
      {"%SystemRoot%\\x.dll", PathVerdict::kNotAPath, ""},
      {"x.dll", PathVerdict::kNotAPath, ""},
      {"", PathVerdict::kNotAPath, ""},
      {"c:\\", PathVerdict::kNotAPath, ""},
      {"c:\\x", PathVerdict::kInvalid, "c:\\x"},
      {"\"c:\"", PathVerdict::kNotAPath, ""},
      {"\"c:\\gone.exe", PathVerdict::kNotAPath, ""},  // no closing quote: begins with a quote
      {"http://example/x.exe", PathVerdict::kNotAPath, ""},
      // ".exe\" marker: the program exists, more path follows it.
      {"c:\\tools\\run.exe\\sub\\x", PathVerdict::kValid, ""},
      // ".*" search finds the name with an extension.
      {"c:\\tools\\run", PathVerdict::kValid, ""},
      {"c:\\windows\\notepad.exe,0", PathVerdict::kValid, ""},
      {"c:\\windows\\notepad.exe;c:\\gone", PathVerdict::kValid, ""},
      {"c:\\gone.exe,1", PathVerdict::kInvalid, "c:\\gone.exe,1"},
      // Prefix test: "c:\tool.cfg" is a prefix of the text.
      {"c:\\tool.cfgxyz", PathVerdict::kValid, ""},
      // Type-library style folder check happens in the walk; a folder alone is a path.
      {"C:\\app", PathVerdict::kValid, ""},
      {"d:\\LIB\\X.DLL", PathVerdict::kValid, ""},
  };
  for (const PathCase& c : cases) {
    std::string description;
    EXPECT_EQ(CheckFilePath(fs, c.text, &description), c.verdict) << c.text;
    if (c.verdict == PathVerdict::kInvalid) {
      EXPECT_EQ(description, kInvalid + c.shown) << c.text;
    }
  }
}

TEST_F(PathCheck, DoubleByteCharactersAreNeverSplit) {
  std::string description;
  // The folder's last byte is 0x5C as a trail byte: it is not a separator
  // to drop, so the folder is found.
  EXPECT_EQ(CheckFilePath(fs, "c:\\a" + kSeiYen, &description), PathVerdict::kValid);
  // Lower-casing leaves the "A" trail byte alone.
  EXPECT_EQ(CheckFilePath(fs, "C:\\GONE\\" + kTrailA + ".DLL", &description), PathVerdict::kInvalid);
  EXPECT_EQ(description, kInvalid + "c:\\gone\\" + kTrailA + ".dll");
  // A separator-like trail byte inside a missing path: still one path.
  EXPECT_EQ(CheckFilePath(fs, "c:\\gone\\" + kSeiYen + "x.exe", &description), PathVerdict::kInvalid);
  EXPECT_EQ(description, kInvalid + "c:\\gone\\" + kSeiYen + "x.exe");
}

TEST_F(PathCheck, DrivesThatMayBeAbsentAreNotTouched) {
  EXPECT_EQ(ListRemovableRoots(fs), "E:\\F:\\G:\\H:\\");
  for (const char* text : {"E:\\a.exe", "f:\\b.dll", "G:\\c", "h:\\d.txt"}) {
    fs.patterns.clear();
    std::string description;
    EXPECT_EQ(CheckFilePath(fs, text, &description), PathVerdict::kValid) << text;
    EXPECT_TRUE(fs.patterns.empty()) << text << " searched " << fs.patterns[0];
  }
}

TEST_F(PathCheck, SeparatorScanGivesUpAfterFiftyAttempts) {
  std::string many = "c:\\gone";
  for (int i = 0; i < 60; ++i) many += " x";
  std::string few = "c:\\gone";
  for (int i = 0; i < 10; ++i) few += " x";
  std::string description;
  EXPECT_EQ(CheckFilePath(fs, many, &description), PathVerdict::kNotAPath);
  EXPECT_EQ(CheckFilePath(fs, few, &description), PathVerdict::kInvalid);
  // A trailing blank makes the last candidate differ from the text, so the
  // scan keeps coming round until the limit.
  EXPECT_EQ(CheckFilePath(fs, "c:\\gone\\x.exe ", &description), PathVerdict::kNotAPath);
}

TEST_F(PathCheck, CachingWithinARunGivesTheSameAnswers) {
  const char* texts[] = {"C:\\Old\\Gone.dll", "c:\\tools\\run.exe -x", "E:\\a", "c:\\tool.cfgxyz",
                         "C:\\Old\\Gone.dll", "x.dll", "c:\\gone.exe,1"};
  CPathChecker fresh(fs, false);
  CPathChecker cached(fs, true);
  for (const char* text : texts) {
    std::string a, b;
    EXPECT_EQ(fresh.Check(text, kInvalid, &a), cached.Check(text, kInvalid, &b)) << text;
    EXPECT_EQ(a, b);
  }
  fs.patterns.clear();
  std::string d;
  cached.Check("C:\\Old\\Gone.dll", kInvalid, &d);
  EXPECT_TRUE(fs.patterns.empty());
}

TEST_F(PathCheck, AFolderKnownMissingAnswersEverySearchBelowIt) {
  CPathChecker cached(fs, true);
  std::string d;
  EXPECT_EQ(cached.Check("C:\\Old\\Gone.dll", kInvalid, &d), PathVerdict::kInvalid);
  fs.patterns.clear();
  for (const char* text : {"c:\\old\\other.exe /s", "\"C:\\OLD\\x.y.z\""}) {
    std::string fresh, again;
    EXPECT_EQ(cached.Check(text, kInvalid, &again), PathVerdict::kInvalid) << text;
    EXPECT_EQ(CheckFilePath(fs, text, &fresh), PathVerdict::kInvalid) << text;
    EXPECT_EQ(again, fresh);
  }
  // Only the uncached checks searched.
  for (const std::string& p : fs.patterns) EXPECT_EQ(p.find("c:\\old\\"), 0u) << p;
  std::size_t searched = fs.patterns.size();
  fs.patterns.clear();
  cached.Check("c:\\old\\third.dll", kInvalid, &d);
  cached.Check("c:\\old\\deeper\\still\\x.dll", kInvalid, &d);
  EXPECT_TRUE(fs.patterns.empty()) << fs.patterns[0];
  EXPECT_GT(searched, 0u);

  // In a folder that is there, one listing of the folder answers every
  // form of a stale name; a sibling with that name is still told apart.
  fs.patterns.clear();
  EXPECT_EQ(cached.Check("c:\\tools\\gone.dat", kInvalid, &d), PathVerdict::kInvalid);
  EXPECT_EQ(fs.patterns, std::vector<std::string>{"c:\\tools\\*"});
  EXPECT_EQ(cached.Check("c:\\tools\\run.bak", kInvalid, &d), PathVerdict::kInvalid);
  EXPECT_EQ(d, kInvalid + "c:\\tools\\run.bak");
  EXPECT_EQ(cached.Check("c:\\tools\\run.exe -x", kInvalid, &d), PathVerdict::kValid);

  // "Path not found" for one long search is no proof: the folder is there,
  // and the next file in it is still found.
  fs.pathLimit = 30;
  CPathChecker limited(fs, true);
  EXPECT_EQ(limited.Check("c:\\tools\\a-rather-long-name-of-a-file.exe", kInvalid, &d),
            PathVerdict::kInvalid);
  EXPECT_EQ(limited.Check("c:\\tools\\run.exe", kInvalid, &d), PathVerdict::kValid);
}

}  // namespace
}  // namespace tw
