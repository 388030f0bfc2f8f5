// The plug-in library as the home screen drives it: created through its
// class factory, sized, started, persisted, painted and unloaded.
#include <gtest/gtest.h>

#include <vector>

#include "ce/homeplugin.h"
#include "ce/objidl.h"
#include "ce/testing.h"
#include "ce/windows.h"
#include "scoped_setting.h"

namespace {

const CLSID kClsid = {0x9053E85C, 0x7F84, 0x4dbe, {0xA3, 0xB7, 0xC2, 0x0F, 0xFE, 0x6B, 0xA9, 0x0D}};

class Environment : public IHomePluginEnvironment {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IHomePluginEnvironment)) {
      *object = this;
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT InvalidatePlugin(HPLUGIN plugin, DWORD what) override {
    handles.push_back(plugin);
    (void)what;
    return S_OK;
  }
  std::vector<HPLUGIN> handles;
};

template <typename F>
F Export(HMODULE module, const wchar_t* name) {
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddressW(module, name)));
}

void Pump() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

TEST(TessivoPlugin, StartsPersistsPaintsAndUnloads) {
  ce::test::ScopedSetting folders{"DEVICE_PROGRAM_FOLDERS", std::string("Launcher=") + TESSIVO_FOLDER};
  RegDeleteKeyW(HKEY_CURRENT_USER, L"SOFTWARE\\Tarnwell\\Tessivo");
  ASSERT_EQ(CoInitializeEx(nullptr, 0), S_OK);
  HMODULE library = LoadLibraryW(L"\\Program Files\\Launcher\\Tessivo.dll");
  ASSERT_NE(library, nullptr);
  auto getClassObject = Export<LPFNGETCLASSOBJECT>(library, L"DllGetClassObject");
  auto launchOptions = Export<BOOL (*)()>(library, L"LaunchTSOptions");
  ASSERT_TRUE(getClassObject && launchOptions);
  for (const wchar_t* name : {L"LaunchTSIcons", L"LaunchSweepkit", L"LaunchChimer"}) {
    EXPECT_NE(GetProcAddressW(library, name), nullptr);
  }
  EXPECT_EQ(launchOptions(), 0) << "no window before the first GetHeight";

  IClassFactory* factory = nullptr;
  ASSERT_EQ(getClassObject(kClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  IHomePlugin* plugin = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IHomePlugin, reinterpret_cast<void**>(&plugin)), S_OK);
  Environment environment;
  EXPECT_EQ(plugin->SetSite(&environment), S_OK);
  EXPECT_EQ(plugin->Initialize(7), S_OK);

  // A stream from an earlier session: its 4 bytes are kept and written
  // back, and never replace the handle the host gave.
  IPersistStream* persist = nullptr;
  ASSERT_EQ(plugin->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist)), S_OK);
  IStream* stream = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
  const DWORD stale = 0x1234;
  stream->Write(&stale, sizeof stale, nullptr);
  LARGE_INTEGER start = {};
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  EXPECT_EQ(persist->Load(stream), S_OK);

  int height = 0;
  ASSERT_EQ(plugin->GetHeight(&height), S_OK);
  EXPECT_EQ(height, 21) << "one scrolling line at 96 DPI, plus 2";
  int again = 0;
  ASSERT_EQ(plugin->GetHeight(&again), S_OK);
  EXPECT_EQ(again, height);
  HWND window = FindWindowW(L"TessivoWnd", L"");
  ASSERT_NE(window, nullptr);
  Pump();  // the start-up command
  DWORD saved = 0;
  DWORD size = sizeof saved;
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Tarnwell\\Tessivo", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExW(key, L"THR", nullptr, nullptr, reinterpret_cast<BYTE*>(&saved), &size), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(saved, static_cast<DWORD>(reinterpret_cast<UINT_PTR>(window)));
  EXPECT_EQ(launchOptions(), 1);
  // The message is posted to the bar window (taken here, as running it
  // would open the dialog).
  MSG posted;
  EXPECT_TRUE(PeekMessageW(&posted, window, 1424, 1424, PM_REMOVE));

  // Paint selected, then move right: the bar asks the host with its own
  // handle.
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 240, height);
  SelectObject(dc, bitmap);
  PluginEvent paint = {};
  paint.kind = PE_PAINT;
  paint.paint.hdc = dc;
  paint.paint.selected = TRUE;
  paint.paint.rect = {0, 0, 240, height};
  EXPECT_EQ(plugin->OnEvent(&paint), S_OK);
  PluginEvent right = {};
  right.kind = PE_KEYDOWN;
  right.keyDown.key = VK_RIGHT;
  EXPECT_EQ(plugin->OnEvent(&right), S_OK);
  ASSERT_FALSE(environment.handles.empty());
  EXPECT_EQ(environment.handles.back(), 7u);

  IStream* out = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &out), S_OK);
  EXPECT_EQ(persist->Save(out, TRUE), S_OK);
  out->Seek(start, STREAM_SEEK_SET, nullptr);
  DWORD written = 0;
  ULONG read = 0;
  out->Read(&written, sizeof written, &read);
  EXPECT_EQ(read, 4u);
  EXPECT_EQ(written, stale);
  out->Release();
  stream->Release();
  persist->Release();

  DeleteDC(dc);
  DeleteObject(bitmap);
  ReleaseDC(nullptr, screen);
  plugin->Release();
  factory->Release();
  EXPECT_EQ(FindWindowW(L"TessivoWnd", L""), nullptr) << "the factory takes the window down";
  EXPECT_TRUE(FreeLibrary(library));
  CoUninitialize();
}

}  // namespace
