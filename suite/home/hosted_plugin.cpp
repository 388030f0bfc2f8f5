#include "hosted_plugin.h"

#include <cwchar>
#include <algorithm>
#include <exception>
#include <vector>

#include "ce/objbase.h"
#include "ce/objidl.h"
#include "ce/winreg.h"
#include "ce/strconv.h"
#include "common/log.h"
#include "home_settings.h"

namespace home {
namespace {

std::wstring Hex(HRESULT hr) {
  wchar_t text[16];
  std::swprintf(text, 16, L"0x%08X", static_cast<unsigned>(hr));
  return text;
}

// Runs one call into the plug-in; an exception out of it is its failure.
template <typename Call>
bool Guarded(Call call, std::wstring& why, const wchar_t* what) {
  try {
    call();
    return true;
  } catch (const std::exception& e) {
    why = std::wstring(what) + L" failed: " + ce::WideFromUtf8(e.what());
  } catch (...) {
    why = std::wstring(what) + L" failed";
  }
  return false;
}

std::vector<std::uint8_t> StreamBytes(IStream* stream) {
  STATSTG stat{};
  if (stream->Stat(&stat, STATFLAG_NONAME) != S_OK || stat.cbSize.QuadPart > kMaxPluginBytes) return {};
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(stat.cbSize.QuadPart));
  LARGE_INTEGER start{};
  ULONG read = 0;
  if (stream->Seek(start, STREAM_SEEK_SET, nullptr) != S_OK ||
      stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read) != S_OK) {
    return {};
  }
  bytes.resize(read);
  return bytes;
}

// The library the registry names as the class's server, or empty.
std::wstring ServerPath(const std::wstring& clsidText) {
  const std::wstring key = L"CLSID\\" + clsidText + L"\\InprocServer32";
  HKEY server = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &server) != ERROR_SUCCESS) return {};
  wchar_t path[MAX_PATH + 1] = {};
  DWORD type = 0;
  DWORD size = MAX_PATH * sizeof(wchar_t);
  const LONG status = RegQueryValueExW(server, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(path), &size);
  RegCloseKey(server);
  if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return {};
  path[MAX_PATH] = L'\0';
  return path;
}

// The class factory of a plug-in, from the library the registry names.
// The library stays loaded for the rest of the run: windows and classes it
// registered may outlive any one plug-in object.
HRESULT GetClassFactory(const CLSID& clsid, const std::wstring& clsidText, ComPtr<IClassFactory>& factory) {
  const std::wstring path = ServerPath(clsidText);
  if (path.empty()) return REGDB_E_CLASSNOTREG;
  HMODULE module = LoadLibraryW(path.c_str());
  if (module == nullptr) return CO_E_DLLNOTFOUND;
  FARPROC entry = GetProcAddressW(module, L"DllGetClassObject");
  if (entry == nullptr) return CO_E_ERRORINDLL;
  // The export has its real signature; FARPROC only carries it here.
  auto getClassObject = reinterpret_cast<LPFNGETCLASSOBJECT>(reinterpret_cast<void (*)()>(entry));
  const HRESULT hr = getClassObject(clsid, IID_IClassFactory, factory.PutVoid());
  if (FAILED(hr)) return hr;
  return factory ? S_OK : E_NOINTERFACE;
}

}  // namespace

void HostedPlugin::Fail(const std::wstring& why) {
  m_failure = why;
  suite::LogLine(L"Home: the plug-in %s is left out: %s", m_entry.clsidText.c_str(), why.c_str());
  // No call reaches it from now on. Its pointers are released when the home
  // screen drops it, once no call into any plug-in is under way: it may
  // have failed inside a message loop that one of its own calls runs.
  m_state = State::Failed;
}

void HostedPlugin::Drop() {
  try {
    m_persist.Reset();
    m_plugin.Reset();
    m_factory.Reset();
  } catch (...) {
    // A plug-in that fails even in Release is abandoned.
    m_persist.Detach();
    m_plugin.Detach();
    m_factory.Detach();
  }
}

void HostedPlugin::Load(IHomePluginEnvironment* environment, int maxHeight, int blockHeight) {
  std::wstring why;
  HRESULT hr = E_FAIL;
  if (!Guarded(
          [&] {
            hr = GetClassFactory(m_entry.clsid, m_entry.clsidText, m_factory);
            if (SUCCEEDED(hr)) hr = m_factory->CreateInstance(nullptr, IID_IHomePlugin, m_plugin.PutVoid());
          },
          why, L"creating it")) {
    return Fail(why);
  }
  if (hr == REGDB_E_CLASSNOTREG) {
    m_state = State::Block;
    m_height = blockHeight;
    return;
  }
  if (FAILED(hr) || !m_plugin) return Fail(L"it could not be created (" + Hex(hr) + L")");

  const std::vector<std::uint8_t> saved = ReadPluginBytes(m_entry.clsidText);
  int height = 0;
  BOOL selectable = FALSE;
  const bool ok = Guarded(
      [&] {
        if (FAILED(hr = m_plugin->SetSite(environment))) {
          why = L"SetSite failed (" + Hex(hr) + L")";
          return;
        }
        if (FAILED(hr = m_plugin->Initialize(m_handle))) {
          why = L"Initialize failed (" + Hex(hr) + L")";
          return;
        }
        if (m_plugin->QueryInterface(IID_IPersistStream, m_persist.PutVoid()) == S_OK && m_persist) {
          ComPtr<IStream> stream;
          if (CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()) != S_OK) {
            why = L"no stream for its saved bytes";
            return;
          }
          if (!saved.empty()) {
            stream->Write(saved.data(), static_cast<ULONG>(saved.size()), nullptr);
            LARGE_INTEGER start{};
            stream->Seek(start, STREAM_SEEK_SET, nullptr);
          }
          // Bytes it cannot take (none yet, or another version's) are its
          // own affair: it starts from its defaults.
          if (FAILED(hr = m_persist->Load(stream.Get()))) {
            suite::LogLine(L"Home: the plug-in %s did not take its saved bytes (0x%08X)", m_entry.clsidText.c_str(),
                           static_cast<unsigned>(hr));
          }
        }
        if (FAILED(hr = m_plugin->GetHeight(&height))) {
          why = L"GetHeight failed (" + Hex(hr) + L")";
          return;
        }
        if (FAILED(m_plugin->GetSelectability(&selectable))) selectable = FALSE;
      },
      why, L"setting it up");
  if (!ok || !why.empty()) {
    // A plug-in that got its site gives it back before it goes.
    std::wstring ignored;
    Guarded([&] { m_plugin->SetSite(nullptr); }, ignored, L"SetSite");
    return Fail(why);
  }
  m_state = State::Running;
  m_height = std::clamp(height, 0, maxHeight);
  m_selectable = selectable != FALSE;
}

void HostedPlugin::Unload() {
  if (m_state != State::Running) {
    Drop();
    return;
  }
  std::wstring why;
  const bool ok = Guarded(
      [&] {
        if (m_persist && m_persist->IsDirty() == S_OK) {
          ComPtr<IStream> stream;
          if (CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()) == S_OK &&
              SUCCEEDED(m_persist->Save(stream.Get(), TRUE))) {
            WritePluginBytes(m_entry.clsidText, StreamBytes(stream.Get()));
          }
        }
        m_plugin->SetSite(nullptr);
        m_persist.Reset();
        m_plugin.Reset();
        // The factory goes last: it ends the plug-in's windows.
        m_factory.Reset();
      },
      why, L"unloading it");
  if (!ok) return Fail(why);
  m_state = State::Block;
}

bool HostedPlugin::Send(PluginEvent& event) {
  if (m_state != State::Running) return true;
  std::wstring why;
  if (Guarded([&] { m_plugin->OnEvent(&event); }, why, L"OnEvent")) return true;
  Fail(why);
  return false;
}

bool HostedPlugin::Remeasure(int maxHeight) {
  if (m_state != State::Running) return false;
  int height = m_height;
  std::wstring why;
  if (!Guarded([&] { m_plugin->GetHeight(&height); }, why, L"GetHeight")) {
    Fail(why);
    return true;
  }
  height = std::clamp(height, 0, maxHeight);
  const bool changed = height != m_height;
  m_height = height;
  return changed;
}

}  // namespace home
