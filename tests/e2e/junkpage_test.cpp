// The junk-file page end to end: the real tidewell.exe scans a scratch drive
// seeded here (nested junk, a held file, a linked folder that points at its
// own parent, a sparse file over 4 GB, files in the temporary folder, a name
// the ANSI code page cannot spell),
// removes files to the recycle bin, outright and into the backup folder, and
// keeps its settings and types in File.ini across a restart.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "e2e/driver.h"
#include "e2e/junkpage_windows.h"

namespace tw::e2e {
namespace {

constexpr DWORD kRunTimeoutMs = 120000;
const char kScratch[] = "D:\\tw_junk_e2e";
const char kBackup[] = "D:\\tw_junk_e2e_bk";

std::string IniPath() { return ProgramFolder() + "File.ini"; }

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The user's trash as Wine keeps it: $XDG_DATA_HOME/Trash, reached through
// Wine's "\\?\unix" namespace (no drive letter maps there).
std::wstring TrashPath(const std::wstring& rest) {
  wchar_t data[1024] = {};
  GetEnvironmentVariableW(L"XDG_DATA_HOME", data, 1024);
  std::wstring path = L"\\\\?\\unix" + std::wstring(data) + L"/Trash" + rest;
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

// A desktop has its trash folder; Wine's shell uses it only when it is there.
void MakeTrash() {
  std::wstring path = TrashPath(L"/files");
  for (std::size_t p = path.find(L'\\', 9); p != std::wstring::npos; p = path.find(L'\\', p + 1)) {
    CreateDirectoryW(path.substr(0, p).c_str(), nullptr);
  }
  CreateDirectoryW(path.c_str(), nullptr);
  CreateDirectoryW(TrashPath(L"/info").c_str(), nullptr);
}

// The temporary folder as the page lists it: lower case, no trailing "\".
std::string TempFolderLower() {
  char buf[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, buf);
  std::string t = buf;
  t.pop_back();
  char longForm[MAX_PATH] = {};
  if (GetLongPathNameA(t.c_str(), longForm, MAX_PATH)) t = longForm;
  CharLowerA(t.data());
  return t;
}

struct JunkPage : JunkPageWindows {
  std::set<std::string> Rows() const {
    std::set<std::string> out;
    for (const auto& r : ListViewRows(results, 2)) out.insert(r[0] + " | " + r[1]);
    return out;
  }
  bool Scan(int expectRows) {
    Click(Button(1034));
    return WaitScanned(expectRows);
  }
  bool WaitScanned(int expectRows) {
    return WaitFor(
        [&] {
          return Pane(0) == "扫描完成." && Pane(1) == "总共: " + std::to_string(expectRows) &&
                 GetText(Button(1034)) == "扫描" && ListViewRowCount(results) == expectRows;
        },
        kRunTimeoutMs);
  }
  bool WaitDeleted(int left, int deleted) {
    const std::string counts =
        "总共: " + std::to_string(left) + "   删除: " + std::to_string(deleted);
    return WaitFor(
        [&] {
          return Pane(0) == "Tidewell" && Pane(1) == counts && GetText(Button(1032)) == "删除" &&
                 IsEnabled(Button(1034));
        },
        kRunTimeoutMs);
  }
  void AddType(CAppUnderTest& app, const std::string& pattern, const std::string& description) {
    Click(Button(1024));
    HWND dialog = app.WaitForWindow("Temp File Type", "#32770");
    ASSERT_NE(dialog, nullptr);
    SetText(FindControl(dialog, 1030), pattern);
    SetText(FindControl(dialog, 1031), description);
    Click(FindControl(dialog, IDOK));
    ASSERT_TRUE(WaitForGone(dialog));
  }
};

class JunkPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetStartCount();
    RemoveScratchTree(kScratch);
    RemoveScratchTree(kBackup);
    DeleteFileA(IniPath().c_str());
    ASSERT_TRUE(CreateDirectoryA(kScratch, nullptr));
  }
  void TearDown() override {
    app.End();
    // A test that swapped the trash for a plain file puts it back, whether
    // or not it got to the end.
    if (GetFileAttributesW(TrashPath(L".e2e_saved").c_str()) != INVALID_FILE_ATTRIBUTES) {
      const std::wstring trash = TrashPath(L"");
      DeleteFileW(trash.c_str());
      MoveFileW(TrashPath(L".e2e_saved").c_str(), trash.c_str());
    }
    RemoveScratchTree(kScratch);
    RemoveScratchTree(kBackup);
    DeleteFileA(IniPath().c_str());
  }
  std::string S(const std::string& rel) const { return std::string(kScratch) + "\\" + rel; }
  void Seed(const std::string& rel, const std::string& bytes = "x") {
    std::string folder = S(rel);
    folder.resize(folder.rfind('\\'));
    for (std::size_t p = std::string(kScratch).size(); p != std::string::npos;
         p = folder.find('\\', p + 1)) {
      CreateDirectoryA(folder.substr(0, p).c_str(), nullptr);
    }
    CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(S(rel), bytes)) << rel;
  }
  CAppUnderTest app;
  JunkPage junk;
};

TEST_F(JunkPageTest, ScanListsTheChosenJunkAndSettingsSurviveARestart) {
  Seed("a.tmp", "abc");
  Seed("Nested\\B.TMP", "12345");
  Seed("Nested\\Deeper\\c.tmp", "");
  Seed("keep.txt");
  Seed("microsoft.tmp");
  Seed("Office Files\\x.tmp");
  Seed("held.tmp");
  // Held open by this test without write sharing: passed over by the probe.
  HANDLE held = CreateFileA(S("held.tmp").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  // A linked folder that points at its own parent: entered, the walk would
  // never end.
  ASSERT_TRUE(CreateSymbolicLinkA(S("Nested\\loop").c_str(), kScratch, SYMBOLIC_LINK_FLAG_DIRECTORY));
  ASSERT_EQ(GetFileAttributesA(S("Nested\\loop").c_str()) & 0x410u, 0x410u);
  // A sparse file over 4 GB.
  {
    HANDLE big = CreateFileA(S("big.tmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                             nullptr);
    ASSERT_NE(big, INVALID_HANDLE_VALUE);
    LARGE_INTEGER at;
    at.QuadPart = 5368709120LL;
    ASSERT_TRUE(SetFilePointerEx(big, at, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(big));
    CloseHandle(big);
  }
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string tempOne = std::string(temp) + "tw_junk_e2e_1.tmp";
  const std::string tempTwo = std::string(temp) + "tw_junk_e2e_2.log";
  ASSERT_TRUE(WriteFileBytes(tempOne, "1"));
  ASSERT_TRUE(WriteFileBytes(tempTwo, "22"));

  ASSERT_TRUE(app.Start());
  ASSERT_TRUE(junk.Open(app));
  // The defaults without File.ini, and the backup folder made at start-up.
  EXPECT_TRUE(IsShown(junk.types));
  EXPECT_FALSE(IsShown(junk.results));
  EXPECT_TRUE(IsChecked(junk.Button(1018)));
  EXPECT_FALSE(IsChecked(junk.Button(1028)));
  EXPECT_TRUE(IsChecked(junk.Button(1029)));
  EXPECT_FALSE(IsEnabled(junk.Button(1021)));
  EXPECT_EQ(GetText(junk.Button(1021)), ProgramFolder() + "FileBackup");
  EXPECT_TRUE(GetFileAttributesA((ProgramFolder() + "FileBackup").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(ListViewRowCount(junk.types), 0);

  junk.AddType(app, "*.tmp", "临时文件");
  // The same pattern in capitals is refused.
  junk.AddType(app, "*.TMP", "");
  MessageBoxInfo box = WaitForMessageBox(app.Pid(), "Tidewell");
  ASSERT_TRUE(box);
  EXPECT_EQ(box.text, "文件类型已存在。");
  AnswerMessageBox(box.hwnd, IDOK);
  EXPECT_EQ(ListViewRows(junk.types, 2), (std::vector<std::vector<std::string>>{{"*.tmp", "临时文件"}}));
  EXPECT_TRUE(ListViewChecked(junk.types, 0));

  // First the chosen folder alone, the temporary folder option off.
  Click(junk.Button(1029));
  ASSERT_TRUE(junk.TickOnly("(D:)", "tw_junk_e2e"));
  ASSERT_TRUE(junk.Scan(4)) << junk.Pane(0) << " / " << junk.Pane(1);
  const std::set<std::string> expected = {
      "d:\\tw_junk_e2e\\a.tmp | 3 BYTE",
      "d:\\tw_junk_e2e\\big.tmp | 5368709120 BYTE",
      "d:\\tw_junk_e2e\\nested\\B.TMP | 5 BYTE",
      "d:\\tw_junk_e2e\\nested\\deeper\\c.tmp | 0 BYTE",
  };
  EXPECT_EQ(junk.Rows(), expected);
  EXPECT_TRUE(IsShown(junk.results));
  EXPECT_FALSE(IsShown(junk.types));
  Screenshot("junkpage_results");
  Click(junk.Button(1015));
  ASSERT_TRUE(WaitFor([&] { return IsShown(junk.types); }));
  Screenshot("junkpage_settings");

  // With the option on, the temporary folder is walked whole as well.
  Click(junk.Button(1029));
  Click(junk.Button(1034));
  ASSERT_TRUE(WaitFor([&] {
    return junk.Pane(0) == "扫描完成." && GetText(junk.Button(1034)) == "扫描" &&
           ListViewRowCount(junk.results) > 4;
  }, kRunTimeoutMs));
  const std::set<std::string> rows = junk.Rows();
  for (const auto& row : expected) EXPECT_TRUE(rows.count(row)) << row;
  EXPECT_TRUE(rows.count(TempFolderLower() + "\\tw_junk_e2e_1.tmp | 1 BYTE"));
  EXPECT_TRUE(rows.count(TempFolderLower() + "\\tw_junk_e2e_2.log | 2 BYTE"));
  EXPECT_EQ(junk.Pane(1), "总共: " + std::to_string(rows.size()));
  CloseHandle(held);
  DeleteFileA(tempOne.c_str());
  DeleteFileA(tempTwo.c_str());

  // Settings and types survive a restart through File.ini.
  Click(junk.Button(1015));
  Click(junk.Button(1020));
  ASSERT_TRUE(WaitFor([&] { return IsEnabled(junk.Button(1021)); }));
  SetText(junk.Button(1021), kBackup);
  EXPECT_EQ(app.End(), CAppUnderTest::Ending::Closed);
  EXPECT_EQ(ReadFileBytes(IniPath()),
            std::string("2\r\n0\r\n1\r\n") + kBackup + "\r\n1\r\n*.tmp\r\n" +
                "\xC1\xD9\xCA\xB1\xCE\xC4\xBC\xFE\r\n");
  CAppUnderTest again;
  ASSERT_TRUE(again.Start()) << again.LastError();
  ASSERT_TRUE(junk.Open(again));
  EXPECT_TRUE(IsChecked(junk.Button(1020)));
  EXPECT_TRUE(IsChecked(junk.Button(1029)));
  EXPECT_EQ(GetText(junk.Button(1021)), kBackup);
  EXPECT_EQ(ListViewRows(junk.types, 2), (std::vector<std::vector<std::string>>{{"*.tmp", "临时文件"}}));
  EXPECT_TRUE(ListViewChecked(junk.types, 0));
  again.End();
}

TEST_F(JunkPageTest, PauseHoldsTheFoundCountAndResumeFinishesTheScan) {
  // Built by appending: gcc 12 warns falsely of overlapping copies for "p" + string.
  for (int i = 0; i < 20; ++i) Seed(std::string("p").append(std::to_string(i)).append(".tmp"));
  ASSERT_TRUE(WriteFileBytes(IniPath(), std::string("1\r\n0\r\n0\r\n") + kBackup + "\r\n1\r\n*.tmp\r\n\r\n"));
  ASSERT_TRUE(app.Start());
  ASSERT_TRUE(junk.Open(app));
  ASSERT_TRUE(junk.TickOnly("(D:)", "tw_junk_e2e"));
  // Paused before it starts (the main window's pause command, as the tray
  // and the status strip send it), the walk is held at its first entry: a
  // scan of 20 files cannot end before the check.
  Command(junk.main, 32810);
  Click(junk.Button(1034));
  ASSERT_TRUE(WaitForText(junk.Button(1034), "停止"));
  Sleep(700);
  const std::string held = junk.Pane(1);
  const int rowsHeld = ListViewRowCount(junk.results);
  Sleep(1500);
  EXPECT_EQ(junk.Pane(1), held);
  EXPECT_NE(junk.Pane(0), "扫描完成.");
  EXPECT_EQ(ListViewRowCount(junk.results), rowsHeld);
  EXPECT_EQ(rowsHeld, 0);
  EXPECT_EQ(held, "总共: 0");
  EXPECT_EQ(GetText(junk.Button(1034)), "停止");
  Command(junk.main, 32810);  // resume
  EXPECT_TRUE(junk.WaitScanned(20)) << junk.Pane(0) << " / " << junk.Pane(1);
}

// Answers every message box of the program until one with `text` shows
// (answered OK); the others get `other`. Returns how many others came.
int AnswerUntil(const CAppUnderTest& app, const std::string& text, int other) {
  int others = 0;
  for (int i = 0; i < 20; ++i) {
    MessageBoxInfo box = WaitForMessageBox(app.Pid(), "", 20000);
    if (!box) return -1;
    if (box.text.find(text) != std::string::npos) {
      AnswerMessageBox(box.hwnd, IDOK);
      return others;
    }
    ++others;
    AnswerMessageBox(box.hwnd, other);
  }
  return -1;
}

TEST_F(JunkPageTest, DeletesToTheRecycleBinOutrightAndIntoTheBackupFolder) {
  for (int i = 1; i <= 5; ++i) Seed("recycle\\r" + std::to_string(i) + ".tmp", "r");
  Seed("outright\\o1.tmp");
  Seed("outright\\o2.tmp");
  Seed("outright\\locked.tmp");
  // A name without a form in the ANSI code page: read through the ANSI
  // calls it would be "??.tmp", a wildcard to the shell's delete.
  const std::wstring hangul = Widen(S("outright\\")) + L"\xD55C\xAE00.tmp";
  {
    HANDLE h = CreateFileW(hangul.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
  }
  Seed("backup\\one\\dup.tmp", "first");
  Seed("backup\\two\\dup.tmp", "second");
  ASSERT_TRUE(CreateDirectoryA(kBackup, nullptr));
  MakeTrash();
  ASSERT_NE(GetFileAttributesW(TrashPath(L"/files").c_str()), INVALID_FILE_ATTRIBUTES);
  ASSERT_TRUE(WriteFileBytes(IniPath(), std::string("0\r\n0\r\n0\r\n") + kBackup + "\r\n1\r\n*.tmp\r\n\r\n"));
  ASSERT_TRUE(app.Start());
  ASSERT_TRUE(junk.Open(app));

  // Recycle bin: three ticked rows of five.
  ASSERT_TRUE(junk.TickOnly("(D:)", "tw_junk_e2e"));
  HTREEITEM root = TreeNext(junk.tree, nullptr, TVGN_ROOT);
  HTREEITEM scratch = TreeChild(junk.tree, TreeChild(junk.tree, root, "(D:)"), "tw_junk_e2e");
  TreeTick(junk.tree, scratch);  // untick, then tick the one subfolder
  TreeTick(junk.tree, TreeChild(junk.tree, scratch, "recycle"));
  ASSERT_TRUE(junk.Scan(5));
  std::vector<std::string> ticked, unticked;
  for (int row = 0; row < 5; ++row) {
    const std::string path = ListViewText(junk.results, row, 0);
    if (row % 2 == 0) {
      ListViewSetChecked(junk.results, row, true);
      ticked.push_back(path);
    } else {
      unticked.push_back(path);
    }
  }
  Click(junk.Button(1032));
  ASSERT_TRUE(junk.WaitDeleted(2, 3)) << junk.Pane(1);
  std::vector<std::string> left;
  for (const auto& r : ListViewRows(junk.results, 1)) left.push_back(r[0]);
  EXPECT_EQ(left, unticked);
  for (const auto& path : ticked) {
    EXPECT_FALSE(Exists(path)) << path;
    const std::string name = path.substr(path.rfind('\\'));
    const std::wstring inTrash = TrashPath(L"/files" + Widen(name));
    EXPECT_NE(GetFileAttributesW(inTrash.c_str()), INVALID_FILE_ATTRIBUTES) << path;
    // Restored from the trash, the file is back as it was.
    EXPECT_TRUE(MoveFileW(inTrash.c_str(), Widen(path).c_str())) << path;
    EXPECT_EQ(ReadFileBytes(path), "r");
    DeleteFileW(TrashPath(L"/info" + Widen(name) + L".trashinfo").c_str());
  }

  // A recycle bin that takes nothing: the files stay, with their rows.
  const std::wstring trash = TrashPath(L"");
  const std::wstring saved = TrashPath(L".e2e_saved");
  ASSERT_TRUE(MoveFileW(trash.c_str(), saved.c_str()));
  HANDLE plain = CreateFileW(trash.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(plain, INVALID_HANDLE_VALUE);
  CloseHandle(plain);
  Command(junk.page, 32791);  // tick all
  Click(junk.Button(1032));
  // Wine's shell refuses the move into such a trash without asking.
  EXPECT_GE(AnswerUntil(app, "2 个文件没有删除", IDNO), 0);
  EXPECT_TRUE(junk.WaitDeleted(2, 0)) << junk.Pane(1);
  for (const auto& path : unticked) EXPECT_TRUE(Exists(path)) << path;
  // Without any trash folder the shell would delete for good; told to warn,
  // it asks first (or, as Wine 8 does once it has looked for the trash,
  // refuses), and No keeps the file and its row.
  DeleteFileW(trash.c_str());
  Click(junk.Button(1032));
  EXPECT_GE(AnswerUntil(app, "2 个文件没有删除", IDNO), 0);
  EXPECT_TRUE(junk.WaitDeleted(2, 0)) << junk.Pane(1);
  for (const auto& path : unticked) EXPECT_TRUE(Exists(path)) << path;
  DeleteFileW(trash.c_str());
  ASSERT_TRUE(MoveFileW(saved.c_str(), trash.c_str()));

  // Outright, everything through the menu's delete-all; a file that cannot
  // be removed keeps its row and is not counted.
  Click(junk.Button(1015));
  Click(junk.Button(1019));
  TreeTick(junk.tree, TreeChild(junk.tree, scratch, "recycle"));
  TreeTick(junk.tree, TreeChild(junk.tree, scratch, "outright"));
  ASSERT_TRUE(junk.Scan(3));
  HANDLE locked = CreateFileA(S("outright\\locked.tmp").c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  Command(junk.page, 32795);
  EXPECT_EQ(AnswerUntil(app, "1 个文件没有删除", IDNO), 0);
  ASSERT_TRUE(junk.WaitDeleted(1, 2)) << junk.Pane(1);
  EXPECT_EQ(ListViewText(junk.results, 0, 0), "d:\\tw_junk_e2e\\outright\\locked.tmp");
  EXPECT_FALSE(Exists(S("outright\\o1.tmp")));
  EXPECT_FALSE(Exists(S("outright\\o2.tmp")));
  EXPECT_EQ(GetFileAttributesW(TrashPath(L"/files/o1.tmp").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetFileAttributesW(hangul.c_str()), INVALID_FILE_ATTRIBUTES);
  CloseHandle(locked);

  // Into the backup folder: the second file of the same name asks first.
  Click(junk.Button(1015));
  Click(junk.Button(1020));
  TreeTick(junk.tree, TreeChild(junk.tree, scratch, "outright"));
  TreeTick(junk.tree, TreeChild(junk.tree, scratch, "backup"));
  ASSERT_TRUE(junk.Scan(2));
  const std::string secondPath = ListViewText(junk.results, 1, 0);
  Command(junk.page, 32791);
  Click(junk.Button(1032));
  MessageBoxInfo ask = WaitForMessageBox(app.Pid(), "Tidewell");
  ASSERT_TRUE(ask);
  EXPECT_EQ(ask.text, "在备份目录中已存在这个文件:dup.tmp，要覆盖吗？");
  AnswerMessageBox(ask.hwnd, IDNO);
  ASSERT_TRUE(junk.WaitDeleted(1, 1)) << junk.Pane(1);
  EXPECT_EQ(ListViewText(junk.results, 0, 0), secondPath);
  EXPECT_TRUE(Exists(secondPath));
  const std::string firstContents = ReadFileBytes(std::string(kBackup) + "\\dup.tmp");
  Click(junk.Button(1032));
  ask = WaitForMessageBox(app.Pid(), "Tidewell");
  ASSERT_TRUE(ask);
  AnswerMessageBox(ask.hwnd, IDYES);
  ASSERT_TRUE(junk.WaitDeleted(0, 1)) << junk.Pane(1);
  EXPECT_FALSE(Exists(secondPath));
  const std::string secondContents = ReadFileBytes(std::string(kBackup) + "\\dup.tmp");
  EXPECT_NE(secondContents, firstContents);
  EXPECT_TRUE(secondContents == "first" || secondContents == "second");
}

}  // namespace
}  // namespace tw::e2e
