#include "com/xml_tree.h"

#include <libxml/parser.h>

#include <climits>
#include <cstdint>
#include <mutex>

#include "ce/strconv.h"

namespace ce::com {

namespace {

// No external entity, document type definition or network resource is
// ever fetched, whatever a document asks for.
xmlParserInputPtr RefuseExternal(const char* /*url*/, const char* /*id*/, xmlParserCtxtPtr /*context*/) {
  return nullptr;
}

void InitOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    xmlInitParser();
    xmlSetExternalEntityLoader(RefuseExternal);
  });
}

// Blank-only text between elements is dropped, as the device's parser
// does by default; entities stay references and nothing is loaded.
constexpr int kParseOptions =
    XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NODICT;

}  // namespace

XmlTree::~XmlTree() {
  // Floating nodes first: they still refer to the document.
  for (xmlNodePtr node : floating) {
    if (node->parent == nullptr) xmlFreeNode(node);
  }
  xmlFreeDoc(doc);
}

std::shared_ptr<XmlTree> NewXmlTree() {
  InitOnce();
  xmlDocPtr doc = xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0"));
  if (doc == nullptr) return nullptr;
  return std::make_shared<XmlTree>(doc);
}

std::shared_ptr<XmlTree> ParseXmlTree(const char* bytes, std::size_t size, const char* encoding) {
  InitOnce();
  if (size > static_cast<std::size_t>(INT_MAX)) return nullptr;
  xmlDocPtr doc = xmlReadMemory(bytes, static_cast<int>(size), nullptr, encoding, kParseOptions);
  if (doc == nullptr) return nullptr;
  return std::make_shared<XmlTree>(doc);
}

BSTR BstrFromUtf8(const std::string& text) {
  const std::wstring wide = ce::WideFromUtf8(text);
  if (wide.size() > UINT_MAX) return nullptr;
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

BSTR BstrFromXml(const xmlChar* text) {
  return BstrFromUtf8(text == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(text)));
}

bool Utf8FromBstr(BSTR text, std::string& out) {
  const std::wstring_view view(text == nullptr ? L"" : text, SysStringLen(text));
  for (wchar_t c : view) {
    // Only characters a document can hold: a control character would be
    // written as a reference that no parser reads back.
    const auto u = static_cast<std::uint32_t>(c);
    const bool allowed = u == 0x9 || u == 0xA || u == 0xD || (u >= 0x20 && u <= 0xD7FF) ||
                         (u >= 0xE000 && u <= 0xFFFD) || (u >= 0x10000 && u <= 0x10FFFF);
    if (!allowed) return false;
  }
  out = ce::Utf8FromWide(view);
  return true;
}

}  // namespace ce::com
