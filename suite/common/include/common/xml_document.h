// The suite's XML over the platform's document object: CXmlDocument builds
// and saves a new document, CXmlReader loads one and reads nodes,
// attributes and texts. Both hide COM: every operation answers TRUE or
// FALSE (or a count), and the wrapper releases every interface it holds.
//
// Texts copied out go into the caller's buffer of `capacity` characters
// with the terminator; a text that does not fit is a failure and leaves the
// buffer as it was, so an oversized attribute never overruns it.
#pragma once

#include "ce/msxml.h"
#include "ce/windows.h"
#include "common/com_ptr.h"

namespace suite {

class CXmlDocument {
 public:
  CXmlDocument() = default;
  virtual ~CXmlDocument();
  CXmlDocument(const CXmlDocument&) = delete;
  CXmlDocument& operator=(const CXmlDocument&) = delete;

  // A new empty document; it becomes the current node.
  BOOL Create();
  BOOL SelectNode(LPCWSTR path);
  BOOL SelectNodes(LPCWSTR path, int index);
  // Makes the element being built.
  BOOL CreateElement(LPCWSTR name);
  // Makes a text node holding `text`.
  BOOL CreateLabelElement(LPCWSTR text);
  // On the element being built.
  BOOL SetAttribute(LPCWSTR name, LPCWSTR value);
  // Appends the node being built to the current node.
  BOOL AppendNew();
  BOOL AppendNode(IXMLDOMNode* node);
  BOOL AddProcessingInstruction(LPCWSTR target, LPCWSTR data);
  BOOL AddXmlDeclaration();
  // Writes the document beside `path` and renames it over the old file, so
  // a failed save leaves the old file whole.
  BOOL Save(LPCWSTR path);
  BOOL Open(LPCWSTR path);
  void Close();

 private:
  ComPtr<IXMLDOMDocument> m_document;
  ComPtr<IXMLDOMNode> m_current;
  ComPtr<IXMLDOMNode> m_new;
  ComPtr<IXMLDOMNode> m_scratch;
  bool m_comStarted = false;
};

class CXmlReader {
 public:
  CXmlReader() = default;
  // Positioned on a node of a document that another reader holds open.
  explicit CXmlReader(IXMLDOMNode* node);
  virtual ~CXmlReader();
  CXmlReader(const CXmlReader&) = delete;
  CXmlReader& operator=(const CXmlReader&) = delete;

  // `source` is a device path (isFile) or XML text. Malformed XML fails.
  BOOL Load(LPCWSTR source, BOOL isFile, BOOL validate, BOOL resolveExternals);
  BOOL SelectNode(LPCWSTR path);
  // The number of matches from the current node (0 for none); the list is
  // kept for NextNode.
  int SelectNodes(LPCWSTR path);
  BOOL NextNode();
  // The current node with a reference for the caller, or null.
  IXMLDOMNode* GetNode();
  // Text attributes only; a missing one leaves the buffer as it was.
  BOOL GetAttribute(LPCWSTR name, LPWSTR buffer, int capacity);
  // The attribute as a decimal number; 0, and *ok FALSE, when it is missing
  // or not a number.
  int GetAttributeInt(LPCWSTR name, BOOL* ok = nullptr);
  int GetChildCount();
  // A text child's text, else the child's name.
  BOOL GetChildText(int index, LPWSTR buffer, int capacity);
  void PushNode();
  void PopNode();
  BOOL GetXml(LPWSTR buffer, int capacity);
  void Close();

 private:
  ComPtr<IXMLDOMDocument> m_document;
  ComPtr<IXMLDOMNode> m_current;
  ComPtr<IXMLDOMNodeList> m_list;
  ComPtr<IXMLDOMNode> m_saved;
  bool m_comStarted = false;
};

}  // namespace suite
