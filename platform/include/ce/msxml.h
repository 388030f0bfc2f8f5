// The XML document object model: the document class the platform serves
// through CoCreateInstance(CLSID_DOMDocument) and the node interfaces the
// programs use. Text crosses every interface as BSTR. Out-pointers are set to
// null on failure; methods answer S_FALSE where there is simply no result (no
// first child, no match, no such attribute).
#pragma once

#include "ce/oleauto.h"

#pragma GCC visibility push(default)

DEFINE_GUID(CLSID_DOMDocument, 0x2933BF90, 0x7B36, 0x11D2, 0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60);
DEFINE_GUID(IID_IXMLDOMNode, 0x2933BF80, 0x7B36, 0x11D2, 0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60);
DEFINE_GUID(IID_IXMLDOMDocument, 0x2933BF81, 0x7B36, 0x11D2, 0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60);
DEFINE_GUID(IID_IXMLDOMNodeList, 0x2933BF82, 0x7B36, 0x11D2, 0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60);
DEFINE_GUID(IID_IXMLDOMNamedNodeMap, 0x2933BF83, 0x7B36, 0x11D2, 0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60);
DEFINE_GUID(IID_IXMLDOMAttribute, 0x2933BF85, 0x7B36, 0x11D2, 0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60);
DEFINE_GUID(IID_IXMLDOMElement, 0x2933BF86, 0x7B36, 0x11D2, 0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60);
DEFINE_GUID(IID_IXMLDOMText, 0x2933BF87, 0x7B36, 0x11D2, 0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60);
DEFINE_GUID(IID_IXMLDOMProcessingInstruction, 0x2933BF89, 0x7B36, 0x11D2, 0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E,
            0x60);
DEFINE_GUID(IID_IObjectSafety, 0xCB5BDC81, 0x93C1, 0x11CF, 0x8F, 0x20, 0x00, 0x80, 0x5F, 0x2C, 0xD0, 0x64);

enum DOMNodeType {
  NODE_INVALID = 0,
  NODE_ELEMENT = 1,
  NODE_ATTRIBUTE = 2,
  NODE_TEXT = 3,
  NODE_CDATA_SECTION = 4,
  NODE_ENTITY_REFERENCE = 5,
  NODE_ENTITY = 6,
  NODE_PROCESSING_INSTRUCTION = 7,
  NODE_COMMENT = 8,
  NODE_DOCUMENT = 9,
  NODE_DOCUMENT_TYPE = 10,
  NODE_DOCUMENT_FRAGMENT = 11,
  NODE_NOTATION = 12,
};

class IXMLDOMDocument;
class IXMLDOMNodeList;
class IXMLDOMNamedNodeMap;

class IXMLDOMNode : public IUnknown {
 public:
  virtual HRESULT get_nodeName(BSTR* name) = 0;
  // The text of attributes, text, comments and processing instructions as
  // VT_BSTR; VT_NULL for elements and documents.
  virtual HRESULT get_nodeValue(VARIANT* value) = 0;
  virtual HRESULT put_nodeValue(VARIANT value) = 0;
  virtual HRESULT get_nodeType(DOMNodeType* type) = 0;
  virtual HRESULT get_parentNode(IXMLDOMNode** parent) = 0;
  virtual HRESULT get_childNodes(IXMLDOMNodeList** children) = 0;
  virtual HRESULT get_firstChild(IXMLDOMNode** child) = 0;
  virtual HRESULT get_lastChild(IXMLDOMNode** child) = 0;
  virtual HRESULT get_previousSibling(IXMLDOMNode** sibling) = 0;
  virtual HRESULT get_nextSibling(IXMLDOMNode** sibling) = 0;
  // S_FALSE and null for nodes other than elements.
  virtual HRESULT get_attributes(IXMLDOMNamedNodeMap** attributes) = 0;
  virtual HRESULT removeChild(IXMLDOMNode* child, IXMLDOMNode** removed) = 0;
  // A node of another document is appended as a deep copy; `appended` (may
  // be null) receives the node now in the tree.
  virtual HRESULT appendChild(IXMLDOMNode* child, IXMLDOMNode** appended) = 0;
  virtual HRESULT hasChildNodes(VARIANT_BOOL* has) = 0;
  virtual HRESULT get_ownerDocument(IXMLDOMDocument** document) = 0;
  virtual HRESULT cloneNode(VARIANT_BOOL deep, IXMLDOMNode** clone) = 0;
  // The text of the node and its descendants; put_text replaces the children
  // of an element by one text node.
  virtual HRESULT get_text(BSTR* text) = 0;
  virtual HRESULT put_text(BSTR text) = 0;
  virtual HRESULT get_xml(BSTR* xml) = 0;
  // Path expressions evaluated with this node as the context node.
  virtual HRESULT selectNodes(BSTR query, IXMLDOMNodeList** result) = 0;
  virtual HRESULT selectSingleNode(BSTR query, IXMLDOMNode** result) = 0;

 protected:
  ~IXMLDOMNode() = default;
};

class IXMLDOMNodeList : public IUnknown {
 public:
  virtual HRESULT get_item(LONG index, IXMLDOMNode** node) = 0;
  virtual HRESULT get_length(LONG* length) = 0;
  // Walks the list from its start; S_FALSE and null past the end.
  virtual HRESULT nextNode(IXMLDOMNode** node) = 0;
  virtual HRESULT reset() = 0;

 protected:
  ~IXMLDOMNodeList() = default;
};

class IXMLDOMNamedNodeMap : public IUnknown {
 public:
  virtual HRESULT getNamedItem(BSTR name, IXMLDOMNode** node) = 0;
  virtual HRESULT get_item(LONG index, IXMLDOMNode** node) = 0;
  virtual HRESULT get_length(LONG* length) = 0;

 protected:
  ~IXMLDOMNamedNodeMap() = default;
};

class IXMLDOMAttribute : public IXMLDOMNode {
 public:
  virtual HRESULT get_name(BSTR* name) = 0;
  virtual HRESULT get_value(VARIANT* value) = 0;
  virtual HRESULT put_value(VARIANT value) = 0;

 protected:
  ~IXMLDOMAttribute() = default;
};

class IXMLDOMElement : public IXMLDOMNode {
 public:
  virtual HRESULT get_tagName(BSTR* name) = 0;
  // VT_BSTR with the value, or VT_NULL and S_FALSE when there is none.
  virtual HRESULT getAttribute(BSTR name, VARIANT* value) = 0;
  // The value is converted to text.
  virtual HRESULT setAttribute(BSTR name, VARIANT value) = 0;
  virtual HRESULT removeAttribute(BSTR name) = 0;

 protected:
  ~IXMLDOMElement() = default;
};

class IXMLDOMText : public IXMLDOMNode {
 public:
  virtual HRESULT get_data(BSTR* data) = 0;
  virtual HRESULT put_data(BSTR data) = 0;

 protected:
  ~IXMLDOMText() = default;
};

class IXMLDOMProcessingInstruction : public IXMLDOMNode {
 public:
  virtual HRESULT get_target(BSTR* target) = 0;
  virtual HRESULT get_data(BSTR* data) = 0;
  virtual HRESULT put_data(BSTR data) = 0;

 protected:
  ~IXMLDOMProcessingInstruction() = default;
};

class IXMLDOMDocument : public IXMLDOMNode {
 public:
  virtual HRESULT get_documentElement(IXMLDOMElement** element) = 0;
  virtual HRESULT createElement(BSTR tagName, IXMLDOMElement** element) = 0;
  virtual HRESULT createTextNode(BSTR data, IXMLDOMText** text) = 0;
  virtual HRESULT createAttribute(BSTR name, IXMLDOMAttribute** attribute) = 0;
  virtual HRESULT createProcessingInstruction(BSTR target, BSTR data, IXMLDOMProcessingInstruction** instruction) = 0;
  // `type` is a node type number (VT_I4 or text); elements, attributes,
  // text, comments and processing instructions. The name is ignored for
  // text and comments.
  virtual HRESULT createNode(VARIANT type, BSTR name, BSTR namespaceURI, IXMLDOMNode** node) = 0;
  // Reads a device file (a VT_BSTR path). A missing, unreadable or
  // malformed file answers S_FALSE, *successful VARIANT_FALSE and leaves the
  // document empty.
  virtual HRESULT load(VARIANT source, VARIANT_BOOL* successful) = 0;
  virtual HRESULT loadXML(BSTR xml, VARIANT_BOOL* successful) = 0;
  // Writes the document to a device file in the encoding its declaration
  // names (UTF-8 when it has none).
  virtual HRESULT save(VARIANT destination) = 0;
  virtual HRESULT get_async(VARIANT_BOOL* async) = 0;
  virtual HRESULT put_async(VARIANT_BOOL async) = 0;
  virtual HRESULT get_validateOnParse(VARIANT_BOOL* validate) = 0;
  virtual HRESULT put_validateOnParse(VARIANT_BOOL validate) = 0;
  // Kept as a setting only: external entities and document type
  // definitions are never fetched.
  virtual HRESULT get_resolveExternals(VARIANT_BOOL* resolve) = 0;
  virtual HRESULT put_resolveExternals(VARIANT_BOOL resolve) = 0;

 protected:
  ~IXMLDOMDocument() = default;
};

inline constexpr DWORD INTERFACESAFE_FOR_UNTRUSTED_CALLER = 0x1;
inline constexpr DWORD INTERFACESAFE_FOR_UNTRUSTED_DATA = 0x2;

class IObjectSafety : public IUnknown {
 public:
  virtual HRESULT GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled) = 0;
  virtual HRESULT SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) = 0;

 protected:
  ~IObjectSafety() = default;
};

#pragma GCC visibility pop
