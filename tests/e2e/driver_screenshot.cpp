// The driver's screenshots: the whole screen through GDI into a 24-bit BMP
// under C:\screens. Windows programs here cannot reach the build folder (the
// prefix has no Z:), so the harness collects the BMPs afterwards and turns
// them into PNGs beside the build (tests/e2e/collect-screenshots.sh).
#include <windows.h>

#include <cstdio>
#include <vector>

#include "e2e/driver.h"

namespace tw::e2e {

namespace {

const char kScreensFolder[] = "C:\\screens";

std::string SafeName(const std::string& name) {
  std::string out;
  for (char c : name) {
    const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '-' || c == '_';
    out += keep ? c : '_';
  }
  return out.empty() ? "screen" : out;
}

// Paints what is waiting to be painted in every responsive window on the
// screen, so a picture taken right after an action shows its result rather
// than a half-drawn window. A hung window is left as it is.
BOOL CALLBACK PaintPending(HWND hwnd, LPARAM) {
  DWORD_PTR ignored = 0;
  if (IsWindowVisible(hwnd) &&
      SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &ignored))
    RedrawWindow(hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  return TRUE;
}

}  // namespace

std::string Screenshot(const std::string& name) {
  EnumWindows(PaintPending, 0);
  Sleep(100);  // the X server shows what was drawn a moment later
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  if (width <= 0 || height <= 0) return {};

  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(mem, bmp);
  const BOOL copied = BitBlt(mem, 0, 0, width, height, screen, 0, 0, SRCCOPY | CAPTUREBLT);
  SelectObject(mem, old);

  BITMAPINFOHEADER bih = {};
  bih.biSize = sizeof bih;
  bih.biWidth = width;
  bih.biHeight = height;  // bottom-up, as BMP files store it
  bih.biPlanes = 1;
  bih.biBitCount = 24;
  bih.biCompression = BI_RGB;
  const DWORD stride = ((width * 3) + 3) & ~3u;
  std::vector<char> pixels(static_cast<size_t>(stride) * height);
  const int lines = copied ? GetDIBits(mem, bmp, 0, height, pixels.data(),
                                       reinterpret_cast<BITMAPINFO*>(&bih), DIB_RGB_COLORS)
                           : 0;
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  if (lines != height) return {};

  CreateDirectoryA(kScreensFolder, nullptr);
  const std::string path = std::string(kScreensFolder) + "\\" + SafeName(name) + ".bmp";
  BITMAPFILEHEADER bfh = {};
  bfh.bfType = 0x4D42;  // "BM"
  bfh.bfOffBits = sizeof bfh + sizeof bih;
  bfh.bfSize = bfh.bfOffBits + static_cast<DWORD>(pixels.size());
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return {};
  bool ok = std::fwrite(&bfh, sizeof bfh, 1, f) == 1 && std::fwrite(&bih, sizeof bih, 1, f) == 1 &&
            std::fwrite(pixels.data(), pixels.size(), 1, f) == 1;
  ok = (std::fclose(f) == 0) && ok;
  if (!ok) {
    DeleteFileA(path.c_str());
    return {};
  }
  return path;
}

}  // namespace tw::e2e
