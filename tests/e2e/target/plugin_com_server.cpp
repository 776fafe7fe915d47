// A small in-process COM server for the plug-in page's end-to-end tests.
// regsvr32 registers it as a class with its server and programmatic name,
// and with the browser as a helper object, a toolbar and a toolbar button;
// "regsvr32 -u" removes all of that again. It serves no objects.
#include <windows.h>

#include <string>

namespace {

const char kClsid[] = "{7E1DE11A-0000-4E2E-9000-00000000E2E7}";
const char kButton[] = "{7E1DE11A-0000-4E2E-9000-00000000E2E8}";
const char kExecButton[] = "{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}";
const char kToolbarKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
const char kExtensionsKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions\\";
const char kHelperObjectsKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\";

HMODULE g_module = nullptr;

bool SetText(HKEY root, const std::string& path, const char* name, const std::string& text) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return false;
  const LONG rc = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>(text.size() + 1));
  RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllRegisterServer() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(g_module, path, MAX_PATH);
  const std::string cls = std::string("CLSID\\") + kClsid;
  const std::string button = std::string(kExtensionsKey) + kButton;
  const bool ok =
      SetText(HKEY_CLASSES_ROOT, cls, nullptr, "TidewellPluginE2E helper") &&
      SetText(HKEY_CLASSES_ROOT, cls + "\\InprocServer32", nullptr, path) &&
      SetText(HKEY_CLASSES_ROOT, cls + "\\InprocServer32", "ThreadingModel", "Apartment") &&
      SetText(HKEY_CLASSES_ROOT, cls + "\\VersionIndependentProgID", nullptr,
              "TidewellPluginE2E.Helper") &&
      SetText(HKEY_LOCAL_MACHINE, std::string(kHelperObjectsKey) + kClsid, "NoExplorer", "1") &&
      SetText(HKEY_LOCAL_MACHINE, kToolbarKey, kClsid, "TidewellPluginE2E Toolbar") &&
      SetText(HKEY_LOCAL_MACHINE, button, "Clsid", kExecButton) &&
      SetText(HKEY_LOCAL_MACHINE, button, "ClsidExtension", kClsid) &&
      SetText(HKEY_LOCAL_MACHINE, button, "ButtonText", "TidewellPluginE2E Button") &&
      SetText(HKEY_LOCAL_MACHINE, button, "MenuStatusBar", "TidewellPluginE2E status");
  return ok ? S_OK : E_FAIL;
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllUnregisterServer() {
  HKEY toolbar = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kToolbarKey, 0, KEY_SET_VALUE, &toolbar) == ERROR_SUCCESS) {
    RegDeleteValueA(toolbar, kClsid);
    RegCloseKey(toolbar);
  }
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(kExtensionsKey) + kButton).c_str());
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kExtensionsKey) + kButton).c_str());
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(kHelperObjectsKey) + kClsid).c_str());
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kHelperObjectsKey) + kClsid).c_str());
  RegDeleteTreeA(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + kClsid).c_str());
  RegDeleteKeyA(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + kClsid).c_str());
  return S_OK;
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllGetClassObject(REFCLSID, REFIID, LPVOID* out) {
  if (out) *out = nullptr;
  return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllCanUnloadNow() { return S_OK; }
