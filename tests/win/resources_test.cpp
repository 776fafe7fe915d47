// The program's resources as the program reads them: tidewell.exe's own
// (Chinese) and the English library RC409.dll, both mapped as image resources.
// Run with the ANSI code page 936 (LANG=zh_CN.UTF-8), as the program is.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "resources/resource.h"

namespace {

std::string ProgramFolder() {
  char path[MAX_PATH] = {};
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string s(path, n);
  return s.substr(0, s.find_last_of('\\') + 1);
}

class Module {
 public:
  explicit Module(const char* name) : path_(ProgramFolder() + name) {
    handle_ = LoadLibraryExA(path_.c_str(), nullptr,
                             LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  }
  ~Module() {
    if (handle_) FreeLibrary(handle_);
  }
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;
  HMODULE get() const { return handle_; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  HMODULE handle_ = nullptr;
};

std::string LoadAnsi(HMODULE m, UINT id) {
  char buf[1024] = {};
  int n = LoadStringA(m, id, buf, sizeof buf);
  return std::string(buf, n > 0 ? n : 0);
}

// Every string id a module holds: string blocks of 16, each one a resource.
BOOL CALLBACK CollectBlock(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
  if (IS_INTRESOURCE(name)) reinterpret_cast<std::vector<WORD>*>(param)->push_back(LOWORD(name));
  return TRUE;
}

std::wstring LoadWide(HMODULE m, UINT id) {
  const wchar_t* text = nullptr;
  int n = LoadStringW(m, id, reinterpret_cast<LPWSTR>(&text), 0);
  return n > 0 ? std::wstring(text, n) : std::wstring();
}

// The printf conversions of a text in order ("%d", "%02d", "%s", "%1"...):
// a translation must hand the formatting code the same arguments.
std::vector<std::wstring> Conversions(const std::wstring& s) {
  std::vector<std::wstring> out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != L'%') continue;
    size_t j = i + 1;
    while (j < s.size() && (iswdigit(s[j]) || s[j] == L'.' || s[j] == L'-' || s[j] == L'#')) ++j;
    if (j < s.size() && s[j] == L'%' && j == i + 1) {
      i = j;  // "%%"
      continue;
    }
    size_t end = (j < s.size() && iswalpha(s[j])) ? j + 1 : j;
    out.push_back(s.substr(i, end - i));
    i = end - 1;
  }
  return out;
}

std::set<UINT> StringIds(HMODULE m) {
  std::vector<WORD> blocks;
  EnumResourceNamesW(m, MAKEINTRESOURCEW(6) /* RT_STRING */, CollectBlock,
                     reinterpret_cast<LONG_PTR>(&blocks));
  std::set<UINT> ids;
  for (WORD block : blocks) {
    for (UINT id = (block - 1u) * 16u; id < block * 16u; ++id) {
      const wchar_t* text = nullptr;
      if (LoadStringW(m, id, reinterpret_cast<LPWSTR>(&text), 0) > 0) ids.insert(id);
    }
  }
  return ids;
}

// One control of an extended dialog template.
struct Control {
  DWORD id;
  std::wstring cls;  // class name, or "#<atom>" for the predefined classes
  DWORD style;
  short x, y, cx, cy;
};

struct Dialog {
  bool found = false;
  DWORD style = 0;
  short cx = 0, cy = 0;
  std::wstring caption, font;
  std::vector<Control> controls;
};

// Reads a string-or-ordinal field and moves past it.
std::wstring ReadSzOrOrd(const WORD*& p) {
  if (*p == 0xFFFF) {
    std::wstring s = L"#" + std::to_wstring(p[1]);
    p += 2;
    return s;
  }
  std::wstring s(reinterpret_cast<const wchar_t*>(p));
  p += s.size() + 1;
  return s;
}

Dialog ReadDialog(HMODULE m, UINT id) {
  Dialog d;
  HRSRC r = FindResourceW(m, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5) /* RT_DIALOG */);
  if (!r) return d;
  const BYTE* base = static_cast<const BYTE*>(LockResource(LoadResource(m, r)));
  if (!base) return d;
  const WORD* w = reinterpret_cast<const WORD*>(base);
  if (w[0] != 1 || w[1] != 0xFFFF) return d;  // DIALOGEX only
  d.found = true;
  DWORD style;
  std::memcpy(&style, base + 12, 4);
  d.style = style;
  WORD count = w[8];
  d.cx = static_cast<short>(w[11]);
  d.cy = static_cast<short>(w[12]);
  const WORD* p = w + 13;
  ReadSzOrOrd(p);  // menu
  ReadSzOrOrd(p);  // class
  d.caption = ReadSzOrOrd(p);
  if (style & DS_SETFONT) {
    p += 3;  // point size, weight, italic and character set
    d.font = ReadSzOrOrd(p);
  }
  for (WORD i = 0; i < count; ++i) {
    auto at = reinterpret_cast<uintptr_t>(p);
    p = reinterpret_cast<const WORD*>((at + 3) & ~uintptr_t{3});
    Control c{};
    std::memcpy(&c.style, p + 4, 4);
    c.x = static_cast<short>(p[6]);
    c.y = static_cast<short>(p[7]);
    c.cx = static_cast<short>(p[8]);
    c.cy = static_cast<short>(p[9]);
    std::memcpy(&c.id, p + 10, 4);
    p += 12;
    c.cls = ReadSzOrOrd(p);
    ReadSzOrOrd(p);  // text
    WORD extra = *p++;
    p = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(p) + extra);
    d.controls.push_back(c);
  }
  return d;
}

std::vector<UINT> MenuCommands(HMODULE m, UINT id) {
  std::vector<UINT> out;
  HMENU menu = LoadMenuW(m, MAKEINTRESOURCEW(id));
  if (!menu) return out;
  HMENU popup = GetSubMenu(menu, 0);
  for (int i = 0; popup && i < GetMenuItemCount(popup); ++i) out.push_back(GetMenuItemID(popup, i));
  DestroyMenu(menu);
  return out;
}

class ResourcesTest : public ::testing::Test {
 protected:
  Module exe_{"tidewell.exe"};
  Module dll_{"RC409.dll"};

  void SetUp() override {
    ASSERT_NE(exe_.get(), nullptr) << exe_.path() << " error " << GetLastError();
    ASSERT_NE(dll_.get(), nullptr) << dll_.path() << " error " << GetLastError();
  }
};

const UINT kDialogs[] = {IDD_100, IDD_102, IDD_129, IDD_130, IDD_138, IDD_145,
                         IDD_160, IDD_165, IDD_171, IDD_174, IDD_178, IDD_VERSION_CHECK};

TEST_F(ResourcesTest, ChineseTextsComeOutInTheAnsiCodePage) {
  ASSERT_EQ(GetACP(), 936u) << "run with LANG=zh_CN.UTF-8";
  struct Case {
    UINT id;
    const char* ansi;
  } cases[] = {
      {IDS_57755, "Tidewell"},
      {IDS_57775, "\xC4\xE3\xC8\xB7\xD0\xC5\xD2\xAA\xCD\xCB\xB3\xF6 Tidewell \xC2\xF0\xA3\xBF"},
      // line breaks written as escapes in the script arrive as control characters
      {IDS_32807, "Tidewell \xD5\xFD\xD4\xDA\xC9\xA8\xC3\xE8.\n\n\xC7\xEB\xCD\xA3\xD6\xB9\xC9\xA8\xC3"
                  "\xE8\xA3\xAC\xC8\xBB\xBA\xF3\xD4\xD9\xCD\xCB\xB3\xF6!"},
      {IDS_57736, "\xBC\xEC\xB2\xE2\xD7\xEE\xD0\xC2\xB0\xE6...\r\n"},
      // blanks are part of the texts: the status-bar panes and the path prefix
      {IDS_32787, "  "},
      {IDS_32788, " "},
      {IDS_32785, "\xCE\xDE\xD0\xA7\xC2\xB7\xBE\xB6:  "},
  };
  for (const Case& c : cases) EXPECT_EQ(LoadAnsi(exe_.get(), c.id), c.ansi) << "string " << c.id;
}

TEST_F(ResourcesTest, EnglishLibraryCarriesTheSameStrings) {
  std::set<UINT> zh = StringIds(exe_.get());
  std::set<UINT> en = StringIds(dll_.get());
  EXPECT_GT(zh.size(), 130u);
  EXPECT_EQ(zh, en);
  const std::vector<std::wstring> sample = {L"%02d", L"%s", L"%1", L"%.2f"};
  ASSERT_EQ(Conversions(L"a %02d/%s 100%% %1 %.2f"), sample);
  for (UINT id : zh) {
    EXPECT_EQ(Conversions(LoadWide(exe_.get(), id)), Conversions(LoadWide(dll_.get(), id)))
        << "string " << id;
  }
  // the display name is the mutex name and the window caption in every language
  EXPECT_EQ(LoadAnsi(dll_.get(), IDS_57755), "Tidewell");
  EXPECT_EQ(LoadAnsi(dll_.get(), IDS_57775), "Are you sure you want to exit Tidewell?");
  // format strings keep their conversions
  EXPECT_EQ(LoadAnsi(dll_.get(), IDS_32801), "Time: %d:%d:%d");
}

TEST_F(ResourcesTest, DialogsMatchAcrossLanguages) {
  for (UINT id : kDialogs) {
    Dialog zh = ReadDialog(exe_.get(), id);
    Dialog en = ReadDialog(dll_.get(), id);
    ASSERT_TRUE(zh.found) << "dialog " << id << " in tidewell.exe";
    ASSERT_TRUE(en.found) << "dialog " << id << " in RC409.dll";
    EXPECT_EQ(zh.cx, en.cx) << "dialog " << id;
    EXPECT_EQ(zh.cy, en.cy) << "dialog " << id;
    EXPECT_EQ(zh.style, en.style) << "dialog " << id;
    ASSERT_EQ(zh.controls.size(), en.controls.size()) << "dialog " << id;
    for (size_t i = 0; i < zh.controls.size(); ++i) {
      const Control& a = zh.controls[i];
      const Control& b = en.controls[i];
      EXPECT_EQ(a.id, b.id) << "dialog " << id << " control " << i;
      EXPECT_EQ(a.cls, b.cls) << "dialog " << id << " control " << a.id;
      EXPECT_EQ(a.style, b.style) << "dialog " << id << " control " << a.id;
    }
  }
}

TEST_F(ResourcesTest, MainWindowAndAboutPageLayout) {
  Dialog main = ReadDialog(exe_.get(), IDD_102);
  ASSERT_TRUE(main.found);
  EXPECT_EQ(main.cx, 443);
  EXPECT_EQ(main.cy, 340);
  EXPECT_EQ(main.caption, L"Tidewell");
  struct Place {
    UINT dialog;
    DWORD id;
    short x, y, cx, cy;
    bool ownerDrawn;
  } places[] = {
      {IDD_102, IDC_1001, 0, 89, 100, 35, true},    {IDD_102, IDC_1002, 0, 125, 100, 35, true},
      {IDD_102, IDC_1037, 0, 161, 100, 35, true},   {IDD_102, IDC_1057, 0, 197, 100, 35, true},
      {IDD_102, IDC_1003, 0, 233, 100, 35, true},   {IDD_102, IDC_1000, 0, 269, 100, 35, true},
      {IDD_102, IDC_1053, 0, 305, 100, 23, false},  {IDD_102, IDC_1007, 110, 4, 332, 293, false},
      {IDD_102, IDC_1006, 110, 4, 332, 323, false}, {IDD_102, IDC_1076, 114, 299, 326, 26, false},
      {IDD_100, IDC_1060, 213, 291, 50, 18, true},  {IDD_100, IDC_1055, 267, 291, 50, 18, true},
      {IDD_100, IDC_1070, 31, 293, 110, 120, false},
  };
  for (HMODULE m : {exe_.get(), dll_.get()}) {
    for (const Place& p : places) {
      Dialog d = ReadDialog(m, p.dialog);
      const Control* c = nullptr;
      for (const Control& k : d.controls)
        if (k.id == p.id) c = &k;
      ASSERT_NE(c, nullptr) << "dialog " << p.dialog << " control " << p.id;
      // The English label "Language" is wider than its Chinese one: the
      // list beside it moves right there, and only there.
      if (!(m == dll_.get() && p.id == IDC_1070)) {
        EXPECT_EQ(c->x, p.x) << p.id;
      }
      EXPECT_EQ(c->y, p.y) << p.id;
      EXPECT_EQ(c->cx, p.cx) << p.id;
      EXPECT_EQ(c->cy, p.cy) << p.id;
      bool button = c->cls == L"#128" || _wcsicmp(c->cls.c_str(), L"Button") == 0;
      EXPECT_EQ(button && (c->style & BS_TYPEMASK) == BS_OWNERDRAW, p.ownerDrawn) << p.id;
    }
    // the page frames are placeholders: never visible
    for (const Control& k : ReadDialog(m, IDD_102).controls) {
      if (k.id == IDC_1006 || k.id == IDC_1007) {
        EXPECT_FALSE(k.style & WS_VISIBLE) << k.id;
      }
    }
  }
  Dialog about = ReadDialog(exe_.get(), IDD_100);
  EXPECT_EQ(about.cx, 330);
  EXPECT_EQ(about.cy, 323);
  EXPECT_TRUE(about.style & WS_CHILD);
  EXPECT_EQ(about.font, L"\x5B8B\x4F53");  // 宋体
}

TEST_F(ResourcesTest, MenusCarryTheirCommands) {
  const std::vector<UINT> tray = {IDM_32771, 0, IDM_32809, IDM_32810, 0,
                                  IDM_32808, IDM_57670, 0, IDM_EXIT};
  const std::vector<UINT> results = {IDM_32791, IDM_32792, IDM_32793, 0, IDM_32794, IDM_32795};
  const std::vector<UINT> categories = {IDM_32780, IDM_32781, IDM_32782};
  for (HMODULE m : {exe_.get(), dll_.get()}) {
    EXPECT_EQ(MenuCommands(m, IDR_131), tray);
    EXPECT_EQ(MenuCommands(m, IDR_135), results);
    EXPECT_EQ(MenuCommands(m, IDR_143), categories);
  }
}

TEST_F(ResourcesTest, PicturesHaveTheSizesTheirUsersCutThemBy) {
  struct Pic {
    UINT id;
    int cx, cy;
  } pics[] = {
      {IDB_134, 22, 11},  {IDB_136, 33, 11},  {IDB_137, 139, 16}, {IDB_172, 30, 15},
      {IDB_175, 16, 16},  {IDB_154, 32, 32},  {IDB_155, 32, 32},  {IDB_156, 32, 32},
      {IDB_176, 32, 32},  {IDB_179, 32, 32},  {IDB_158, 32, 32},  {IDB_150, 0, 0},
      {IDB_151, 0, 0},
  };
  for (HMODULE m : {exe_.get(), dll_.get()}) {
    for (const Pic& p : pics) {
      HBITMAP b = static_cast<HBITMAP>(LoadImageW(m, MAKEINTRESOURCEW(p.id), IMAGE_BITMAP, 0, 0, 0));
      ASSERT_NE(b, nullptr) << "bitmap " << p.id;
      BITMAP info = {};
      GetObjectW(b, sizeof info, &info);
      if (p.cx) {
        EXPECT_EQ(info.bmWidth, p.cx) << "bitmap " << p.id;
        EXPECT_EQ(info.bmHeight, p.cy) << "bitmap " << p.id;
      }
      DeleteObject(b);
    }
    for (UINT id : {IDI_128, IDI_163, IDI_164}) {
      HICON icon = static_cast<HICON>(LoadImageW(m, MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, 0));
      EXPECT_NE(icon, nullptr) << "icon " << id;
      if (icon) DestroyIcon(icon);
    }
  }
}

TEST_F(ResourcesTest, ProgramVersionIs3_0_880) {
  HRSRC r = FindResourceW(exe_.get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16) /* RT_VERSION */);
  ASSERT_NE(r, nullptr);
  const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(exe_.get(), r)));
  DWORD size = SizeofResource(exe_.get(), r);
  const DWORD signature = 0xFEEF04BD;
  const VS_FIXEDFILEINFO* fixed = nullptr;
  for (DWORD i = 0; i + sizeof(VS_FIXEDFILEINFO) <= size; i += 4)
    if (std::memcmp(data + i, &signature, 4) == 0) {
      fixed = reinterpret_cast<const VS_FIXEDFILEINFO*>(data + i);
      break;
    }
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00030000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 880u << 16);
}

// The manifest as Windows reads it before the program runs: asked for
// elevation (Vista and later start the program with the full token, after
// asking), and naming the systems whose behaviour the program expects.
TEST_F(ResourcesTest, ManifestAsksForAdministratorAndNamesTheSystems) {
  HRSRC r = FindResourceW(exe_.get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24) /* RT_MANIFEST */);
  ASSERT_NE(r, nullptr) << "no manifest resource 1 in tidewell.exe";
  const char* data = static_cast<const char*>(LockResource(LoadResource(exe_.get(), r)));
  std::string text(data, SizeofResource(exe_.get(), r));
  auto element = [&text](const std::string& open, const std::string& close) {
    size_t a = text.find(open);
    size_t b = a == std::string::npos ? a : text.find(close, a);
    return b == std::string::npos ? std::string() : text.substr(a, b - a);
  };
  // Windows XP refuses a trustInfo without this namespace.
  std::string trust = element("<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v2\">", "</trustInfo>");
  EXPECT_NE(trust.find("<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>"),
            std::string::npos)
      << text;
  std::string compat = element("<compatibility xmlns=\"urn:schemas-microsoft-com:compatibility.v1\">",
                               "</compatibility>");
  for (const char* id : {"e2011457-1546-43c5-a5fe-008deee3d3f0", "35138b9a-5d96-4fbd-8e2d-a2440225f93a",
                         "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38", "1f676c76-80e1-4239-95bb-83d0f6d0da78",
                         "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"}) {
    EXPECT_NE(compat.find(std::string("<supportedOS Id=\"{") + id + "}\"/>"), std::string::npos)
        << id << "\n" << text;
  }

  // The system's own parser takes it and reads the same run level.
  std::wstring path(exe_.path().begin(), exe_.path().end());
  ACTCTXW request = {};
  request.cbSize = sizeof request;
  request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  request.lpSource = path.c_str();
  request.lpResourceName = MAKEINTRESOURCEW(1);
  HANDLE context = CreateActCtxW(&request);
  ASSERT_NE(context, INVALID_HANDLE_VALUE) << "error " << GetLastError();
  ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION level = {};
  SIZE_T size = 0;
  EXPECT_TRUE(QueryActCtxW(0, context, nullptr, RunlevelInformationInActivationContext, &level,
                           sizeof level, &size))
      << "error " << GetLastError();
  EXPECT_EQ(level.RunLevel, ACTCTX_RUN_LEVEL_REQUIRE_ADMIN);
  EXPECT_EQ(level.UiAccess, 0u);
  ReleaseActCtx(context);
}

}  // namespace
