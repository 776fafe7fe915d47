// The junk-file scan and removal on the real (Wine) file system, with what a
// program without rights can plant between the scan and the deletion: a
// folder turned into a link to another folder, a name the ANSI calls cannot
// spell (Hangul, read back as "?", a wildcard to the shell), a name with a
// trailing dot that the system takes for its sibling.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "junk_files/junk_deletion.h"
#include "junk_files/junk_scanner.h"
#include "junk_files/removal_check.h"
#include "platform/text.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_shell.h"

namespace tw {
namespace {

std::wstring W(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

bool WriteW(const std::wstring& path, const char* bytes) {
  const HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(h, bytes, static_cast<DWORD>(strlen(bytes)), &written, nullptr);
  CloseHandle(h);
  return ok != FALSE;
}

bool ExistsW(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Removes a tree through the wide calls, a link as the link itself, names
// with a trailing dot too (hence the "\\?\" form throughout).
void RemoveTreeW(const std::wstring& path) {
  const std::wstring exact = path.compare(0, 4, L"\\\\?\\") == 0 ? path : L"\\\\?\\" + path;
  const DWORD attrs = GetFileAttributesW(exact.c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES) return;
  if ((attrs & FILE_ATTRIBUTE_DIRECTORY) && !(attrs & FILE_ATTRIBUTE_REPARSE_POINT)) {
    WIN32_FIND_DATAW fd;
    const HANDLE h = FindFirstFileW((exact + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = fd.cFileName;
        if (name != L"." && name != L"..") RemoveTreeW(exact + L"\\" + name);
      } while (FindNextFileW(h, &fd));
      FindClose(h);
    }
  }
  if (!(attrs & FILE_ATTRIBUTE_DIRECTORY) || !RemoveDirectoryW(exact.c_str())) {
    DeleteFileW(exact.c_str());
  }
}

// Wine 8 answers CreateSymbolicLinkW with success without making a link
// (attributes then say nothing is there); a real link shows 0x410.
bool IsLink(const std::wstring& path) {
  const DWORD attrs = GetFileAttributesW(path.c_str());
  return attrs != INVALID_FILE_ATTRIBUTES && (attrs & 0x410u) == 0x410u;
}

class RowsSink : public IJunkScanSink {
 public:
  void OnScanFile(const std::string&) override {}
  void OnJunkFile(const std::string& path, std::uint64_t) override { rows.push_back(path); }
  std::vector<std::string> rows;
};

class JunkRemovalWine : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(GetACP(), 936u) << "the test prefix runs with code page 936";
    m_top = "d:\\twjunkwin_" + std::to_string(GetCurrentProcessId());
    RemoveTreeW(W(m_top));
    ASSERT_TRUE(CreateDirectoryW(W(m_top).c_str(), nullptr));
    for (const char* folder : {"\\scan", "\\scan\\sub", "\\elsewhere"}) {
      ASSERT_TRUE(CreateDirectoryW(W(m_top + folder).c_str(), nullptr));
    }
    for (const char* file : {"\\scan\\a.tmp", "\\scan\\b.tmp", "\\scan\\sub\\c.tmp",
                             "\\elsewhere\\c.tmp", "\\elsewhere\\a.tmp"}) {
      ASSERT_TRUE(WriteW(W(m_top + file), "x")) << file;
    }
    // Hangul has no form in code page 936.
    ASSERT_TRUE(WriteW(W(m_top + "\\scan\\") + L"\xD55C\xAE00.tmp", "hangul"));
  }
  void TearDown() override { RemoveTreeW(W(m_top)); }

  std::vector<std::string> Scan() {
    CJunkTypes types;
    types.Add("*.tmp");
    RowsSink sink;
    std::atomic<std::int32_t> stop{0};
    CRunControl control(&stop, [](unsigned) {});
    CJunkScanner scanner(fs, control, sink, types);
    JunkScanPlan plan;
    plan.roots = {m_top + "\\scan"};
    scanner.Run(plan);
    std::sort(sink.rows.begin(), sink.rows.end());
    return sink.rows;
  }
  RemoveOutcome Remove(int mode, const std::string& path) {
    RemoveContext context;
    context.files = &fs;
    context.shell = &shell;
    context.deleteMode = mode;
    context.roots = &m_roots;
    context.backupFolder = m_top + "\\elsewhere";
    context.askOverwrite = [](const std::string&) { return true; };
    return RemoveFile(context, path);
  }

  CWin32FileSystem fs;
  CWin32Shell shell;
  std::string m_top;
  std::vector<std::string> m_roots;
};

TEST_F(JunkRemovalWine, WhatChangedAfterTheScanIsNotRemoved) {
  // The Hangul file is no row: its ANSI name would be "??.tmp".
  const std::string scan = m_top + "\\scan";
  EXPECT_EQ(Scan(), (std::vector<std::string>{scan + "\\a.tmp", scan + "\\b.tmp",
                                              scan + "\\sub\\c.tmp"}));
  m_roots = WalkedRoots({scan}, "", "");

  // Such a row, had it been listed, would be a wildcard to the shell and
  // take a.tmp and b.tmp with it.
  for (int mode : {0, 1, 2}) {
    EXPECT_EQ(Remove(mode, scan + "\\?.tmp"), RemoveOutcome::kFailed) << mode;
    EXPECT_EQ(Remove(mode, scan + "\\??.tmp"), RemoveOutcome::kFailed) << mode;
  }
  EXPECT_TRUE(ExistsW(W(scan + "\\a.tmp")));
  EXPECT_TRUE(ExistsW(W(scan + "\\b.tmp")));

  // A name with a trailing dot is read exactly, and the system would take
  // it for the file without the dot.
  ASSERT_TRUE(WriteW(L"\\\\?\\" + W(scan + "\\keep"), "keep"));
  ASSERT_TRUE(WriteW(L"\\\\?\\" + W(scan + "\\keep."), "dot"));
  std::vector<std::string> names;
  FindData found;
  auto find = fs.FindFirst(scan + "\\keep*", &found);
  ASSERT_TRUE(find);
  do {
    names.push_back(found.name);
  } while (find->Next(&found));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"keep", "keep."}));
  EXPECT_EQ(Remove(1, scan + "\\keep."), RemoveOutcome::kFailed);
  EXPECT_TRUE(ExistsW(W(scan + "\\keep")));

  // A folder in a file's place stays with what it holds, even outright.
  ASSERT_TRUE(DeleteFileW(W(scan + "\\b.tmp").c_str()));
  ASSERT_TRUE(CreateDirectoryW(W(scan + "\\b.tmp").c_str(), nullptr));
  ASSERT_TRUE(WriteW(W(scan + "\\b.tmp\\inside.txt"), "inside"));
  EXPECT_EQ(Remove(1, scan + "\\b.tmp"), RemoveOutcome::kFailed);
  EXPECT_TRUE(ExistsW(W(scan + "\\b.tmp\\inside.txt")));

  // The plain file goes; one already gone is no failure.
  EXPECT_EQ(Remove(1, scan + "\\a.tmp"), RemoveOutcome::kDone);
  EXPECT_FALSE(ExistsW(W(scan + "\\a.tmp")));
  EXPECT_EQ(Remove(1, scan + "\\a.tmp"), RemoveOutcome::kDone);
  EXPECT_TRUE(ExistsW(W(m_top + "\\elsewhere\\a.tmp")));
  EXPECT_TRUE(ExistsW(W(scan + "\\") + L"\xD55C\xAE00.tmp"));

  // The folder on the way becomes a link to another folder.
  ASSERT_TRUE(MoveFileW(W(scan + "\\sub").c_str(), W(scan + "\\sub_was").c_str()));
  ASSERT_TRUE(CreateSymbolicLinkW(W(scan + "\\sub").c_str(), W(m_top + "\\elsewhere").c_str(),
                                  SYMBOLIC_LINK_FLAG_DIRECTORY));
  if (!IsLink(W(scan + "\\sub"))) GTEST_SKIP() << "this Wine made no symbolic link";
  for (int mode : {0, 1, 2}) {
    EXPECT_EQ(Remove(mode, scan + "\\sub\\c.tmp"), RemoveOutcome::kFailed) << mode;
  }
  EXPECT_TRUE(ExistsW(W(m_top + "\\elsewhere\\c.tmp")));
}

// The walked folder itself swapped for a link after the scan.
TEST_F(JunkRemovalWine, AWalkedFolderTurnedLinkKeepsEverything) {
  const std::string scan = m_top + "\\scan";
  ASSERT_EQ(Scan().size(), 3u);
  m_roots = WalkedRoots({scan}, "", "");
  ASSERT_TRUE(MoveFileW(W(scan).c_str(), W(m_top + "\\scan_was").c_str()));
  ASSERT_TRUE(CreateSymbolicLinkW(W(scan).c_str(), W(m_top + "\\elsewhere").c_str(),
                                  SYMBOLIC_LINK_FLAG_DIRECTORY));
  if (!IsLink(W(scan))) GTEST_SKIP() << "this Wine made no symbolic link";
  EXPECT_EQ(Remove(1, scan + "\\a.tmp"), RemoveOutcome::kFailed);
  EXPECT_TRUE(ExistsW(W(m_top + "\\elsewhere\\a.tmp")));
  // Nor is the link walked by the next scan.
  EXPECT_TRUE(Scan().empty());
}

}  // namespace
}  // namespace tw
