#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "ce/msxml.h"
#include "ce/homeplugin.h"
#include "ce/objbase.h"
#include "ce/objidl.h"
#include "ce/oleauto.h"
#include "ce/strconv.h"
#include "ce/winbase.h"
#include "ce/winreg.h"
#include "com_ptr.h"
#include "modules/com_plugin.h"
#include "scoped_setting.h"

namespace {

using ce::test::Ptr;
using ce::test::ScopedSetting;

TEST(ComInit, CountsPerThreadAndGuardsCreation) {
  Ptr<IXMLDOMDocument> doc;
  EXPECT_EQ(CoCreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument, doc.Out()),
            CO_E_NOTINITIALIZED);
  EXPECT_FALSE(doc);
  EXPECT_EQ(CoInitializeEx(nullptr, 0), S_OK);
  EXPECT_EQ(CoInitializeEx(nullptr, 0), S_FALSE);
  CoUninitialize();
  EXPECT_EQ(CoCreateInstance(CLSID_DOMDocument, nullptr, 5, IID_IXMLDOMDocument, doc.Out()), S_OK);
  EXPECT_TRUE(doc);
  CoUninitialize();
  CoUninitialize();  // one too many is harmless
  EXPECT_EQ(CoCreateInstance(CLSID_DOMDocument, nullptr, 5, IID_IXMLDOMDocument, doc.Out()), CO_E_NOTINITIALIZED);
}

class Com : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(CoInitializeEx(nullptr, 0), S_OK); }
  void TearDown() override { CoUninitialize(); }

  // Registers `clsid` with the library at `path` the way a library's
  // DllRegisterServer does.
  static void Register(REFCLSID clsid, const std::wstring& path) {
    wchar_t braced[39];
    ASSERT_EQ(StringFromGUID2(clsid, braced, 39), 39);
    const std::wstring key = std::wstring(L"CLSID\\") + braced + L"\\InprocServer32";
    HKEY server = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &server, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(server, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                             static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    RegCloseKey(server);
  }
};

TEST_F(Com, BuiltInDocumentAndCreationErrors) {
  Ptr<IUnknown> unknown;
  EXPECT_EQ(CoCreateInstance(CLSID_DOMDocument, nullptr, 0x17, IID_IUnknown, unknown.Out()), S_OK);
  ASSERT_TRUE(unknown);
  // QueryInterface: the same object for its interfaces, null on failure,
  // E_POINTER for no out pointer.
  Ptr<IXMLDOMDocument> doc;
  EXPECT_EQ(unknown->QueryInterface(IID_IXMLDOMDocument, doc.Out()), S_OK);
  Ptr<IUnknown> again;
  EXPECT_EQ(doc->QueryInterface(IID_IUnknown, again.Out()), S_OK);
  EXPECT_EQ(again.get(), unknown.get());
  void* none = &none;
  EXPECT_EQ(unknown->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(unknown->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

  none = &none;
  EXPECT_EQ(CoCreateInstance(CLSID_DOMDocument, nullptr, 5, IID_IClassFactory, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(CoCreateInstance(CLSID_DOMDocument, unknown.get(), 5, IID_IUnknown, &none), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(CoCreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, &none),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(CoCreateInstance(CLSID_DOMDocument, nullptr, 5, IID_IUnknown, nullptr), E_POINTER);
}

TEST_F(Com, OtherClassesComeFromTheLibraryTheRegistryNames) {
  const std::string library = CE_COM_PLUGIN;
  ScopedSetting mounts("DEVICE_PROGRAM_FOLDERS", "Plugins=" + std::filesystem::path(library).parent_path().string());
  const std::wstring path = L"\\Program Files\\Plugins\\ComPlug.dll";

  void* object = &object;
  EXPECT_EQ(CoCreateInstance(CLSID_SampleObject, nullptr, 5, IID_ISample, &object), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(object, nullptr);

  Register(CLSID_SampleObject, path);
  Ptr<ISample> sample;
  ASSERT_EQ(CoCreateInstance(CLSID_SampleObject, nullptr, 0x17, IID_ISample, sample.Out()), S_OK);
  ASSERT_TRUE(sample);
  EXPECT_EQ(sample->Answer(), 42);
  HMODULE module = GetModuleHandleW(L"ComPlug.dll");
  ASSERT_NE(module, nullptr);
  auto canUnload =
      reinterpret_cast<LPFNCANUNLOADNOW>(reinterpret_cast<void (*)()>(GetProcAddressW(module, L"DllCanUnloadNow")));
  ASSERT_NE(canUnload, nullptr);
  EXPECT_EQ(canUnload(), S_FALSE);
  sample.Reset();
  EXPECT_EQ(canUnload(), S_OK);  // the factory went with the call

  // The library's own answers pass through, with a null out pointer.
  object = &object;
  EXPECT_EQ(CoCreateInstance(CLSID_SampleObject, nullptr, 5, CLSID_DOMDocument, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  const CLSID other = {0x5EC0A1B4, 0x1C2D, 0x4E3F, {0x80, 0x91, 0xA2, 0xB3, 0xC4, 0xD5, 0xE6, 0xF7}};
  Register(other, path);
  EXPECT_EQ(CoCreateInstance(other, nullptr, 5, IID_IUnknown, &object), CLASS_E_CLASSNOTAVAILABLE);
  // A library that is not there, or that is not a component library.
  Register(other, L"\\Program Files\\Plugins\\Missing.dll");
  EXPECT_EQ(CoCreateInstance(other, nullptr, 5, IID_IUnknown, &object), CO_E_DLLNOTFOUND);
  EXPECT_EQ(object, nullptr);
}

TEST(Guids, InterfaceIdentifiersOfStreamsSitesAndHomePlugins) {
  const std::pair<const GUID*, const wchar_t*> table[] = {
      {&IID_IStream, L"{0000000C-0000-0000-C000-000000000046}"},
      {&IID_ISequentialStream, L"{0C733A30-2A1C-11CE-ADE5-00AA0044773D}"},
      {&IID_IPersist, L"{0000010C-0000-0000-C000-000000000046}"},
      {&IID_IPersistStream, L"{00000109-0000-0000-C000-000000000046}"},
      {&IID_IObjectWithSite, L"{FC4801A3-2BA9-11CF-A229-00AA003D7352}"},
      {&IID_IHomePlugin, L"{7F0C58E9-4F30-47BB-9693-D778E999C433}"},
      {&IID_IHomePluginEnvironment, L"{FF328DC0-22F5-4AC1-A103-19B389C633FA}"},
  };
  for (const auto& [iid, text] : table) {
    wchar_t written[39];
    ASSERT_EQ(StringFromGUID2(*iid, written, 39), 39);
    EXPECT_STREQ(written, text);
  }
  const std::pair<DWORD, DWORD> kinds[] = {{PE_KEYDOWN, 0},        {PE_ACTION, 1}, {PE_PAINT, 2},
                                           {PE_SYSCOLORCHANGE, 3}, {PE_TIMER, 4},  {PE_DATACHANGE, 5}};
  for (const auto& [kind, value] : kinds) EXPECT_EQ(kind, value);
}

TEST(MemoryStream, ReadsWritesSeeksAndClones) {
  Ptr<IStream> stream;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
  const BYTE bytes[] = {1, 2, 3, 4, 5, 6};
  ULONG moved = 99;
  EXPECT_EQ(stream->Write(bytes, 6, &moved), S_OK);
  EXPECT_EQ(moved, 6u);

  LARGE_INTEGER move{};
  ULARGE_INTEGER position{};
  move.QuadPart = 2;
  EXPECT_EQ(stream->Seek(move, STREAM_SEEK_SET, &position), S_OK);
  EXPECT_EQ(position.QuadPart, 2u);
  BYTE read[8] = {};
  EXPECT_EQ(stream->Read(read, 8, &moved), S_OK) << "a short read at the end is not an error";
  EXPECT_EQ(moved, 4u);
  EXPECT_EQ(read[0], 3);
  EXPECT_EQ(read[3], 6);
  EXPECT_EQ(stream->Read(read, 4, &moved), S_OK);
  EXPECT_EQ(moved, 0u);

  // Before the start or far past any size: refused, position kept.
  for (const auto& [offset, origin] : {std::pair<LONGLONG, DWORD>{-1, STREAM_SEEK_SET},
                                       {-7, STREAM_SEEK_END},
                                       {0x7FFFFFFFFFFFFFFFll, STREAM_SEEK_CUR},
                                       {static_cast<LONGLONG>(0x8000000000000000ull), STREAM_SEEK_CUR},
                                       {0, 3}}) {
    move.QuadPart = offset;
    EXPECT_NE(stream->Seek(move, origin, &position), S_OK) << offset;
  }
  move.QuadPart = 0;
  EXPECT_EQ(stream->Seek(move, STREAM_SEEK_CUR, &position), S_OK);
  EXPECT_EQ(position.QuadPart, 6u);

  // A clone shares the bytes, with a position of its own.
  Ptr<IStream> clone;
  ASSERT_EQ(stream->Clone(&clone), S_OK);
  move.QuadPart = -6;
  EXPECT_EQ(clone->Seek(move, STREAM_SEEK_END, nullptr), S_OK);
  EXPECT_EQ(stream->Write(bytes, 2, nullptr), S_OK);
  STATSTG stat{};
  EXPECT_EQ(clone->Stat(&stat, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(stat.cbSize.QuadPart, 8u);
  EXPECT_EQ(stat.type, STGTY_STREAM);
  EXPECT_EQ(clone->Read(read, 1, &moved), S_OK);
  EXPECT_EQ(read[0], 1);

  // Writing past the end fills the gap with zeros; the size can be cut.
  move.QuadPart = 10;
  EXPECT_EQ(stream->Seek(move, STREAM_SEEK_SET, nullptr), S_OK);
  EXPECT_EQ(stream->Write(bytes, 1, nullptr), S_OK);
  move.QuadPart = 8;
  EXPECT_EQ(stream->Seek(move, STREAM_SEEK_SET, nullptr), S_OK);
  EXPECT_EQ(stream->Read(read, 3, &moved), S_OK);
  EXPECT_EQ(moved, 3u);
  EXPECT_EQ(read[0], 0);
  EXPECT_EQ(read[2], 1);
  ULARGE_INTEGER size{};
  size.QuadPart = 3;
  EXPECT_EQ(stream->SetSize(size), S_OK);
  EXPECT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(stat.cbSize.QuadPart, 3u);

  Ptr<ISequentialStream> sequential;
  EXPECT_EQ(stream->QueryInterface(IID_ISequentialStream, sequential.Out()), S_OK);
  void* none = &none;
  EXPECT_EQ(stream->QueryInterface(IID_IPersist, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, nullptr), E_INVALIDARG);
}

TEST(Guids, TextRoundTripAndRefusals) {
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromString(L"{2933bf90-7b36-11d2-B20E-00C04F983E60}", &clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_DOMDocument));
  wchar_t text[39];
  EXPECT_EQ(StringFromGUID2(clsid, text, 39), 39);
  EXPECT_EQ(std::wstring(text), L"{2933BF90-7B36-11D2-B20E-00C04F983E60}");
  EXPECT_EQ(StringFromGUID2(clsid, text, 38), 0);

  for (const wchar_t* bad : {L"", L"{2933BF90-7B36-11D2-B20E-00C04F983E6}", L"{2933BF90-7B36-11D2-B20E-00C04F983E600}",
                             L"2933BF90-7B36-11D2-B20E-00C04F983E60", L"{2933BF90-7B36-11D2-B20E-00C04F983E6G}",
                             L"{2933BF90 7B36-11D2-B20E-00C04F983E60}", L"{2933BF90-7B36-11D2-B20E-00C04F983E60"}) {
    CLSID untouched = CLSID_DOMDocument;
    EXPECT_EQ(CLSIDFromString(bad, &untouched), CO_E_CLASSSTRING) << ce::Utf8FromWide(bad);
    EXPECT_TRUE(IsEqualCLSID(untouched, CLSID_DOMDocument));
  }
  EXPECT_EQ(CLSIDFromString(nullptr, &clsid), E_INVALIDARG);
}

TEST(Bstr, LengthPrefixAndTerminator) {
  BSTR text = SysAllocString(L"abc");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(SysStringLen(text), 3u);
  EXPECT_EQ(SysStringByteLen(text), 3u * sizeof(OLECHAR));
  EXPECT_EQ(text[3], L'\0');
  SysFreeString(text);

  // Embedded nulls count; a null source gives zeroed characters.
  const wchar_t withNull[] = {L'a', L'\0', L'b'};
  text = SysAllocStringLen(withNull, 3);
  EXPECT_EQ(SysStringLen(text), 3u);
  EXPECT_EQ(std::wstring(text, 3), std::wstring(withNull, 3));
  EXPECT_EQ(SysReAllocString(&text, L"longer text"), TRUE);
  EXPECT_EQ(SysStringLen(text), 11u);
  SysFreeString(text);
  text = SysAllocStringLen(nullptr, 4);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(SysStringLen(text), 4u);
  EXPECT_EQ(std::wstring(text, 5), std::wstring(5, L'\0'));
  SysFreeString(text);
  text = SysAllocString(L"");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(SysStringLen(text), 0u);
  SysFreeString(text);

  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  SysFreeString(nullptr);
  EXPECT_EQ(SysAllocStringLen(nullptr, 0xFFFFFFFFu), nullptr);  // the byte count would not fit
}

// Counts references, so clearing a variant shows its release.
class Counted final : public IUnknown {
 public:
  HRESULT QueryInterface(REFIID, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return --refs; }
  ULONG refs = 1;
};

TEST(Variant, ClearReleasesWhatItOwns) {
  VARIANT v;
  VariantInit(&v);
  EXPECT_EQ(v.vt, VT_EMPTY);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(L"owned");  // a leak here fails the sanitizer build
  EXPECT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(v.vt, VT_EMPTY);

  Counted counted;
  v.vt = VT_UNKNOWN;
  v.punkVal = &counted;
  counted.AddRef();
  VARIANT copy;
  VariantInit(&copy);
  EXPECT_EQ(VariantCopy(&copy, &v), S_OK);
  EXPECT_EQ(counted.refs, 3u);
  EXPECT_EQ(VariantClear(&copy), S_OK);
  EXPECT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(counted.refs, 1u);

  v.vt = 0x7777;
  EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
  EXPECT_EQ(VariantClear(nullptr), E_INVALIDARG);
}

TEST(Variant, ChangeTypeTable) {
  auto make = [](VARTYPE vt) {
    VARIANT v;
    VariantInit(&v);
    v.vt = vt;
    return v;
  };
  auto text = [&](const wchar_t* s) {
    VARIANT v = make(VT_BSTR);
    v.bstrVal = SysAllocString(s);
    return v;
  };
  struct Case {
    VARIANT from;
    VARTYPE to;
    HRESULT hr;
    std::wstring asText;  // the result as text when it is a string
    LONG asNumber;        // the result when it is a number or boolean
  };
  VARIANT i4 = make(VT_I4);
  i4.lVal = -42;
  VARIANT half = make(VT_R8);
  half.dblVal = 2.5;
  VARIANT threeHalves = make(VT_R8);
  threeHalves.dblVal = 3.5;
  VARIANT tenth = make(VT_R8);
  tenth.dblVal = 0.1;
  VARIANT yes = make(VT_BOOL);
  yes.boolVal = VARIANT_TRUE;
  Case cases[] = {
      {i4, VT_BSTR, S_OK, L"-42", 0},
      {text(L" 17 "), VT_I4, S_OK, L"", 17},
      {text(L"abc"), VT_I4, DISP_E_TYPEMISMATCH, L"", 0},
      {text(L""), VT_I4, DISP_E_TYPEMISMATCH, L"", 0},
      {text(L"99999999999"), VT_I4, DISP_E_OVERFLOW, L"", 0},
      {text(L"1e999"), VT_R8, DISP_E_OVERFLOW, L"", 0},
      {text(L"nan"), VT_R8, DISP_E_TYPEMISMATCH, L"", 0},
      {text(L"300"), VT_UI1, DISP_E_OVERFLOW, L"", 0},
      {half, VT_I4, S_OK, L"", 2},
      {threeHalves, VT_I4, S_OK, L"", 4},
      {tenth, VT_BSTR, S_OK, L"0.1", 0},
      {yes, VT_BSTR, S_OK, L"-1", 0},
      {text(L"True"), VT_BOOL, S_OK, L"", VARIANT_TRUE},
      {text(L"0"), VT_BOOL, S_OK, L"", VARIANT_FALSE},
      {make(VT_EMPTY), VT_BSTR, S_OK, L"", 0},
      {make(VT_NULL), VT_BSTR, DISP_E_TYPEMISMATCH, L"", 0},
      {make(VT_I4), 0x7777, DISP_E_BADVARTYPE, L"", 0},
  };
  for (Case& c : cases) {
    VARIANT out;
    VariantInit(&out);
    EXPECT_EQ(VariantChangeType(&out, &c.from, 0, c.to), c.hr) << "to " << c.to;
    if (c.hr == S_OK) {
      EXPECT_EQ(out.vt, c.to);
      if (c.to == VT_BSTR) {
        EXPECT_EQ(std::wstring(out.bstrVal, SysStringLen(out.bstrVal)), c.asText);
      } else if (c.to == VT_BOOL) {
        EXPECT_EQ(out.boolVal, c.asNumber);
      } else {
        EXPECT_EQ(out.lVal, c.asNumber);
      }
    } else {
      EXPECT_EQ(out.vt, VT_EMPTY);  // a failed change leaves the target alone
    }
    VariantClear(&out);
    VariantClear(&c.from);
  }
  // In place: the source string is released and replaced by the number.
  VARIANT v = text(L"123");
  EXPECT_EQ(VariantChangeType(&v, &v, 0, VT_I4), S_OK);
  EXPECT_EQ(v.vt, VT_I4);
  EXPECT_EQ(v.lVal, 123);
}

TEST(TaskMemory, InterchangesWithTheCHeap) {
  void* block = CoTaskMemAlloc(16);
  ASSERT_NE(block, nullptr);
  std::free(block);
  CoTaskMemFree(std::malloc(8));
  CoTaskMemFree(nullptr);
  void* empty = CoTaskMemAlloc(0);
  EXPECT_NE(empty, nullptr);
  CoTaskMemFree(empty);
}

}  // namespace
