// Helpers over the platform's XML document: COM reference counting, BSTR
// and VARIANT handling stay inside; failure shows as an empty node or false.
// COM must be initialised on the calling thread.
#pragma once

#include <string>

class IXMLDOMNode;

namespace os {

// A counted reference to a DOM node (a document is a node too). An empty
// handle means "no node".
class XmlNode {
 public:
  XmlNode() = default;
  // Takes over one reference when `owns`, otherwise adds its own.
  XmlNode(IXMLDOMNode* node, bool owns);
  XmlNode(const XmlNode& other);
  XmlNode& operator=(const XmlNode& other);
  ~XmlNode();

  IXMLDOMNode* get() const { return node_; }
  bool empty() const { return node_ == nullptr; }
  explicit operator bool() const { return node_ != nullptr; }

 private:
  IXMLDOMNode* node_ = nullptr;
};

XmlNode create_xml_document();
// An empty handle when the file is missing or malformed.
XmlNode load_xml_document(const std::wstring& path);
bool save_xml_document(const XmlNode& document, const std::wstring& path);
// The first child named exactly `name`.
XmlNode find_xml_child(const XmlNode& parent, const std::wstring& name);
XmlNode append_xml_element(const XmlNode& parent, const std::wstring& name);
bool set_xml_attribute(const XmlNode& element, const std::wstring& name, const std::wstring& value);
// False, with `out` untouched, when the node has no such attribute.
bool get_xml_attribute(const XmlNode& node, const std::wstring& name, std::wstring& out);

}  // namespace os
