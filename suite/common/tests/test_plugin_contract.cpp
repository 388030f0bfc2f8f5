// The COM contract of a plug-in built on the common library, end to end:
// the test plug-in library is registered, created through CoCreateInstance,
// driven as the home screen drives it, persisted and unloaded.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ce/homeplugin.h"
#include "ce/objidl.h"
#include "ce/windows.h"
#include "scoped_setting.h"
#include "suite_test_files.h"

namespace {

const CLSID kClsid = {0x5E1A7C30, 0x2B8D, 0x4C11, {0x9E, 0x0F, 0x6A, 0x7B, 0x8C, 0x9D, 0x0E, 0x1F}};
const wchar_t* const kClassKey = L"CLSID\\{5E1A7C30-2B8D-4c11-9E0F-6A7B8C9D0E1F}";
const wchar_t* const kLibrary = L"\\Program Files\\SuitePlugins\\SuiteTestPlug.dll";

// The home screen's side: counts its references and the redraw requests.
class FakeEnvironment : public IHomePluginEnvironment {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IHomePluginEnvironment)) {
      *object = this;
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return --refs; }
  HRESULT InvalidatePlugin(HPLUGIN plugin, DWORD what) override {
    redraws.push_back({plugin, what});
    return S_OK;
  }
  ULONG refs = 1;
  std::vector<std::pair<HPLUGIN, DWORD>> redraws;
};

// A site that offers no environment.
class BareSite : public IUnknown {
 public:
  HRESULT QueryInterface(REFIID, void** object) override {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
};

template <typename F>
F Export(HMODULE module, const wchar_t* name) {
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddressW(module, name)));
}

class PluginContract : public ::testing::Test {
 protected:
  void SetUp() override {
    library = LoadLibraryW(kLibrary);
    ASSERT_NE(library, nullptr);
    getClassObject = Export<LPFNGETCLASSOBJECT>(library, L"DllGetClassObject");
    canUnloadNow = Export<LPFNCANUNLOADNOW>(library, L"DllCanUnloadNow");
    registerServer = Export<HRESULT (*)()>(library, L"DllRegisterServer");
    unregisterServer = Export<HRESULT (*)()>(library, L"DllUnregisterServer");
    log = Export<const wchar_t* (*)()>(library, L"SuiteTestPlugLog");
    redraw = Export<void (*)()>(library, L"SuiteTestPlugRedraw");
    ASSERT_TRUE(getClassObject && canUnloadNow && registerServer && unregisterServer && log && redraw);
    ASSERT_EQ(CoInitializeEx(nullptr, 0), S_OK);
  }
  void TearDown() override {
    CoUninitialize();
    if (library != nullptr) FreeLibrary(library);
  }

  static std::wstring DefaultValue(const std::wstring& key, DWORD* size = nullptr) {
    HKEY open = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &open) != ERROR_SUCCESS) return L"<no key>";
    wchar_t text[MAX_PATH + 1] = {};
    DWORD type = 0;
    DWORD bytes = sizeof text;
    const LONG status = RegQueryValueExW(open, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes);
    RegCloseKey(open);
    if (size != nullptr) *size = bytes;
    return status == ERROR_SUCCESS && type == REG_SZ ? text : L"<no value>";
  }
  // Names of the subkeys and values of a key.
  static std::vector<std::wstring> Contents(const std::wstring& key) {
    std::vector<std::wstring> names;
    HKEY open = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &open) != ERROR_SUCCESS) return names;
    for (DWORD i = 0;; ++i) {
      wchar_t name[256];
      DWORD length = 256;
      if (RegEnumKeyExW(open, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      names.push_back(std::wstring(L"key ") + name);
    }
    for (DWORD i = 0;; ++i) {
      wchar_t name[256];
      DWORD length = 256;
      if (RegEnumValueW(open, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      names.push_back(std::wstring(L"value ") + name);
    }
    RegCloseKey(open);
    return names;
  }

  IHomePlugin* Create() {
    void* object = nullptr;
    EXPECT_EQ(CoCreateInstance(kClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IHomePlugin, &object), S_OK);
    return static_cast<IHomePlugin*>(object);
  }

  ce::test::ScopedSetting folders{"DEVICE_PROGRAM_FOLDERS", std::string("SuitePlugins=") + SUITE_PLUGIN_FOLDER};
  HMODULE library = nullptr;
  LPFNGETCLASSOBJECT getClassObject = nullptr;
  LPFNCANUNLOADNOW canUnloadNow = nullptr;
  HRESULT (*registerServer)() = nullptr;
  HRESULT (*unregisterServer)() = nullptr;
  const wchar_t* (*log)() = nullptr;
  void (*redraw)() = nullptr;
};

TEST_F(PluginContract, RegistrationWritesAndRemovesExactlyItsKeys) {
  HKEY sibling = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, L"CLSID\\{00000000-1111-2222-3333-444444444444}", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &sibling, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(sibling);

  ASSERT_EQ(registerServer(), S_OK);
  DWORD size = 0;
  EXPECT_EQ(DefaultValue(kClassKey, &size), L"SuiteTestPlug");
  EXPECT_EQ(size, 28u) << "13 characters and the terminator, two bytes each";
  EXPECT_EQ(DefaultValue(std::wstring(kClassKey) + L"\\InprocServer32"), kLibrary);
  EXPECT_EQ(Contents(kClassKey), (std::vector<std::wstring>{L"key InprocServer32", L"value "}));
  EXPECT_EQ(Contents(std::wstring(kClassKey) + L"\\InprocServer32"), (std::vector<std::wstring>{L"value "}));
  EXPECT_EQ(registerServer(), S_OK) << "registering again opens the keys";

  ASSERT_EQ(unregisterServer(), S_OK);
  EXPECT_EQ(DefaultValue(kClassKey), L"<no key>");
  EXPECT_EQ(DefaultValue(L"CLSID\\{00000000-1111-2222-3333-444444444444}"), L"<no value>") << "a neighbour stays";
  EXPECT_EQ(unregisterServer(), E_FAIL) << "nothing left to remove";
  RegDeleteKeyW(HKEY_CLASSES_ROOT, L"CLSID\\{00000000-1111-2222-3333-444444444444}");
}

TEST_F(PluginContract, FactoryAndObjectFollowTheComRules) {
  ASSERT_EQ(registerServer(), S_OK);
  const CLSID other = {0x12345678, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
  void* untouched = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(getClassObject(other, IID_IClassFactory, &untouched), static_cast<HRESULT>(0x80040111));
  EXPECT_EQ(untouched, reinterpret_cast<void*>(0x1));
  EXPECT_EQ(getClassObject(kClsid, IID_IClassFactory, nullptr), E_POINTER);
  void* object = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(getClassObject(kClsid, IID_IHomePlugin, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);

  IClassFactory* factory = nullptr;
  ASSERT_EQ(getClassObject(kClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  object = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(factory->CreateInstance(factory, IID_IHomePlugin, &object), static_cast<HRESULT>(0x80040110));
  EXPECT_EQ(object, nullptr);
  object = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IStream, &object), static_cast<HRESULT>(0x80004002));
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(canUnloadNow(), S_OK) << "the failed object is gone again";

  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(canUnloadNow(), S_FALSE);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(canUnloadNow(), S_OK);
  EXPECT_EQ(factory->Release(), 0u);

  IHomePlugin* plugin = Create();
  ASSERT_NE(plugin, nullptr);
  EXPECT_EQ(canUnloadNow(), S_FALSE);
  IPersistStream* persist = nullptr;
  ASSERT_EQ(plugin->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist)), S_OK);
  EXPECT_NE(static_cast<void*>(persist), static_cast<void*>(plugin)) << "the second interface pointer";
  IUnknown* unknown = nullptr;
  ASSERT_EQ(persist->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
  EXPECT_EQ(static_cast<void*>(unknown), static_cast<void*>(plugin)) << "identity is the primary pointer";
  EXPECT_EQ(unknown->Release(), 2u);
  EXPECT_EQ(persist->AddRef(), 3u) << "one count for both interfaces";
  EXPECT_EQ(plugin->Release(), 2u);
  EXPECT_EQ(persist->Release(), 1u);
  EXPECT_EQ(plugin->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
  object = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(plugin->QueryInterface(IID_IClassFactory, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);

  CLSID classId{};
  EXPECT_EQ(persist->GetClassID(&classId), S_OK);
  EXPECT_TRUE(IsEqualCLSID(classId, kClsid));
  ULARGE_INTEGER sizeMax;
  sizeMax.QuadPart = ~0ull;
  EXPECT_EQ(persist->GetSizeMax(&sizeMax), S_OK);
  EXPECT_EQ(sizeMax.QuadPart, 0u);

  EXPECT_EQ(plugin->Release(), 0u);
  EXPECT_EQ(canUnloadNow(), S_OK) << "after the last release";
  ASSERT_EQ(unregisterServer(), S_OK);
}

TEST_F(PluginContract, TheHomeScreensLifecycle) {
  ASSERT_EQ(registerServer(), S_OK);
  suite_test::MakeFolders(L"\\Storage\\Application Data\\Home");
  ASSERT_TRUE(suite_test::WriteDeviceFile(L"\\Storage\\Application Data\\Home\\test.scheme.xml",
                                          "<colorscheme><scheme><color name=\"COLOR_WINDOW\" value=\"#204060\"/>"
                                          "</scheme></colorscheme>"));
  HKEY home = nullptr;
  ASSERT_EQ(
      RegCreateKeyExW(HKEY_CURRENT_USER, L"ControlPanel\\Home", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &home, nullptr),
      ERROR_SUCCESS);
  RegDeleteValueW(home, L"ColorScheme");
  RegCloseKey(home);

  FakeEnvironment environment;
  IHomePlugin* plugin = Create();
  ASSERT_NE(plugin, nullptr);
  BareSite bare;
  EXPECT_EQ(plugin->SetSite(&bare), E_NOINTERFACE);
  void* site = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(plugin->GetSite(IID_IHomePluginEnvironment, &site), E_FAIL);
  EXPECT_EQ(plugin->SetSite(&environment), S_OK);
  EXPECT_EQ(environment.refs, 2u);
  ASSERT_EQ(plugin->GetSite(IID_IHomePluginEnvironment, &site), S_OK);
  EXPECT_EQ(site, static_cast<void*>(&environment));
  environment.Release();
  EXPECT_EQ(plugin->Initialize(0x1234), S_OK);

  IPersistStream* persist = nullptr;
  ASSERT_EQ(plugin->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist)), S_OK);
  IStream* stream = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
  const DWORD saved = 0x01020304;
  stream->Write(&saved, 2, nullptr);
  LARGE_INTEGER start{};
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  EXPECT_EQ(persist->Load(stream), E_FAIL) << "a stream shorter than its four bytes";
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  stream->Write(&saved, 4, nullptr);
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  EXPECT_EQ(persist->Load(stream), S_OK);
  EXPECT_EQ(persist->IsDirty(), S_FALSE);

  int height = 0;
  ASSERT_EQ(plugin->GetHeight(&height), S_OK);
  EXPECT_GT(height, 0);
  HWND window = FindWindowW(L"SuiteTestPlugWnd", nullptr);
  EXPECT_NE(window, nullptr) << "the first GetHeight makes the plug-in's window";
  BOOL selectable = FALSE;
  EXPECT_EQ(plugin->GetSelectability(&selectable), S_OK);
  EXPECT_TRUE(selectable);

  redraw();
  EXPECT_TRUE(environment.redraws.empty()) << "no redraw before the first event";

  PluginEvent event{};
  event.kind = PE_KEYDOWN;
  event.keyDown.key = VK_LEFT;
  EXPECT_EQ(plugin->OnEvent(&event), S_OK);
  event.kind = PE_ACTION;
  EXPECT_EQ(plugin->OnEvent(&event), S_OK);
  event.kind = PE_TIMER;
  EXPECT_EQ(plugin->OnEvent(&event), S_OK);
  ASSERT_EQ(environment.redraws.size(), 1u);
  EXPECT_EQ(environment.redraws[0], std::make_pair(HPLUGIN{0x1234}, DWORD{3}));
  EXPECT_EQ(plugin->OnEvent(nullptr), E_POINTER);

  // Paint into a memory surface, before and after the scheme changes.
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = 240;
  info.bmiHeader.biHeight = -100;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  event = PluginEvent{};
  event.kind = PE_PAINT;
  event.paint.hdc = memory;
  event.paint.rect = {0, 10, 240, 10 + height};
  EXPECT_EQ(plugin->OnEvent(&event), S_OK);
  const COLORREF before = GetPixel(memory, 5, 20);
  const std::wstring schemePath = L"\\Storage\\Application Data\\Home\\test.scheme.xml";
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"ControlPanel\\Home", 0, KEY_ALL_ACCESS, &home), ERROR_SUCCESS);
  RegSetValueExW(home, L"ColorScheme", 0, REG_SZ, reinterpret_cast<const BYTE*>(schemePath.c_str()),
                 static_cast<DWORD>((schemePath.size() + 1) * 2));
  RegCloseKey(home);
  PluginEvent change{};
  change.kind = PE_SYSCOLORCHANGE;
  EXPECT_EQ(plugin->OnEvent(&change), S_OK);
  EXPECT_EQ(plugin->OnEvent(&event), S_OK);
  EXPECT_EQ(GetPixel(memory, 5, 20), RGB(0x20, 0x40, 0x60));
  EXPECT_NE(before, RGB(0x20, 0x40, 0x60));
  EXPECT_EQ(GetPixel(memory, 5, 5), RGB(0, 0, 0)) << "nothing outside the area";
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(std::wstring(log()), L"key 37;action;timer;paint 0;colors;paint 0;");

  // The key changed what the plug-in keeps.
  EXPECT_EQ(persist->IsDirty(), S_OK);
  IStream* out = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &out), S_OK);
  EXPECT_EQ(persist->Save(out, TRUE), S_OK);
  EXPECT_EQ(persist->IsDirty(), S_FALSE);
  out->Seek(start, STREAM_SEEK_SET, nullptr);
  DWORD written = 0;
  ULONG read = 0;
  out->Read(&written, 4, &read);
  EXPECT_EQ(read, 4u);
  EXPECT_EQ(written, saved + 1);
  out->Release();
  stream->Release();
  persist->Release();

  // The end: the environment goes with SetSite(null), the object with its
  // last release, the window with the last factory.
  EXPECT_EQ(plugin->SetSite(nullptr), S_OK);
  EXPECT_EQ(environment.refs, 1u);
  EXPECT_EQ(plugin->GetSite(IID_IHomePluginEnvironment, &site), E_FAIL);
  redraw();
  EXPECT_EQ(environment.redraws.size(), 1u) << "no redraw through a released environment";
  EXPECT_EQ(canUnloadNow(), S_FALSE);
  EXPECT_EQ(plugin->Release(), 0u);
  EXPECT_EQ(canUnloadNow(), S_OK);
  EXPECT_TRUE(IsWindow(window));
  IClassFactory* factory = nullptr;
  ASSERT_EQ(getClassObject(kClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  factory->Release();
  EXPECT_FALSE(IsWindow(window));
  ASSERT_EQ(unregisterServer(), S_OK);
}

}  // namespace
