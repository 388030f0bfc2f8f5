#include "home_layout.h"

#include <algorithm>

#include "ce/msxml.h"
#include "ce/oleauto.h"
#include "common/bstr.h"
#include "common/com_ptr.h"

namespace home {
namespace {

using suite::Bstr;
using suite::ComPtr;
using suite::OutBstr;

void Say(std::wstring* why, std::wstring text) {
  if (why) *why = std::move(text);
}

// The attribute's text; nothing when it is missing or longer than `limit`.
bool Attribute(IXMLDOMNode* node, const wchar_t* name, std::size_t limit, std::wstring& out) {
  ComPtr<IXMLDOMElement> element;
  if (node->QueryInterface(IID_IXMLDOMElement, element.PutVoid()) != S_OK) return false;
  Bstr attribute(name);
  VARIANT value;
  VariantInit(&value);
  const HRESULT hr = element->getAttribute(attribute.Get(), &value);
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
  Bstr text(query);
  if (doc->selectNodes(text.Get(), list.Put()) != S_OK || !list) return;
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
  OutBstr name;
  if (root->get_tagName(name.Put()) != S_OK) return false;
  return name.Get() != nullptr && std::wstring_view(name.Get(), SysStringLen(name.Get())) == wanted;
}

bool Read(IXMLDOMDocument* doc, HomeLayout& out, std::wstring* why) {
  if (!RootIs(doc, L"home")) {
    Say(why, L"the root element is not \"home\"");
    return false;
  }
  HomeLayout read;
  ForEachNode(doc, L"//home//plugin", kMaxPlugins, [&](IXMLDOMNode* node) {
    LayoutPlugin plugin;
    // A braced CLSID has 38 characters; a longer value is not one.
    if (!Attribute(node, L"clsid", 38, plugin.clsidText)) return;
    if (CLSIDFromString(plugin.clsidText.c_str(), &plugin.clsid) != S_OK) return;
    read.plugins.push_back(std::move(plugin));
  });
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

bool ReadHomeFile(const wchar_t* path, HomeLayout& out, std::wstring* why) {
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
  return Read(doc.Get(), out, why);
}

bool ReadHomeText(std::wstring_view text, HomeLayout& out, std::wstring* why) {
  ComPtr<IXMLDOMDocument> doc = NewDocument();
  if (!doc) {
    Say(why, L"no XML document could be made");
    return false;
  }
  Bstr xml(text);
  VARIANT_BOOL loaded = VARIANT_FALSE;
  doc->loadXML(xml.Get(), &loaded);
  if (loaded != VARIANT_TRUE) {
    Say(why, L"the text is not well-formed XML");
    return false;
  }
  return Read(doc.Get(), out, why);
}

}  // namespace home
