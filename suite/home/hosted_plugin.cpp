#include "hosted_plugin.h"

#include <cwchar>
#include <algorithm>
#include <exception>
#include <vector>

#include "ce/objidl.h"
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

}  // namespace

void HostedPlugin::Fail(const std::wstring& why) {
  failure_ = why;
  suite::LogLine(L"Home: the plug-in %s is left out: %s", entry_.clsidText.c_str(), why.c_str());
  // No call reaches it from now on. Its pointers are released when the home
  // screen drops it, once no call into any plug-in is under way: it may
  // have failed inside a message loop that one of its own calls runs.
  state_ = State::Failed;
}

void HostedPlugin::Drop() {
  try {
    persist_.Reset();
    plugin_.Reset();
  } catch (...) {
    // A plug-in that fails even in Release is abandoned.
    persist_.Detach();
    plugin_.Detach();
  }
}

void HostedPlugin::Load(IHomePluginEnvironment* environment, int maxHeight, int blockHeight) {
  std::wstring why;
  HRESULT hr = E_FAIL;
  if (!Guarded(
          [&] {
            hr = CoCreateInstance(entry_.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IHomePlugin, plugin_.PutVoid());
          },
          why, L"creating it")) {
    return Fail(why);
  }
  if (hr == REGDB_E_CLASSNOTREG) {
    state_ = State::Block;
    height_ = blockHeight;
    return;
  }
  if (FAILED(hr) || !plugin_) return Fail(L"it could not be created (" + Hex(hr) + L")");

  const std::vector<std::uint8_t> saved = ReadPluginBytes(entry_.clsidText);
  int height = 0;
  BOOL selectable = FALSE;
  const bool ok = Guarded(
      [&] {
        if (FAILED(hr = plugin_->SetSite(environment))) {
          why = L"SetSite failed (" + Hex(hr) + L")";
          return;
        }
        if (FAILED(hr = plugin_->Initialize(handle_))) {
          why = L"Initialize failed (" + Hex(hr) + L")";
          return;
        }
        if (plugin_->QueryInterface(IID_IPersistStream, persist_.PutVoid()) == S_OK && persist_) {
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
          if (FAILED(hr = persist_->Load(stream.Get()))) {
            suite::LogLine(L"Home: the plug-in %s did not take its saved bytes (0x%08X)", entry_.clsidText.c_str(),
                           static_cast<unsigned>(hr));
          }
        }
        if (FAILED(hr = plugin_->GetHeight(&height))) {
          why = L"GetHeight failed (" + Hex(hr) + L")";
          return;
        }
        if (FAILED(plugin_->GetSelectability(&selectable))) selectable = FALSE;
      },
      why, L"setting it up");
  if (!ok || !why.empty()) {
    // A plug-in that got its site gives it back before it goes.
    std::wstring ignored;
    Guarded([&] { plugin_->SetSite(nullptr); }, ignored, L"SetSite");
    return Fail(why);
  }
  state_ = State::Running;
  height_ = std::clamp(height, 0, maxHeight);
  selectable_ = selectable != FALSE;
}

void HostedPlugin::Unload() {
  if (state_ != State::Running) {
    Drop();
    return;
  }
  std::wstring why;
  const bool ok = Guarded(
      [&] {
        if (persist_ && persist_->IsDirty() == S_OK) {
          ComPtr<IStream> stream;
          if (CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()) == S_OK &&
              SUCCEEDED(persist_->Save(stream.Get(), TRUE))) {
            WritePluginBytes(entry_.clsidText, StreamBytes(stream.Get()));
          }
        }
        plugin_->SetSite(nullptr);
        persist_.Reset();
        plugin_.Reset();
      },
      why, L"unloading it");
  if (!ok) return Fail(why);
  state_ = State::Block;
}

bool HostedPlugin::Send(PluginEvent& event) {
  if (state_ != State::Running) return true;
  std::wstring why;
  if (Guarded([&] { plugin_->OnEvent(&event); }, why, L"OnEvent")) return true;
  Fail(why);
  return false;
}

bool HostedPlugin::Remeasure(int maxHeight) {
  if (state_ != State::Running) return false;
  int height = height_;
  std::wstring why;
  if (!Guarded([&] { plugin_->GetHeight(&height); }, why, L"GetHeight")) {
    Fail(why);
    return true;
  }
  height = std::clamp(height, 0, maxHeight);
  const bool changed = height != height_;
  height_ = height;
  return changed;
}

}  // namespace home
