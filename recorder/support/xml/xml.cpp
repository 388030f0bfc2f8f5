#include "os/xml.h"

#include "ce/msxml.h"
#include "ce/objbase.h"
#include "ce/oleauto.h"
#include "os/path.h"

namespace os {

namespace {

// A BSTR owned for one call.
class Bstr {
 public:
  explicit Bstr(const std::wstring& text) : value_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  Bstr() = default;
  ~Bstr() { SysFreeString(value_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR get() const { return value_; }
  BSTR* out() { return &value_; }
  std::wstring text() const { return value_ ? std::wstring(value_, SysStringLen(value_)) : std::wstring(); }

 private:
  BSTR value_ = nullptr;
};

// A VARIANT holding a BSTR copy of the text, cleared at the end of the call.
class TextVariant {
 public:
  explicit TextVariant(const std::wstring& text) {
    VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  }
  ~TextVariant() { VariantClear(&value); }
  TextVariant(const TextVariant&) = delete;
  TextVariant& operator=(const TextVariant&) = delete;
  VARIANT value;
};

// Another interface of the node, as its own reference; null when it has none.
template <typename T>
T* Query(IXMLDOMNode* node, REFIID iid) {
  if (node == nullptr) return nullptr;
  void* out = nullptr;
  if (FAILED(node->QueryInterface(iid, &out))) return nullptr;
  return static_cast<T*>(out);
}

IXMLDOMDocument* NewDocument() {
  void* out = nullptr;
  const DWORD context = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
  if (FAILED(CoCreateInstance(CLSID_DOMDocument, nullptr, context, IID_IXMLDOMDocument, &out))) return nullptr;
  return static_cast<IXMLDOMDocument*>(out);
}

}  // namespace

XmlNode::XmlNode(IXMLDOMNode* node, bool owns) : node_(node) {
  if (node_ != nullptr && !owns) node_->AddRef();
}

XmlNode::XmlNode(const XmlNode& other) : node_(other.node_) {
  if (node_ != nullptr) node_->AddRef();
}

XmlNode& XmlNode::operator=(const XmlNode& other) {
  if (other.node_ != nullptr) other.node_->AddRef();
  if (node_ != nullptr) node_->Release();
  node_ = other.node_;
  return *this;
}

XmlNode::~XmlNode() {
  if (node_ != nullptr) node_->Release();
}

XmlNode create_xml_document() { return XmlNode(NewDocument(), true); }

XmlNode load_xml_document(const std::wstring& path) {
  XmlNode document(NewDocument(), true);
  auto* doc = static_cast<IXMLDOMDocument*>(document.get());
  if (doc == nullptr) return XmlNode();
  doc->put_async(VARIANT_FALSE);
  TextVariant source(expand_path(path));
  VARIANT_BOOL loaded = VARIANT_FALSE;
  if (FAILED(doc->load(source.value, &loaded)) || loaded != VARIANT_TRUE) return XmlNode();
  return document;
}

bool save_xml_document(const XmlNode& document, const std::wstring& path) {
  IXMLDOMDocument* doc = Query<IXMLDOMDocument>(document.get(), IID_IXMLDOMDocument);
  if (doc == nullptr) return false;
  TextVariant destination(expand_path(path));
  const bool saved = SUCCEEDED(doc->save(destination.value));
  doc->Release();
  return saved;
}

XmlNode find_xml_child(const XmlNode& parent, const std::wstring& name) {
  if (parent.empty()) return XmlNode();
  IXMLDOMNode* child = nullptr;
  if (parent.get()->get_firstChild(&child) != S_OK) return XmlNode();
  XmlNode current(child, true);
  while (!current.empty()) {
    Bstr node_name;
    if (SUCCEEDED(current.get()->get_nodeName(node_name.out())) && node_name.text() == name) return current;
    IXMLDOMNode* next = nullptr;
    if (current.get()->get_nextSibling(&next) != S_OK) next = nullptr;
    current = XmlNode(next, true);
  }
  return XmlNode();
}

XmlNode append_xml_element(const XmlNode& parent, const std::wstring& name) {
  if (parent.empty()) return XmlNode();
  IXMLDOMDocument* doc = Query<IXMLDOMDocument>(parent.get(), IID_IXMLDOMDocument);
  if (doc == nullptr && (FAILED(parent.get()->get_ownerDocument(&doc)) || doc == nullptr)) return XmlNode();
  IXMLDOMElement* element = nullptr;
  Bstr tag(name);
  const HRESULT created = doc->createElement(tag.get(), &element);
  doc->Release();
  if (FAILED(created) || element == nullptr) return XmlNode();
  IXMLDOMNode* appended = nullptr;
  const HRESULT added = parent.get()->appendChild(element, &appended);
  element->Release();
  if (FAILED(added) || appended == nullptr) return XmlNode();
  return XmlNode(appended, true);
}

bool set_xml_attribute(const XmlNode& element, const std::wstring& name, const std::wstring& value) {
  IXMLDOMElement* e = Query<IXMLDOMElement>(element.get(), IID_IXMLDOMElement);
  if (e == nullptr) return false;
  Bstr attribute(name);
  TextVariant text(value);
  const bool set = SUCCEEDED(e->setAttribute(attribute.get(), text.value));
  e->Release();
  return set;
}

bool get_xml_attribute(const XmlNode& node, const std::wstring& name, std::wstring& out) {
  if (node.empty()) return false;
  IXMLDOMNamedNodeMap* attributes = nullptr;
  if (node.get()->get_attributes(&attributes) != S_OK || attributes == nullptr) return false;
  IXMLDOMNode* item = nullptr;
  Bstr wanted(name);
  const HRESULT found = attributes->getNamedItem(wanted.get(), &item);
  attributes->Release();
  if (found != S_OK || item == nullptr) return false;
  VARIANT value;
  VariantInit(&value);
  const HRESULT read = item->get_nodeValue(&value);
  item->Release();
  const bool ok = SUCCEEDED(read) && value.vt == VT_BSTR;
  if (ok) out = value.bstrVal ? std::wstring(value.bstrVal, SysStringLen(value.bstrVal)) : std::wstring();
  VariantClear(&value);
  return ok;
}

}  // namespace os
