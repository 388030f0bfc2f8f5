#include "common/xml_document.h"

#include <cwchar>
#include <string>

#include "ce/crt.h"
#include "common/bstr.h"

namespace suite {
namespace {

constexpr DWORD kDocumentContext = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER;

// Copies a text that fits `capacity` characters with its terminator;
// anything else leaves the buffer untouched.
BOOL CopyOut(const wchar_t* text, UINT length, LPWSTR buffer, int capacity) {
  if (buffer == nullptr || capacity <= 0 || length >= static_cast<UINT>(capacity)) return FALSE;
  if (length > 0) std::wmemcpy(buffer, text, length);
  buffer[length] = L'\0';
  return TRUE;
}

// Creates the document with the safety options switched off, as the suite
// reads only its own device files.
HRESULT CreateDocument(ComPtr<IXMLDOMDocument>& document) {
  HRESULT hr = CoCreateInstance(CLSID_DOMDocument, nullptr, kDocumentContext, IID_IXMLDOMDocument, document.PutVoid());
  if (FAILED(hr)) return hr;
  ComPtr<IObjectSafety> safety;
  if (SUCCEEDED(document->QueryInterface(IID_IObjectSafety, safety.PutVoid()))) {
    DWORD supported = 0;
    DWORD enabled = 0;
    if (SUCCEEDED(safety->GetInterfaceSafetyOptions(IID_IXMLDOMDocument, &supported, &enabled))) {
      safety->SetInterfaceSafetyOptions(IID_IXMLDOMDocument, supported, 0);
    }
  }
  return S_OK;
}

bool AsNode(IUnknown* object, ComPtr<IXMLDOMNode>& node) {
  return object != nullptr && SUCCEEDED(object->QueryInterface(IID_IXMLDOMNode, node.PutVoid()));
}

}  // namespace

// --- CXmlDocument ---------------------------------------------------------------

CXmlDocument::~CXmlDocument() { Close(); }

BOOL CXmlDocument::Create() {
  Close();
  if (FAILED(CoInitializeEx(nullptr, 0))) return FALSE;
  m_comStarted = true;
  if (FAILED(CreateDocument(m_document)) || !AsNode(m_document.Get(), m_current)) {
    Close();
    return FALSE;
  }
  return TRUE;
}

BOOL CXmlDocument::SelectNode(LPCWSTR path) {
  Bstr query(path);
  if (!m_document || !query.Ok()) return FALSE;
  ComPtr<IXMLDOMNode> found;
  if (m_document->selectSingleNode(query.Get(), found.Put()) != S_OK || !found) return FALSE;
  m_current = found;
  return TRUE;
}

BOOL CXmlDocument::SelectNodes(LPCWSTR path, int index) {
  Bstr query(path);
  if (!m_document || !query.Ok() || index < 0) return FALSE;
  ComPtr<IXMLDOMNodeList> list;
  ComPtr<IXMLDOMNode> found;
  if (FAILED(m_document->selectNodes(query.Get(), list.Put())) || !list || list->get_item(index, found.Put()) != S_OK ||
      !found) {
    return FALSE;
  }
  m_current = found;
  return TRUE;
}

BOOL CXmlDocument::CreateElement(LPCWSTR name) {
  Bstr tag(name);
  if (!m_document || !tag.Ok()) return FALSE;
  ComPtr<IXMLDOMElement> element;
  if (FAILED(m_document->createElement(tag.Get(), element.Put())) || !AsNode(element.Get(), m_new)) return FALSE;
  return TRUE;
}

BOOL CXmlDocument::CreateLabelElement(LPCWSTR text) {
  Bstr name(L"BaseLable");
  Bstr content(text);
  if (!m_document || !name.Ok() || !content.Ok()) return FALSE;
  VARIANT type;
  VariantInit(&type);
  type.vt = VT_I4;
  type.lVal = NODE_TEXT;
  ComPtr<IXMLDOMNode> node;
  if (FAILED(m_document->createNode(type, name.Get(), nullptr, node.Put())) || !node ||
      FAILED(node->put_text(content.Get()))) {
    return FALSE;
  }
  m_new = node;
  return TRUE;
}

BOOL CXmlDocument::SetAttribute(LPCWSTR name, LPCWSTR value) {
  Bstr attribute(name);
  if (!m_new || !attribute.Ok() || value == nullptr) return FALSE;
  ComPtr<IXMLDOMElement> element;
  if (FAILED(m_new->QueryInterface(IID_IXMLDOMElement, element.PutVoid()))) return FALSE;
  VARIANT text;
  VariantInit(&text);
  text.vt = VT_BSTR;
  text.bstrVal = SysAllocString(value);
  if (text.bstrVal == nullptr) return FALSE;  // out of memory
  const HRESULT hr = element->setAttribute(attribute.Get(), text);
  VariantClear(&text);
  return SUCCEEDED(hr);
}

BOOL CXmlDocument::AppendNew() { return AppendNode(m_new.Get()); }

BOOL CXmlDocument::AppendNode(IXMLDOMNode* node) {
  if (!m_current || node == nullptr) return FALSE;
  return SUCCEEDED(m_current->appendChild(node, m_scratch.Put()));
}

BOOL CXmlDocument::AddProcessingInstruction(LPCWSTR target, LPCWSTR data) {
  Bstr name(target);
  Bstr text(data != nullptr ? data : L"");
  if (!m_document || !name.Ok() || !text.Ok()) return FALSE;
  ComPtr<IXMLDOMProcessingInstruction> instruction;
  if (FAILED(m_document->createProcessingInstruction(name.Get(), text.Get(), instruction.Put()))) return FALSE;
  ComPtr<IXMLDOMNode> node;
  return AsNode(instruction.Get(), node) && AppendNode(node.Get());
}

BOOL CXmlDocument::AddXmlDeclaration() {
  Bstr name(L"xml");
  if (!m_document || !name.Ok()) return FALSE;
  VARIANT type;
  VariantInit(&type);
  type.vt = VT_I4;
  type.lVal = NODE_PROCESSING_INSTRUCTION;
  ComPtr<IXMLDOMNode> node;
  if (FAILED(m_document->createNode(type, name.Get(), nullptr, node.Put()))) return FALSE;
  return AppendNode(node.Get());
}

BOOL CXmlDocument::Save(LPCWSTR path) {
  if (!m_document || path == nullptr || path[0] == L'\0') return FALSE;
  // Written beside the file first, then put in its place in one step.
  const std::wstring partial = std::wstring(path) + L".new";
  VARIANT destination;
  VariantInit(&destination);
  destination.vt = VT_BSTR;
  destination.bstrVal = SysAllocString(partial.c_str());
  if (destination.bstrVal == nullptr) return FALSE;
  const HRESULT hr = m_document->save(destination);
  VariantClear(&destination);
  if (FAILED(hr) || !MoveFileExW(partial.c_str(), path, MOVEFILE_REPLACE_EXISTING)) {
    DeleteFileW(partial.c_str());
    return FALSE;
  }
  return TRUE;
}

BOOL CXmlDocument::Open(LPCWSTR path) {
  if (path == nullptr || !Create()) return FALSE;
  VARIANT source;
  VariantInit(&source);
  source.vt = VT_BSTR;
  source.bstrVal = SysAllocString(path);
  if (source.bstrVal == nullptr) return FALSE;
  VARIANT_BOOL loaded = VARIANT_FALSE;
  const HRESULT hr = m_document->load(source, &loaded);
  VariantClear(&source);
  return hr == S_OK && loaded != VARIANT_FALSE;
}

void CXmlDocument::Close() {
  m_scratch.Reset();
  m_new.Reset();
  m_current.Reset();
  m_document.Reset();
  if (m_comStarted) {
    m_comStarted = false;
    CoUninitialize();
  }
}

// --- CXmlReader -----------------------------------------------------------------

CXmlReader::CXmlReader(IXMLDOMNode* node) { m_current.Assign(node); }

CXmlReader::~CXmlReader() { Close(); }

BOOL CXmlReader::Load(LPCWSTR source, BOOL isFile, BOOL validate, BOOL resolveExternals) {
  Close();
  if (source == nullptr || FAILED(CoInitializeEx(nullptr, 0))) return FALSE;
  m_comStarted = true;
  if (FAILED(CreateDocument(m_document))) {
    Close();
    return FALSE;
  }
  m_document->put_async(VARIANT_FALSE);
  m_document->put_validateOnParse(validate ? VARIANT_TRUE : VARIANT_FALSE);
  m_document->put_resolveExternals(resolveExternals ? VARIANT_TRUE : VARIANT_FALSE);
  VARIANT_BOOL loaded = VARIANT_FALSE;
  HRESULT hr = E_FAIL;
  if (isFile) {
    VARIANT path;
    VariantInit(&path);
    path.vt = VT_BSTR;
    path.bstrVal = SysAllocString(source);
    if (path.bstrVal != nullptr) hr = m_document->load(path, &loaded);
    VariantClear(&path);
  } else {
    Bstr text(source);
    if (text.Ok()) hr = m_document->loadXML(text.Get(), &loaded);
  }
  if (FAILED(hr) || loaded == VARIANT_FALSE || !AsNode(m_document.Get(), m_current)) {
    Close();
    return FALSE;
  }
  return TRUE;
}

BOOL CXmlReader::SelectNode(LPCWSTR path) {
  Bstr query(path);
  if (!m_current || !query.Ok()) return FALSE;
  ComPtr<IXMLDOMNode> found;
  if (m_current->selectSingleNode(query.Get(), found.Put()) != S_OK || !found) return FALSE;
  m_current = found;
  return TRUE;
}

int CXmlReader::SelectNodes(LPCWSTR path) {
  Bstr query(path);
  m_list.Reset();
  if (!m_current || !query.Ok()) return 0;
  ComPtr<IXMLDOMNodeList> list;
  LONG length = 0;
  if (FAILED(m_current->selectNodes(query.Get(), list.Put())) || !list || FAILED(list->get_length(&length)) ||
      length <= 0) {
    return 0;
  }
  m_list = list;
  return static_cast<int>(length);
}

BOOL CXmlReader::NextNode() {
  if (!m_list) return FALSE;
  ComPtr<IXMLDOMNode> next;
  if (m_list->nextNode(next.Put()) != S_OK || !next) return FALSE;
  m_current = next;
  return TRUE;
}

IXMLDOMNode* CXmlReader::GetNode() {
  if (!m_current) return nullptr;
  m_current->AddRef();
  return m_current.Get();
}

BOOL CXmlReader::GetAttribute(LPCWSTR name, LPWSTR buffer, int capacity) {
  Bstr attribute(name);
  if (!m_current || !attribute.Ok() || buffer == nullptr) return FALSE;
  ComPtr<IXMLDOMElement> element;
  if (FAILED(m_current->QueryInterface(IID_IXMLDOMElement, element.PutVoid()))) return FALSE;
  VARIANT value;
  VariantInit(&value);
  BOOL ok = FALSE;
  if (element->getAttribute(attribute.Get(), &value) == S_OK && value.vt == VT_BSTR) {
    ok = CopyOut(value.bstrVal, SysStringLen(value.bstrVal), buffer, capacity);
  }
  VariantClear(&value);
  return ok;
}

int CXmlReader::GetAttributeInt(LPCWSTR name, BOOL* ok) {
  if (ok != nullptr) *ok = FALSE;
  wchar_t text[32];
  if (!GetAttribute(name, text, 32)) return 0;
  wchar_t* end = nullptr;
  const LONG value = ce::wcstol(text, &end, 10);
  if (end == text) return 0;
  if (ok != nullptr) *ok = TRUE;
  return static_cast<int>(value);
}

int CXmlReader::GetChildCount() {
  if (!m_current) return 0;
  ComPtr<IXMLDOMNodeList> children;
  LONG length = 0;
  if (FAILED(m_current->get_childNodes(children.Put())) || !children || FAILED(children->get_length(&length))) {
    return 0;
  }
  return static_cast<int>(length);
}

BOOL CXmlReader::GetChildText(int index, LPWSTR buffer, int capacity) {
  if (!m_current || index < 0) return FALSE;
  ComPtr<IXMLDOMNodeList> children;
  ComPtr<IXMLDOMNode> child;
  if (FAILED(m_current->get_childNodes(children.Put())) || !children ||
      children->get_item(index, child.Put()) != S_OK || !child) {
    return FALSE;
  }
  DOMNodeType type = NODE_INVALID;
  OutBstr text;
  const HRESULT hr = SUCCEEDED(child->get_nodeType(&type)) && type == NODE_TEXT ? child->get_text(text.Put())
                                                                                : child->get_nodeName(text.Put());
  if (FAILED(hr)) return FALSE;
  return CopyOut(text.Get() != nullptr ? text.Get() : L"", SysStringLen(text.Get()), buffer, capacity);
}

void CXmlReader::PushNode() { m_saved = m_current; }

void CXmlReader::PopNode() {
  if (m_saved) m_current = m_saved;
}

BOOL CXmlReader::GetXml(LPWSTR buffer, int capacity) {
  if (!m_current) return FALSE;
  OutBstr xml;
  if (FAILED(m_current->get_xml(xml.Put()))) return FALSE;
  return CopyOut(xml.Get() != nullptr ? xml.Get() : L"", SysStringLen(xml.Get()), buffer, capacity);
}

void CXmlReader::Close() {
  m_saved.Reset();
  m_list.Reset();
  m_current.Reset();
  m_document.Reset();
  if (m_comStarted) {
    m_comStarted = false;
    CoUninitialize();
  }
}

}  // namespace suite
