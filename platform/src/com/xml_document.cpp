// The document object model over libxml2. Every node wrapper holds the tree
// it belongs to and a reference on its document object; wrappers are made
// on demand, so two wrappers may stand for one node.
#include "com/xml_document.h"

#include <libxml/parser.h>
#include <libxml/xmlsave.h>
#include <libxml/xpath.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "ce/kernel/file.h"
#include "ce/msxml.h"
#include "ce/winbase.h"
#include "com/xml_tree.h"

namespace ce::com {

namespace {

// Hands a wrapper's own state to the document code (never leaves it).
DEFINE_GUID(kIidNodeBase, 0x6A1E0C11, 0x3B52, 0x4E07, 0x9D, 0x41, 0x52, 0x7C, 0x0B, 0x33, 0xA9, 0x10);

// Files larger than this are refused rather than read into memory.
constexpr DWORD kMaxFileBytes = 32u * 1024u * 1024u;

const xmlChar* X(const std::string& text) { return reinterpret_cast<const xmlChar*>(text.c_str()); }
const char* C(const xmlChar* text) { return reinterpret_cast<const char*>(text); }

std::string QualifiedName(xmlNodePtr node) {
  std::string name = node->name != nullptr ? C(node->name) : "";
  if (node->ns != nullptr && node->ns->prefix != nullptr &&
      (node->type == XML_ELEMENT_NODE || node->type == XML_ATTRIBUTE_NODE)) {
    name = std::string(C(node->ns->prefix)) + ":" + name;
  }
  return name;
}

DOMNodeType TypeOf(xmlNodePtr node) {
  switch (node->type) {
    case XML_ELEMENT_NODE:
      return NODE_ELEMENT;
    case XML_ATTRIBUTE_NODE:
      return NODE_ATTRIBUTE;
    case XML_TEXT_NODE:
      return NODE_TEXT;
    case XML_CDATA_SECTION_NODE:
      return NODE_CDATA_SECTION;
    case XML_ENTITY_REF_NODE:
      return NODE_ENTITY_REFERENCE;
    case XML_ENTITY_NODE:
    case XML_ENTITY_DECL:
      return NODE_ENTITY;
    case XML_PI_NODE:
      return NODE_PROCESSING_INSTRUCTION;
    case XML_COMMENT_NODE:
      return NODE_COMMENT;
    case XML_DOCUMENT_NODE:
    case XML_HTML_DOCUMENT_NODE:
      return NODE_DOCUMENT;
    case XML_DOCUMENT_TYPE_NODE:
    case XML_DTD_NODE:
      return NODE_DOCUMENT_TYPE;
    case XML_DOCUMENT_FRAG_NODE:
      return NODE_DOCUMENT_FRAGMENT;
    case XML_NOTATION_NODE:
      return NODE_NOTATION;
    default:
      return NODE_INVALID;
  }
}

bool HoldsText(xmlNodePtr node) {
  return node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE || node->type == XML_COMMENT_NODE ||
         node->type == XML_PI_NODE;
}

// Nodes the tree shows: not the document type declaration and its entity
// declarations, and nothing below an entity reference (that content
// belongs to the declaration and is read through the reference's text).
bool Visible(xmlNodePtr node) {
  return TypeOf(node) != NODE_INVALID && node->type != XML_DTD_NODE && node->type != XML_ENTITY_DECL &&
         (node->parent == nullptr || node->parent->type != XML_ENTITY_DECL);
}

xmlNodePtr FirstVisible(xmlNodePtr node) {
  while (node != nullptr && !Visible(node)) node = node->next;
  return node;
}

xmlNodePtr LastVisible(xmlNodePtr node) {
  while (node != nullptr && !Visible(node)) node = node->prev;
  return node;
}

// The first child, unless the node's children are not shown.
xmlNodePtr ChildrenOf(xmlNodePtr node) {
  if (node->type == XML_ENTITY_REF_NODE) return nullptr;
  return node->children;
}

// Appends without merging neighbouring text nodes (libxml2's own append
// frees a merged node, which a wrapper may still hold).
void LinkLast(xmlNodePtr parent, xmlNodePtr child) {
  child->parent = parent;
  child->next = nullptr;
  child->prev = parent->last;
  if (parent->last != nullptr) {
    parent->last->next = child;
  } else {
    parent->children = child;
  }
  parent->last = child;
}

// Detaches the children of an element or attribute into the floating set.
void FloatChildren(XmlTree& tree, xmlNodePtr node) {
  xmlNodePtr child = node->children;
  while (child != nullptr) {
    xmlNodePtr next = child->next;
    child->parent = nullptr;
    child->prev = child->next = nullptr;
    tree.Float(child);
    child = next;
  }
  node->children = node->last = nullptr;
}

// Replaces the content of an element or attribute by one text node.
HRESULT ReplaceWithText(XmlTree& tree, xmlNodePtr node, const std::string& text) {
  xmlNodePtr textNode = nullptr;
  if (!text.empty()) {
    textNode = xmlNewDocTextLen(tree.doc, X(text), static_cast<int>(text.size()));
    if (textNode == nullptr) return E_OUTOFMEMORY;
  }
  FloatChildren(tree, node);
  if (textNode != nullptr) LinkLast(node, textNode);
  return S_OK;
}

xmlAttrPtr FindAttribute(xmlNodePtr element, const std::string& name) {
  if (element->type != XML_ELEMENT_NODE) return nullptr;
  for (xmlAttrPtr a = element->properties; a != nullptr; a = a->next) {
    if (QualifiedName(reinterpret_cast<xmlNodePtr>(a)) == name) return a;
  }
  return nullptr;
}

// The value of encoding="..." in an XML declaration's data, or empty.
std::string DeclaredEncoding(const std::string& data) {
  const std::size_t key = data.find("encoding");
  if (key == std::string::npos) return {};
  std::size_t at = data.find_first_of("\"'", key);
  if (at == std::string::npos) return {};
  const std::size_t end = data.find(data[at], at + 1);
  if (end == std::string::npos) return {};
  return data.substr(at + 1, end - at - 1);
}

HRESULT ReadDeviceFile(const std::wstring& path, std::string& out) {
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return HRESULT_FROM_WIN32(GetLastError());
  DWORD high = 0;
  const DWORD size = GetFileSize(file, &high);
  HRESULT hr = S_OK;
  if (high != 0 || size > kMaxFileBytes) {
    hr = E_OUTOFMEMORY;
  } else {
    out.resize(size);
    DWORD read = 0;
    if (size != 0 && (!ReadFile(file, out.data(), size, &read, nullptr) || read != size)) hr = E_FAIL;
  }
  CloseHandle(file);
  return hr;
}

HRESULT WriteDeviceFile(const std::wstring& path, const char* bytes, std::size_t size) {
  if (size > 0xFFFFFFFFu) return E_OUTOFMEMORY;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return HRESULT_FROM_WIN32(GetLastError());
  DWORD written = 0;
  HRESULT hr = S_OK;
  if (size != 0 && (!WriteFile(file, bytes, static_cast<DWORD>(size), &written, nullptr) || written != size)) {
    hr = HRESULT_FROM_WIN32(GetLastError());
    if (SUCCEEDED(hr)) hr = E_FAIL;
  }
  CloseHandle(file);
  return hr;
}

void IgnoreError(void* /*data*/, xmlErrorPtr /*error*/) {}

class DocumentImpl;

// What every node wrapper (and the document itself) knows and does.
class NodeBase {
 public:
  NodeBase(DocumentImpl* owner, std::shared_ptr<XmlTree> tree, xmlNodePtr node);
  virtual ~NodeBase();
  NodeBase(const NodeBase&) = delete;
  NodeBase& operator=(const NodeBase&) = delete;

  virtual IUnknown* Unknown() = 0;

  const std::shared_ptr<XmlTree>& Tree() const { return tree_; }
  xmlNodePtr Node() const { return node_; }

  HRESULT NodeName(BSTR* name);
  HRESULT NodeValue(VARIANT* value);
  HRESULT PutNodeValue(const VARIANT& value);
  HRESULT NodeType(DOMNodeType* type);
  HRESULT Relative(xmlNodePtr relative, IXMLDOMNode** out);
  HRESULT ChildNodes(IXMLDOMNodeList** children);
  HRESULT Attributes(IXMLDOMNamedNodeMap** attributes);
  HRESULT RemoveChild(IXMLDOMNode* child, IXMLDOMNode** removed);
  HRESULT AppendChild(IXMLDOMNode* child, IXMLDOMNode** appended);
  HRESULT HasChildNodes(VARIANT_BOOL* has);
  HRESULT OwnerDocument(IXMLDOMDocument** document);
  HRESULT CloneNode(VARIANT_BOOL deep, IXMLDOMNode** clone);
  HRESULT Text(BSTR* text);
  HRESULT PutText(BSTR text);
  HRESULT Xml(BSTR* xml);
  HRESULT Select(BSTR query, std::vector<xmlNodePtr>& found);
  HRESULT SelectNodes(BSTR query, IXMLDOMNodeList** result);
  HRESULT SelectSingleNode(BSTR query, IXMLDOMNode** result);

 protected:
  DocumentImpl* owner_;  // null for the document itself
  std::shared_ptr<XmlTree> tree_;
  xmlNodePtr node_;
};

// Wraps a node of `tree` as an IXMLDOMNode; the document node of the
// document's current tree is the document object itself.
HRESULT WrapNode(DocumentImpl* document, const std::shared_ptr<XmlTree>& tree, xmlNodePtr node, REFIID iid, void** out);

NodeBase* BaseOf(IXMLDOMNode* node) {
  if (node == nullptr) return nullptr;
  void* base = nullptr;
  if (FAILED(node->QueryInterface(kIidNodeBase, &base))) return nullptr;
  return static_cast<NodeBase*>(base);
}

template <typename Interface>
class RefCounted : public Interface {
 public:
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  virtual ~RefCounted() = default;

  // QueryInterface of an object that answers IUnknown and its one interface.
  HRESULT QueryOwn(REFIID iid, REFIID own, void** object) {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, own)) {
      *object = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }

 private:
  std::atomic<ULONG> refs_{1};
};

// A fixed list of nodes (a selection or the children at the time asked).
class NodeList final : public RefCounted<IXMLDOMNodeList> {
 public:
  NodeList(DocumentImpl* owner, std::shared_ptr<XmlTree> tree, std::vector<xmlNodePtr> nodes);
  ~NodeList() override;

  HRESULT QueryInterface(REFIID iid, void** object) override { return QueryOwn(iid, IID_IXMLDOMNodeList, object); }
  HRESULT get_item(LONG index, IXMLDOMNode** node) override {
    if (node == nullptr) return E_POINTER;
    *node = nullptr;
    if (index < 0 || static_cast<std::size_t>(index) >= nodes_.size()) return S_FALSE;
    return WrapNode(owner_, tree_, nodes_[static_cast<std::size_t>(index)], IID_IXMLDOMNode,
                    reinterpret_cast<void**>(node));
  }
  HRESULT get_length(LONG* length) override {
    if (length == nullptr) return E_POINTER;
    *length = static_cast<LONG>(nodes_.size());
    return S_OK;
  }
  HRESULT nextNode(IXMLDOMNode** node) override {
    if (node == nullptr) return E_POINTER;
    *node = nullptr;
    if (next_ >= nodes_.size()) return S_FALSE;
    return WrapNode(owner_, tree_, nodes_[next_++], IID_IXMLDOMNode, reinterpret_cast<void**>(node));
  }
  HRESULT reset() override {
    next_ = 0;
    return S_OK;
  }

 private:
  DocumentImpl* owner_;
  std::shared_ptr<XmlTree> tree_;
  std::vector<xmlNodePtr> nodes_;
  std::size_t next_ = 0;
};

// The attributes of one element, read live.
class AttributeMap final : public RefCounted<IXMLDOMNamedNodeMap> {
 public:
  AttributeMap(DocumentImpl* owner, std::shared_ptr<XmlTree> tree, xmlNodePtr element);
  ~AttributeMap() override;

  HRESULT QueryInterface(REFIID iid, void** object) override { return QueryOwn(iid, IID_IXMLDOMNamedNodeMap, object); }
  HRESULT getNamedItem(BSTR name, IXMLDOMNode** node) override {
    if (node == nullptr) return E_POINTER;
    *node = nullptr;
    std::string utf8;
    if (!Utf8FromBstr(name, utf8)) return E_INVALIDARG;
    xmlAttrPtr found = FindAttribute(element_, utf8);
    if (found == nullptr) return S_FALSE;
    return WrapNode(owner_, tree_, reinterpret_cast<xmlNodePtr>(found), IID_IXMLDOMNode,
                    reinterpret_cast<void**>(node));
  }
  HRESULT get_item(LONG index, IXMLDOMNode** node) override {
    if (node == nullptr) return E_POINTER;
    *node = nullptr;
    LONG i = 0;
    for (xmlAttrPtr a = element_->properties; a != nullptr; a = a->next, ++i) {
      if (i == index) {
        return WrapNode(owner_, tree_, reinterpret_cast<xmlNodePtr>(a), IID_IXMLDOMNode,
                        reinterpret_cast<void**>(node));
      }
    }
    return S_FALSE;
  }
  HRESULT get_length(LONG* length) override {
    if (length == nullptr) return E_POINTER;
    LONG count = 0;
    for (xmlAttrPtr a = element_->properties; a != nullptr; a = a->next) ++count;
    *length = count;
    return S_OK;
  }

 private:
  DocumentImpl* owner_;
  std::shared_ptr<XmlTree> tree_;
  xmlNodePtr element_;
};

// Any node but the document. One object serves every node interface; which
// ones it answers to depends on the node's type.
class NodeImpl final : public RefCounted<IXMLDOMElement>,
                       public IXMLDOMAttribute,
                       public IXMLDOMText,
                       public IXMLDOMProcessingInstruction,
                       public NodeBase {
 public:
  NodeImpl(DocumentImpl* owner, std::shared_ptr<XmlTree> tree, xmlNodePtr node)
      : NodeBase(owner, std::move(tree), node) {}

  IUnknown* Unknown() override { return AsNode(); }
  IXMLDOMNode* AsNode() { return static_cast<IXMLDOMElement*>(this); }
  bool InTree() const { return node_->type != XML_ATTRIBUTE_NODE; }

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    const DOMNodeType type = TypeOf(node_);
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IXMLDOMNode)) {
      *object = AsNode();
    } else if (IsEqualIID(iid, kIidNodeBase)) {
      *object = static_cast<NodeBase*>(this);
    } else if (IsEqualIID(iid, IID_IXMLDOMElement) && type == NODE_ELEMENT) {
      *object = static_cast<IXMLDOMElement*>(this);
    } else if (IsEqualIID(iid, IID_IXMLDOMAttribute) && type == NODE_ATTRIBUTE) {
      *object = static_cast<IXMLDOMAttribute*>(this);
    } else if (IsEqualIID(iid, IID_IXMLDOMText) && (type == NODE_TEXT || type == NODE_CDATA_SECTION)) {
      *object = static_cast<IXMLDOMText*>(this);
    } else if (IsEqualIID(iid, IID_IXMLDOMProcessingInstruction) && type == NODE_PROCESSING_INSTRUCTION) {
      *object = static_cast<IXMLDOMProcessingInstruction*>(this);
    } else {
      return E_NOINTERFACE;
    }
    RefCounted<IXMLDOMElement>::AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return RefCounted<IXMLDOMElement>::AddRef(); }
  ULONG Release() override { return RefCounted<IXMLDOMElement>::Release(); }

  HRESULT get_nodeName(BSTR* name) override { return NodeName(name); }
  HRESULT get_nodeValue(VARIANT* value) override { return NodeValue(value); }
  HRESULT put_nodeValue(VARIANT value) override { return PutNodeValue(value); }
  HRESULT get_nodeType(DOMNodeType* type) override { return NodeType(type); }
  // Attributes have no parent or siblings in the tree's sense.
  HRESULT get_parentNode(IXMLDOMNode** parent) override { return Relative(InTree() ? node_->parent : nullptr, parent); }
  HRESULT get_childNodes(IXMLDOMNodeList** children) override { return ChildNodes(children); }
  HRESULT get_firstChild(IXMLDOMNode** child) override { return Relative(FirstVisible(ChildrenOf(node_)), child); }
  HRESULT get_lastChild(IXMLDOMNode** child) override {
    return Relative(ChildrenOf(node_) != nullptr ? LastVisible(node_->last) : nullptr, child);
  }
  HRESULT get_previousSibling(IXMLDOMNode** sibling) override {
    return Relative(InTree() ? LastVisible(node_->prev) : nullptr, sibling);
  }
  HRESULT get_nextSibling(IXMLDOMNode** sibling) override {
    return Relative(InTree() ? FirstVisible(node_->next) : nullptr, sibling);
  }
  HRESULT get_attributes(IXMLDOMNamedNodeMap** attributes) override { return Attributes(attributes); }
  HRESULT removeChild(IXMLDOMNode* child, IXMLDOMNode** removed) override { return RemoveChild(child, removed); }
  HRESULT appendChild(IXMLDOMNode* child, IXMLDOMNode** appended) override { return AppendChild(child, appended); }
  HRESULT hasChildNodes(VARIANT_BOOL* has) override { return HasChildNodes(has); }
  HRESULT get_ownerDocument(IXMLDOMDocument** document) override { return OwnerDocument(document); }
  HRESULT cloneNode(VARIANT_BOOL deep, IXMLDOMNode** clone) override { return CloneNode(deep, clone); }
  HRESULT get_text(BSTR* text) override { return Text(text); }
  HRESULT put_text(BSTR text) override { return PutText(text); }
  HRESULT get_xml(BSTR* xml) override { return Xml(xml); }
  HRESULT selectNodes(BSTR query, IXMLDOMNodeList** result) override { return SelectNodes(query, result); }
  HRESULT selectSingleNode(BSTR query, IXMLDOMNode** result) override { return SelectSingleNode(query, result); }

  // Element.
  HRESULT get_tagName(BSTR* name) override { return NodeName(name); }
  HRESULT getAttribute(BSTR name, VARIANT* value) override {
    if (value == nullptr) return E_POINTER;
    VariantInit(value);
    std::string utf8;
    if (!Utf8FromBstr(name, utf8)) return E_INVALIDARG;
    xmlAttrPtr found = FindAttribute(node_, utf8);
    if (found == nullptr) {
      value->vt = VT_NULL;
      return S_FALSE;
    }
    xmlChar* text = xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(found));
    BSTR result = BstrFromXml(text);
    xmlFree(text);
    if (result == nullptr) return E_OUTOFMEMORY;
    value->vt = VT_BSTR;
    value->bstrVal = result;
    return S_OK;
  }
  HRESULT setAttribute(BSTR name, VARIANT value) override {
    std::string utf8Name, utf8Value;
    if (!Utf8FromBstr(name, utf8Name) || utf8Name.empty() || xmlValidateName(X(utf8Name), 0) != 0) return E_FAIL;
    VARIANT text;
    VariantInit(&text);
    HRESULT hr = VariantChangeType(&text, &value, 0, VT_BSTR);
    if (FAILED(hr)) return hr;
    const bool ok = Utf8FromBstr(text.bstrVal, utf8Value);
    VariantClear(&text);
    if (!ok) return E_INVALIDARG;
    xmlAttrPtr attribute = FindAttribute(node_, utf8Name);
    if (attribute == nullptr) {
      attribute = xmlNewProp(node_, X(utf8Name), nullptr);
      if (attribute == nullptr) return E_OUTOFMEMORY;
    }
    return ReplaceWithText(*tree_, reinterpret_cast<xmlNodePtr>(attribute), utf8Value);
  }
  HRESULT removeAttribute(BSTR name) override {
    std::string utf8;
    if (!Utf8FromBstr(name, utf8)) return E_INVALIDARG;
    xmlAttrPtr found = FindAttribute(node_, utf8);
    if (found == nullptr) return S_FALSE;
    // Kept floating: a wrapper on the attribute may still be held.
    xmlUnlinkNode(reinterpret_cast<xmlNodePtr>(found));
    tree_->Float(reinterpret_cast<xmlNodePtr>(found));
    return S_OK;
  }

  // Attribute.
  HRESULT get_name(BSTR* name) override { return NodeName(name); }
  HRESULT get_value(VARIANT* value) override { return NodeValue(value); }
  HRESULT put_value(VARIANT value) override { return PutNodeValue(value); }

  // Text and processing instruction.
  HRESULT get_data(BSTR* data) override { return Text(data); }
  HRESULT put_data(BSTR data) override { return PutText(data); }
  HRESULT get_target(BSTR* target) override { return NodeName(target); }

 private:
  ~NodeImpl() override = default;
};

// The document: its own node plus loading, saving and node creation.
class DocumentImpl final : public RefCounted<IXMLDOMDocument>, public IObjectSafety, public NodeBase {
 public:
  explicit DocumentImpl(std::shared_ptr<XmlTree> tree) : NodeBase(nullptr, tree, tree->Root()) {}

  IUnknown* Unknown() override { return static_cast<IXMLDOMDocument*>(this); }

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IXMLDOMNode) || IsEqualIID(iid, IID_IXMLDOMDocument)) {
      *object = static_cast<IXMLDOMDocument*>(this);
    } else if (IsEqualIID(iid, IID_IObjectSafety)) {
      *object = static_cast<IObjectSafety*>(this);
    } else if (IsEqualIID(iid, kIidNodeBase)) {
      *object = static_cast<NodeBase*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return RefCounted<IXMLDOMDocument>::AddRef(); }
  ULONG Release() override { return RefCounted<IXMLDOMDocument>::Release(); }

  HRESULT get_nodeName(BSTR* name) override { return NodeName(name); }
  HRESULT get_nodeValue(VARIANT* value) override { return NodeValue(value); }
  HRESULT put_nodeValue(VARIANT value) override { return PutNodeValue(value); }
  HRESULT get_nodeType(DOMNodeType* type) override { return NodeType(type); }
  HRESULT get_parentNode(IXMLDOMNode** parent) override { return Relative(nullptr, parent); }
  HRESULT get_childNodes(IXMLDOMNodeList** children) override { return ChildNodes(children); }
  HRESULT get_firstChild(IXMLDOMNode** child) override { return Relative(FirstVisible(node_->children), child); }
  HRESULT get_lastChild(IXMLDOMNode** child) override { return Relative(LastVisible(node_->last), child); }
  HRESULT get_previousSibling(IXMLDOMNode** sibling) override { return Relative(nullptr, sibling); }
  HRESULT get_nextSibling(IXMLDOMNode** sibling) override { return Relative(nullptr, sibling); }
  HRESULT get_attributes(IXMLDOMNamedNodeMap** attributes) override { return Attributes(attributes); }
  HRESULT removeChild(IXMLDOMNode* child, IXMLDOMNode** removed) override { return RemoveChild(child, removed); }
  HRESULT appendChild(IXMLDOMNode* child, IXMLDOMNode** appended) override { return AppendChild(child, appended); }
  HRESULT hasChildNodes(VARIANT_BOOL* has) override { return HasChildNodes(has); }
  HRESULT get_ownerDocument(IXMLDOMDocument** document) override { return OwnerDocument(document); }
  HRESULT cloneNode(VARIANT_BOOL deep, IXMLDOMNode** clone) override { return CloneNode(deep, clone); }
  HRESULT get_text(BSTR* text) override { return Text(text); }
  HRESULT put_text(BSTR text) override { return PutText(text); }
  HRESULT get_xml(BSTR* xml) override { return Xml(xml); }
  HRESULT selectNodes(BSTR query, IXMLDOMNodeList** result) override { return SelectNodes(query, result); }
  HRESULT selectSingleNode(BSTR query, IXMLDOMNode** result) override { return SelectSingleNode(query, result); }

  HRESULT get_documentElement(IXMLDOMElement** element) override {
    if (element == nullptr) return E_POINTER;
    *element = nullptr;
    xmlNodePtr root = xmlDocGetRootElement(tree_->doc);
    if (root == nullptr) return S_FALSE;
    return WrapNode(this, tree_, root, IID_IXMLDOMElement, reinterpret_cast<void**>(element));
  }
  // Makes a node of the document and hands it out through the interface asked for.
  template <class Interface>
  HRESULT CreateWrapped(DOMNodeType kind, BSTR name, BSTR data, REFIID iid, Interface** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    xmlNodePtr node = nullptr;
    const HRESULT hr = Create(kind, name, data, node);
    if (FAILED(hr)) return hr;
    return WrapNode(this, tree_, node, iid, reinterpret_cast<void**>(out));
  }
  HRESULT createElement(BSTR tagName, IXMLDOMElement** element) override {
    return CreateWrapped(NODE_ELEMENT, tagName, nullptr, IID_IXMLDOMElement, element);
  }
  HRESULT createTextNode(BSTR data, IXMLDOMText** text) override {
    return CreateWrapped(NODE_TEXT, nullptr, data, IID_IXMLDOMText, text);
  }
  HRESULT createAttribute(BSTR name, IXMLDOMAttribute** attribute) override {
    return CreateWrapped(NODE_ATTRIBUTE, name, nullptr, IID_IXMLDOMAttribute, attribute);
  }
  HRESULT createProcessingInstruction(BSTR target, BSTR data, IXMLDOMProcessingInstruction** instruction) override {
    return CreateWrapped(NODE_PROCESSING_INSTRUCTION, target, data, IID_IXMLDOMProcessingInstruction, instruction);
  }
  HRESULT createNode(VARIANT type, BSTR name, BSTR /*namespaceURI*/, IXMLDOMNode** node) override {
    if (node == nullptr) return E_POINTER;
    *node = nullptr;
    VARIANT number;
    VariantInit(&number);
    if (FAILED(VariantChangeType(&number, &type, 0, VT_I4))) return E_INVALIDARG;
    return CreateWrapped(static_cast<DOMNodeType>(number.lVal), name, nullptr, IID_IXMLDOMNode, node);
  }

  HRESULT load(VARIANT source, VARIANT_BOOL* successful) override {
    if (successful != nullptr) *successful = VARIANT_FALSE;
    if (source.vt != VT_BSTR || source.bstrVal == nullptr) return E_INVALIDARG;
    std::string bytes;
    std::shared_ptr<XmlTree> parsed;
    if (SUCCEEDED(ReadDeviceFile(std::wstring(source.bstrVal, SysStringLen(source.bstrVal)), bytes))) {
      parsed = ParseXmlTree(bytes.data(), bytes.size(), nullptr);
    }
    return Replace(std::move(parsed), successful);
  }
  HRESULT loadXML(BSTR xml, VARIANT_BOOL* successful) override {
    if (successful != nullptr) *successful = VARIANT_FALSE;
    std::string utf8;
    std::shared_ptr<XmlTree> parsed;
    // The text is already Unicode: whatever encoding it declares, it is
    // read as the UTF-8 it was converted to.
    if (Utf8FromBstr(xml, utf8)) parsed = ParseXmlTree(utf8.data(), utf8.size(), "UTF-8");
    const HRESULT hr = Replace(std::move(parsed), successful);
    // The declared encoding still decides how the document is saved.
    // Only "<?xml" and a space start one: "<?xml-stylesheet" or "<?xmle"
    // is a processing instruction.
    if (hr == S_OK && utf8.rfind("<?xml", 0) == 0 && utf8.size() > 5 &&
        (utf8[5] == ' ' || utf8[5] == '\t' || utf8[5] == '\r' || utf8[5] == '\n')) {
      Declare(utf8.substr(0, utf8.find("?>")));
    }
    return hr;
  }
  HRESULT save(VARIANT destination) override {
    if (destination.vt != VT_BSTR || destination.bstrVal == nullptr) return E_INVALIDARG;
    const char* encoding = tree_->doc->encoding != nullptr ? C(tree_->doc->encoding) : "UTF-8";
    xmlBufferPtr buffer = xmlBufferCreate();
    if (buffer == nullptr) return E_OUTOFMEMORY;
    xmlSaveCtxtPtr context = xmlSaveToBuffer(buffer, encoding, 0);
    if (context == nullptr) {
      xmlBufferFree(buffer);
      return E_FAIL;  // an encoding this system cannot write
    }
    const long written = xmlSaveDoc(context, tree_->doc);
    xmlSaveClose(context);
    HRESULT hr = E_FAIL;
    if (written >= 0) {
      hr = WriteDeviceFile(std::wstring(destination.bstrVal, SysStringLen(destination.bstrVal)),
                           C(xmlBufferContent(buffer)), static_cast<std::size_t>(xmlBufferLength(buffer)));
    }
    xmlBufferFree(buffer);
    return hr;
  }
  HRESULT get_async(VARIANT_BOOL* async) override { return Get(async_, async); }
  HRESULT put_async(VARIANT_BOOL async) override { return Put(async_, async); }
  HRESULT get_validateOnParse(VARIANT_BOOL* validate) override { return Get(validate_, validate); }
  HRESULT put_validateOnParse(VARIANT_BOOL validate) override { return Put(validate_, validate); }
  HRESULT get_resolveExternals(VARIANT_BOOL* resolve) override { return Get(resolveExternals_, resolve); }
  HRESULT put_resolveExternals(VARIANT_BOOL resolve) override { return Put(resolveExternals_, resolve); }

  HRESULT GetInterfaceSafetyOptions(REFIID /*iid*/, DWORD* supported, DWORD* enabled) override {
    if (supported == nullptr || enabled == nullptr) return E_POINTER;
    *supported = kSafetyOptions;
    *enabled = safety_;
    return S_OK;
  }
  HRESULT SetInterfaceSafetyOptions(REFIID /*iid*/, DWORD mask, DWORD enabled) override {
    if ((mask & ~kSafetyOptions) != 0) return E_FAIL;
    safety_ = (safety_ & ~mask) | (enabled & mask);
    return S_OK;
  }

  // Called by appendChild when an "xml" declaration is appended to the
  // document: it names the encoding that save writes.
  void Declare(const std::string& data) {
    const std::string encoding = DeclaredEncoding(data);
    if (encoding.empty()) return;
    xmlChar* copy = xmlStrdup(X(encoding));
    if (copy == nullptr) return;
    xmlFree(const_cast<xmlChar*>(tree_->doc->encoding));
    tree_->doc->encoding = copy;
  }

 private:
  static constexpr DWORD kSafetyOptions = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;

  ~DocumentImpl() override = default;

  static HRESULT Get(VARIANT_BOOL value, VARIANT_BOOL* out) {
    if (out == nullptr) return E_POINTER;
    *out = value;
    return S_OK;
  }
  static HRESULT Put(VARIANT_BOOL& value, VARIANT_BOOL in) {
    value = in != VARIANT_FALSE ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }

  // A failed load leaves an empty document, as a successful one leaves
  // only what was read; wrappers of the old tree keep it alive.
  HRESULT Replace(std::shared_ptr<XmlTree> parsed, VARIANT_BOOL* successful) {
    const bool ok = parsed != nullptr;
    if (!ok) parsed = NewXmlTree();
    if (parsed == nullptr) return E_OUTOFMEMORY;
    tree_ = std::move(parsed);
    node_ = tree_->Root();
    if (successful != nullptr) *successful = ok ? VARIANT_TRUE : VARIANT_FALSE;
    return ok ? S_OK : S_FALSE;
  }

  HRESULT Create(DOMNodeType type, BSTR name, BSTR data, xmlNodePtr& out) {
    std::string utf8Name, utf8Data;
    if (!Utf8FromBstr(name, utf8Name) || !Utf8FromBstr(data, utf8Data)) return E_INVALIDARG;
    const bool named = type == NODE_ELEMENT || type == NODE_ATTRIBUTE || type == NODE_PROCESSING_INSTRUCTION;
    if (named && (utf8Name.empty() || xmlValidateName(X(utf8Name), 0) != 0)) return E_FAIL;
    xmlDocPtr doc = tree_->doc;
    switch (type) {
      case NODE_ELEMENT:
        out = xmlNewDocNode(doc, nullptr, X(utf8Name), nullptr);
        break;
      case NODE_ATTRIBUTE:
        out = reinterpret_cast<xmlNodePtr>(xmlNewDocProp(doc, X(utf8Name), nullptr));
        break;
      case NODE_TEXT:
        out = xmlNewDocTextLen(doc, X(utf8Data), static_cast<int>(utf8Data.size()));
        break;
      case NODE_CDATA_SECTION:
        out = xmlNewCDataBlock(doc, X(utf8Data), static_cast<int>(utf8Data.size()));
        break;
      case NODE_COMMENT:
        out = xmlNewDocComment(doc, X(utf8Data));
        break;
      case NODE_PROCESSING_INSTRUCTION:
        out = xmlNewDocPI(doc, X(utf8Name), X(utf8Data));
        break;
      default:
        return E_INVALIDARG;
    }
    if (out == nullptr) return E_OUTOFMEMORY;
    tree_->Float(out);
    return S_OK;
  }

  VARIANT_BOOL async_ = VARIANT_TRUE;
  VARIANT_BOOL validate_ = VARIANT_TRUE;
  VARIANT_BOOL resolveExternals_ = VARIANT_FALSE;
  DWORD safety_ = kSafetyOptions;
};

NodeBase::NodeBase(DocumentImpl* owner, std::shared_ptr<XmlTree> tree, xmlNodePtr node)
    : owner_(owner), tree_(std::move(tree)), node_(node) {
  if (owner_ != nullptr) owner_->AddRef();
}

NodeBase::~NodeBase() {
  if (owner_ != nullptr) owner_->Release();
}

DocumentImpl* OwnerOf(NodeBase* base, DocumentImpl* owner) {
  return owner != nullptr ? owner : static_cast<DocumentImpl*>(base);
}

HRESULT WrapNode(DocumentImpl* document, const std::shared_ptr<XmlTree>& tree, xmlNodePtr node, REFIID iid,
                 void** out) {
  *out = nullptr;
  if (node == nullptr) return S_FALSE;
  if (node == document->Node()) return document->QueryInterface(iid, out);
  auto* wrapper = new (std::nothrow) NodeImpl(document, tree, node);
  if (wrapper == nullptr) return E_OUTOFMEMORY;
  const HRESULT hr = wrapper->QueryInterface(iid, out);
  wrapper->Release();
  return hr;
}

NodeList::NodeList(DocumentImpl* owner, std::shared_ptr<XmlTree> tree, std::vector<xmlNodePtr> nodes)
    : owner_(owner), tree_(std::move(tree)), nodes_(std::move(nodes)) {
  owner_->AddRef();
}

NodeList::~NodeList() { owner_->Release(); }

AttributeMap::AttributeMap(DocumentImpl* owner, std::shared_ptr<XmlTree> tree, xmlNodePtr element)
    : owner_(owner), tree_(std::move(tree)), element_(element) {
  owner_->AddRef();
}

AttributeMap::~AttributeMap() { owner_->Release(); }

HRESULT NodeBase::NodeName(BSTR* name) {
  if (name == nullptr) return E_POINTER;
  std::string text;
  switch (node_->type) {
    case XML_TEXT_NODE:
      text = "#text";
      break;
    case XML_CDATA_SECTION_NODE:
      text = "#cdata-section";
      break;
    case XML_COMMENT_NODE:
      text = "#comment";
      break;
    case XML_DOCUMENT_NODE:
      text = "#document";
      break;
    case XML_DOCUMENT_FRAG_NODE:
      text = "#document-fragment";
      break;
    default:
      text = QualifiedName(node_);
      break;
  }
  *name = BstrFromUtf8(text);
  return *name != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT NodeBase::NodeValue(VARIANT* value) {
  if (value == nullptr) return E_POINTER;
  VariantInit(value);
  if (!HoldsText(node_) && node_->type != XML_ATTRIBUTE_NODE) {
    value->vt = VT_NULL;
    return S_FALSE;
  }
  BSTR text = nullptr;
  const HRESULT hr = Text(&text);
  if (FAILED(hr)) return hr;
  value->vt = VT_BSTR;
  value->bstrVal = text;
  return S_OK;
}

HRESULT NodeBase::PutNodeValue(const VARIANT& value) {
  if (!HoldsText(node_) && node_->type != XML_ATTRIBUTE_NODE) return E_FAIL;
  VARIANT text;
  VariantInit(&text);
  HRESULT hr = VariantChangeType(&text, &value, 0, VT_BSTR);
  if (FAILED(hr)) return hr;
  hr = PutText(text.bstrVal);
  VariantClear(&text);
  return hr;
}

HRESULT NodeBase::NodeType(DOMNodeType* type) {
  if (type == nullptr) return E_POINTER;
  *type = TypeOf(node_);
  return S_OK;
}

HRESULT NodeBase::Relative(xmlNodePtr relative, IXMLDOMNode** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (relative == nullptr || !Visible(relative)) return S_FALSE;
  return WrapNode(OwnerOf(this, owner_), tree_, relative, IID_IXMLDOMNode, reinterpret_cast<void**>(out));
}

HRESULT NodeBase::ChildNodes(IXMLDOMNodeList** children) {
  if (children == nullptr) return E_POINTER;
  *children = nullptr;
  std::vector<xmlNodePtr> nodes;
  for (xmlNodePtr c = ChildrenOf(node_); c != nullptr; c = c->next) {
    if (Visible(c)) nodes.push_back(c);
  }
  auto* list = new (std::nothrow) NodeList(OwnerOf(this, owner_), tree_, std::move(nodes));
  if (list == nullptr) return E_OUTOFMEMORY;
  *children = list;
  return S_OK;
}

HRESULT NodeBase::Attributes(IXMLDOMNamedNodeMap** attributes) {
  if (attributes == nullptr) return E_POINTER;
  *attributes = nullptr;
  if (node_->type != XML_ELEMENT_NODE) return S_FALSE;
  auto* map = new (std::nothrow) AttributeMap(OwnerOf(this, owner_), tree_, node_);
  if (map == nullptr) return E_OUTOFMEMORY;
  *attributes = map;
  return S_OK;
}

HRESULT NodeBase::RemoveChild(IXMLDOMNode* child, IXMLDOMNode** removed) {
  if (removed != nullptr) *removed = nullptr;
  NodeBase* base = BaseOf(child);
  if (base == nullptr) return E_INVALIDARG;
  xmlNodePtr node = base->Node();
  const bool mine = base->Tree() == tree_ && node->parent == node_ && node->type != XML_ATTRIBUTE_NODE;
  base->Unknown()->Release();
  if (!mine) return E_INVALIDARG;
  xmlUnlinkNode(node);
  tree_->Float(node);
  if (removed == nullptr) return S_OK;
  return WrapNode(OwnerOf(this, owner_), tree_, node, IID_IXMLDOMNode, reinterpret_cast<void**>(removed));
}

HRESULT NodeBase::AppendChild(IXMLDOMNode* child, IXMLDOMNode** appended) {
  if (appended != nullptr) *appended = nullptr;
  NodeBase* base = BaseOf(child);
  if (base == nullptr) return E_INVALIDARG;
  const std::shared_ptr<XmlTree> childTree = base->Tree();
  xmlNodePtr node = base->Node();
  base->Unknown()->Release();
  DocumentImpl* document = OwnerOf(this, owner_);

  const DOMNodeType childType = TypeOf(node);
  const bool toDocument = node_->type == XML_DOCUMENT_NODE;
  if (node_->type != XML_ELEMENT_NODE && !toDocument) return E_FAIL;
  if (childType != NODE_ELEMENT && childType != NODE_TEXT && childType != NODE_CDATA_SECTION &&
      childType != NODE_COMMENT && childType != NODE_PROCESSING_INSTRUCTION && childType != NODE_ENTITY_REFERENCE) {
    return E_FAIL;
  }
  const bool declaration = childType == NODE_PROCESSING_INSTRUCTION && xmlStrcmp(node->name, X("xml")) == 0;
  if (declaration) {
    // The declaration is written by save itself; appending one to the
    // document sets the encoding it names.
    if (!toDocument || owner_ != nullptr) return E_FAIL;
    document->Declare(node->content != nullptr ? C(node->content) : "");
    if (appended == nullptr) return S_OK;
    return WrapNode(document, childTree, node, IID_IXMLDOMNode, reinterpret_cast<void**>(appended));
  }
  if (toDocument) {
    if (childType == NODE_TEXT || childType == NODE_CDATA_SECTION || childType == NODE_ENTITY_REFERENCE) {
      return E_FAIL;
    }
    if (childType == NODE_ELEMENT && xmlDocGetRootElement(tree_->doc) != nullptr && node_ == tree_->Root()) {
      return E_FAIL;  // one document element only
    }
  }

  if (childTree != tree_) {
    // A node of another document joins as a deep copy.
    node = xmlDocCopyNode(node, tree_->doc, 1);
    if (node == nullptr) return E_OUTOFMEMORY;
  } else {
    for (xmlNodePtr up = node_; up != nullptr; up = up->parent) {
      if (up == node) return E_FAIL;  // a node cannot hold itself
    }
    if (node->parent != nullptr) {
      xmlUnlinkNode(node);
    } else {
      tree_->Unfloat(node);
    }
  }
  LinkLast(node_, node);
  if (appended == nullptr) return S_OK;
  return WrapNode(document, tree_, node, IID_IXMLDOMNode, reinterpret_cast<void**>(appended));
}

HRESULT NodeBase::HasChildNodes(VARIANT_BOOL* has) {
  if (has == nullptr) return E_POINTER;
  *has = FirstVisible(ChildrenOf(node_)) != nullptr ? VARIANT_TRUE : VARIANT_FALSE;
  return *has == VARIANT_TRUE ? S_OK : S_FALSE;
}

HRESULT NodeBase::OwnerDocument(IXMLDOMDocument** document) {
  if (document == nullptr) return E_POINTER;
  *document = nullptr;
  if (owner_ == nullptr) return S_FALSE;  // the document has no owner
  return owner_->QueryInterface(IID_IXMLDOMDocument, reinterpret_cast<void**>(document));
}

HRESULT NodeBase::CloneNode(VARIANT_BOOL deep, IXMLDOMNode** clone) {
  if (clone == nullptr) return E_POINTER;
  *clone = nullptr;
  if (owner_ == nullptr) return E_NOTIMPL;  // copies of whole documents are not offered
  xmlNodePtr copy = xmlDocCopyNode(node_, tree_->doc, deep != VARIANT_FALSE ? 1 : 2);
  if (copy == nullptr) return E_OUTOFMEMORY;
  tree_->Float(copy);
  return WrapNode(owner_, tree_, copy, IID_IXMLDOMNode, reinterpret_cast<void**>(clone));
}

HRESULT NodeBase::Text(BSTR* text) {
  if (text == nullptr) return E_POINTER;
  xmlChar* content = xmlNodeGetContent(node_);
  *text = BstrFromXml(content);
  xmlFree(content);
  return *text != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT NodeBase::PutText(BSTR text) {
  std::string utf8;
  if (!Utf8FromBstr(text, utf8)) return E_INVALIDARG;
  if (node_->type == XML_ELEMENT_NODE || node_->type == XML_ATTRIBUTE_NODE) {
    return ReplaceWithText(*tree_, node_, utf8);
  }
  if (HoldsText(node_)) {
    // Text, comments and instructions hold their text directly.
    xmlNodeSetContent(node_, X(utf8));
    return S_OK;
  }
  return E_FAIL;
}

HRESULT NodeBase::Xml(BSTR* xml) {
  if (xml == nullptr) return E_POINTER;
  *xml = nullptr;
  xmlBufferPtr buffer = xmlBufferCreate();
  if (buffer == nullptr) return E_OUTOFMEMORY;
  bool ok = true;
  if (node_->type == XML_DOCUMENT_NODE) {
    for (xmlNodePtr c = node_->children; c != nullptr && ok; c = c->next) {
      ok = xmlNodeDump(buffer, tree_->doc, c, 0, 0) >= 0;
      if (ok && c->next != nullptr) xmlBufferCCat(buffer, "\n");
    }
  } else {
    ok = xmlNodeDump(buffer, tree_->doc, node_, 0, 0) >= 0;
  }
  if (ok) {
    const auto length = static_cast<std::size_t>(xmlBufferLength(buffer));
    *xml = BstrFromUtf8(std::string(C(xmlBufferContent(buffer)), length));
  }
  xmlBufferFree(buffer);
  if (!ok) return E_FAIL;
  return *xml != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT NodeBase::Select(BSTR query, std::vector<xmlNodePtr>& found) {
  std::string expression;
  if (!Utf8FromBstr(query, expression) || expression.empty()) return E_INVALIDARG;
  xmlXPathContextPtr context = xmlXPathNewContext(tree_->doc);
  if (context == nullptr) return E_OUTOFMEMORY;
  context->node = node_;
  context->error = IgnoreError;  // a bad query is reported by the result alone
  xmlXPathObjectPtr result = xmlXPathEvalExpression(X(expression), context);
  HRESULT hr = S_OK;
  if (result == nullptr || result->type != XPATH_NODESET) {
    hr = E_FAIL;  // not a path expression this system understands
  } else if (result->nodesetval != nullptr) {
    for (int i = 0; i < result->nodesetval->nodeNr; ++i) {
      xmlNodePtr n = result->nodesetval->nodeTab[i];
      // Namespace entries in a node set are not nodes.
      if (n != nullptr && n->type != XML_NAMESPACE_DECL && Visible(n)) found.push_back(n);
    }
  }
  xmlXPathFreeObject(result);
  xmlXPathFreeContext(context);
  return hr;
}

HRESULT NodeBase::SelectNodes(BSTR query, IXMLDOMNodeList** result) {
  if (result == nullptr) return E_POINTER;
  *result = nullptr;
  std::vector<xmlNodePtr> found;
  const HRESULT hr = Select(query, found);
  if (FAILED(hr)) return hr;
  auto* list = new (std::nothrow) NodeList(OwnerOf(this, owner_), tree_, std::move(found));
  if (list == nullptr) return E_OUTOFMEMORY;
  *result = list;
  return S_OK;
}

HRESULT NodeBase::SelectSingleNode(BSTR query, IXMLDOMNode** result) {
  if (result == nullptr) return E_POINTER;
  *result = nullptr;
  std::vector<xmlNodePtr> found;
  const HRESULT hr = Select(query, found);
  if (FAILED(hr)) return hr;
  if (found.empty()) return S_FALSE;
  return WrapNode(OwnerOf(this, owner_), tree_, found.front(), IID_IXMLDOMNode, reinterpret_cast<void**>(result));
}

}  // namespace

HRESULT CreateXmlDocument(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  std::shared_ptr<XmlTree> tree = NewXmlTree();
  if (tree == nullptr) return E_OUTOFMEMORY;
  auto* document = new (std::nothrow) DocumentImpl(std::move(tree));
  if (document == nullptr) return E_OUTOFMEMORY;
  const HRESULT hr = document->QueryInterface(iid, object);
  document->Release();
  return hr;
}

}  // namespace ce::com
