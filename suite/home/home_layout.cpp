#include "home_layout.h"

#include <algorithm>

#include "ce/msxml.h"
#include "ce/oleauto.h"
#include "com_ptr.h"

namespace home {
namespace {

// A BSTR owned for the length of one call.
class Text {
 public:
  explicit Text(std::wstring_view text) : b_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  ~Text() { SysFreeString(b_); }
  Text(const Text&) = delete;
  Text& operator=(const Text&) = delete;
  BSTR get() const { return b_; }

 private:
  BSTR b_;
};

void Say(std::wstring* why, std::wstring text) {
  if (why) *why = std::move(text);
}

// The attribute's text; nothing when it is missing or longer than `limit`.
bool Attribute(IXMLDOMNode* node, const wchar_t* name, std::size_t limit, std::wstring& out) {
  ComPtr<IXMLDOMElement> element;
  if (node->QueryInterface(IID_IXMLDOMElement, element.PutVoid()) != S_OK) return false;
  Text attribute(name);
  VARIANT value;
  VariantInit(&value);
  const HRESULT hr = element->getAttribute(attribute.get(), &value);
  bool ok = false;
  if (hr == S_OK && value.vt == VT_BSTR && value.bstrVal != nullptr) {
    const UINT length = SysStringLen(value.bstrVal);
    if (length <= limit) {
      out.assign(value.bstrVal, length);
      ok = true;
    }
  }
  VariantClear(&value);
  return ok;
}

// Calls `each` for the nodes the query selects, at most `limit` of them.
template <typename Each>
void ForEachNode(IXMLDOMDocument* doc, const wchar_t* query, std::size_t limit, Each each) {
  ComPtr<IXMLDOMNodeList> list;
  Text text(query);
  if (doc->selectNodes(text.get(), list.Put()) != S_OK || !list) return;
  LONG length = 0;
  if (list->get_length(&length) != S_OK || length <= 0) return;
  const LONG count = std::min<LONG>(length, static_cast<LONG>(limit));
  for (LONG i = 0; i < count; ++i) {
    ComPtr<IXMLDOMNode> node;
    if (list->get_item(i, node.Put()) == S_OK && node) each(node.Get());
  }
}

bool RootIs(IXMLDOMDocument* doc, const wchar_t* wanted) {
  ComPtr<IXMLDOMElement> root;
  if (doc->get_documentElement(root.Put()) != S_OK || !root) return false;
  BSTR name = nullptr;
  if (root->get_tagName(&name) != S_OK) return false;
  const bool same = name != nullptr && std::wstring_view(name, SysStringLen(name)) == wanted;
  SysFreeString(name);
  return same;
}

bool Read(IXMLDOMDocument* doc, FileKind kind, HomeLayout& out, std::wstring* why) {
  const wchar_t* root = kind == FileKind::Layout ? L"home" : L"colorscheme";
  if (!RootIs(doc, root)) {
    Say(why, std::wstring(L"the root element is not \"") + root + L"\"");
    return false;
  }
  HomeLayout read;
  read.scheme.colors = DefaultColors();
  const std::wstring prefix = std::wstring(L"//") + root;

  ForEachNode(doc, (prefix + L"//scheme//color").c_str(), kMaxColorEntries, [&](IXMLDOMNode* node) {
    std::wstring name;
    std::wstring value;
    if (!Attribute(node, L"name", 64, name) || !Attribute(node, L"value", 16, value)) return;
    const auto slot = ColorSlotOf(name);
    const auto color = ParseColorValue(value);
    if (!slot || !color) return;
    read.scheme.colors[static_cast<std::size_t>(*slot)] = *color;
    read.scheme.present[static_cast<std::size_t>(*slot)] = true;
  });

  ForEachNode(doc, (prefix + L"//background").c_str(), 1, [&](IXMLDOMNode* node) {
    std::wstring path;
    if (Attribute(node, L"bgimage", kMaxPathChars, path)) read.background = std::move(path);
  });

  if (kind == FileKind::Layout) {
    ForEachNode(doc, L"//home//plugin", kMaxPlugins, [&](IXMLDOMNode* node) {
      LayoutPlugin plugin;
      if (!Attribute(node, L"clsid", 38, plugin.clsidText)) return;
      if (CLSIDFromString(plugin.clsidText.c_str(), &plugin.clsid) != S_OK) return;
      read.plugins.push_back(std::move(plugin));
    });
  }
  out = std::move(read);
  return true;
}

ComPtr<IXMLDOMDocument> NewDocument() {
  ComPtr<IXMLDOMDocument> doc;
  CoCreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument, doc.PutVoid());
  if (doc) {
    doc->put_async(VARIANT_FALSE);
    doc->put_resolveExternals(VARIANT_FALSE);
    doc->put_validateOnParse(VARIANT_FALSE);
  }
  return doc;
}

}  // namespace

bool ReadHomeFile(const wchar_t* path, FileKind kind, HomeLayout& out, std::wstring* why) {
  if (path == nullptr || *path == L'\0') {
    Say(why, L"no file is named");
    return false;
  }
  ComPtr<IXMLDOMDocument> doc = NewDocument();
  if (!doc) {
    Say(why, L"no XML document could be made");
    return false;
  }
  VARIANT source;
  VariantInit(&source);
  source.vt = VT_BSTR;
  source.bstrVal = SysAllocString(path);
  VARIANT_BOOL loaded = VARIANT_FALSE;
  doc->load(source, &loaded);
  VariantClear(&source);
  if (loaded != VARIANT_TRUE) {
    Say(why, L"the file is missing or is not well-formed XML");
    return false;
  }
  return Read(doc.Get(), kind, out, why);
}

bool ReadHomeText(std::wstring_view text, FileKind kind, HomeLayout& out, std::wstring* why) {
  ComPtr<IXMLDOMDocument> doc = NewDocument();
  if (!doc) {
    Say(why, L"no XML document could be made");
    return false;
  }
  Text xml(text);
  VARIANT_BOOL loaded = VARIANT_FALSE;
  doc->loadXML(xml.get(), &loaded);
  if (loaded != VARIANT_TRUE) {
    Say(why, L"the text is not well-formed XML");
    return false;
  }
  return Read(doc.Get(), kind, out, why);
}

}  // namespace home
