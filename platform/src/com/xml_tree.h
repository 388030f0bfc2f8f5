// One libxml2 document and the nodes that belong to it but hang in no tree
// (created and not yet appended, or removed). Nodes are never freed while
// the tree lives, so every wrapper handed out stays valid; the whole lot goes
// when the last wrapper and the document object let go of the tree.
#pragma once

#include <libxml/tree.h>

#include <memory>
#include <string>
#include <unordered_set>

#include "ce/oleauto.h"

namespace ce::com {

struct XmlTree {
  explicit XmlTree(xmlDocPtr document) : doc(document) {}
  ~XmlTree();
  XmlTree(const XmlTree&) = delete;
  XmlTree& operator=(const XmlTree&) = delete;

  xmlNodePtr Root() const { return reinterpret_cast<xmlNodePtr>(doc); }
  void Float(xmlNodePtr node) { floating.insert(node); }
  void Unfloat(xmlNodePtr node) { floating.erase(node); }

  xmlDocPtr doc;
  std::unordered_set<xmlNodePtr> floating;
};

// A fresh document without content; null when out of memory.
std::shared_ptr<XmlTree> NewXmlTree();
// Parses `size` bytes; null when they are not well-formed. `encoding`
// overrides what the text declares (null: detect from the bytes).
std::shared_ptr<XmlTree> ParseXmlTree(const char* bytes, std::size_t size, const char* encoding);

// Text at the interface boundary.
BSTR BstrFromXml(const xmlChar* text);
BSTR BstrFromUtf8(const std::string& text);
// False for text with a character no XML text may hold (a null, most
// control characters, a lone surrogate).
bool Utf8FromBstr(BSTR text, std::string& out);

}  // namespace ce::com
