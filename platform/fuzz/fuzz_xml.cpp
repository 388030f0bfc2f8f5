// The XML document class: bytes loaded from a device file (the declared or
// detected encoding decides how they read) and, widened one byte to a
// character, as text through loadXML. A loaded document is walked through
// its nodes, attributes, node lists and queries, written out as text, and
// saved; what it saves must load again.
//   ce_fuzz_xml [-runs=N] [file...]
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ce/msxml.h"
#include "ce/objbase.h"
#include "ce/winbase.h"
#include "com_ptr.h"
#include "fuzz_driver.h"

namespace {

using ce::test::Bstr;
using ce::test::Ptr;
using ce::test::Variant;

constexpr int kMaxNodes = 2000;

void WriteDeviceFile(const wchar_t* path, const std::uint8_t* data, std::size_t size) {
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) std::abort();
  DWORD written = 0;
  if (!WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) || written != size) std::abort();
  CloseHandle(file);
}

// Whether the file starts as a document in an encoding that shows in its
// first bytes: ASCII-compatible markup or a byte-order mark.
bool Recognisable(const wchar_t* path) {
  HANDLE file = CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  unsigned char first = 0;
  DWORD read = 0;
  const bool ok = ReadFile(file, &first, 1, &read, nullptr) && read == 1;
  CloseHandle(file);
  return ok && (first == '<' || first == 0xEF || first == 0xFE || first == 0xFF);
}

void NewDocument(Ptr<IXMLDOMDocument>& doc) {
  if (CoCreateInstance(CLSID_DOMDocument, nullptr, 0x17, IID_IXMLDOMDocument, doc.Out()) != S_OK) std::abort();
  doc->put_async(VARIANT_FALSE);
}

void WalkList(IXMLDOMNodeList* list) {
  LONG length = 0;
  if (list == nullptr || list->get_length(&length) != S_OK) return;
  for (LONG i = -1; i <= length && i < 50; ++i) {
    Ptr<IXMLDOMNode> item;
    list->get_item(i, &item);
  }
  list->reset();
  for (int i = 0; i < 50; ++i) {
    Ptr<IXMLDOMNode> item;
    if (list->nextNode(&item) != S_OK || !item) break;
  }
}

void Walk(IXMLDOMNode* node, int& budget) {
  if (node == nullptr || --budget < 0) return;
  Bstr name, text, xml;
  node->get_nodeName(&name);
  node->get_text(&text);
  if (budget % 8 == 0) node->get_xml(&xml);
  Variant value;
  node->get_nodeValue(&value);
  DOMNodeType type;
  node->get_nodeType(&type);

  Ptr<IXMLDOMNamedNodeMap> attributes;
  if (node->get_attributes(&attributes) == S_OK && attributes) {
    LONG length = 0;
    attributes->get_length(&length);
    for (LONG i = 0; i < length && i < 50; ++i) {
      Ptr<IXMLDOMNode> attribute;
      if (attributes->get_item(i, &attribute) != S_OK || !attribute) continue;
      Bstr attribute_name;
      attribute->get_nodeName(&attribute_name);
      Ptr<IXMLDOMNode> named;
      attributes->getNamedItem(attribute_name, &named);
      Ptr<IXMLDOMElement> element;
      if (node->QueryInterface(IID_IXMLDOMElement, element.Out()) == S_OK) {
        Variant attribute_value;
        element->getAttribute(attribute_name, &attribute_value);
      }
    }
  }
  Ptr<IXMLDOMNodeList> children;
  if (node->get_childNodes(&children) == S_OK) WalkList(children.get());
  Ptr<IXMLDOMNode> child;
  node->get_firstChild(&child);
  while (child && budget > 0) {
    Walk(child.get(), budget);
    Ptr<IXMLDOMNode> next;
    child->get_nextSibling(&next);
    child.Reset();
    if (next) next->QueryInterface(IID_IXMLDOMNode, child.Out());
  }
}

void Exercise(IXMLDOMDocument* doc) {
  int budget = kMaxNodes;
  Walk(doc, budget);
  for (const wchar_t* query : {L"//*", L"*/*[1]", L"//@*", L"/*/text()"}) {
    Ptr<IXMLDOMNodeList> found;
    if (doc->selectNodes(Bstr(query), &found) == S_OK) WalkList(found.get());
    Ptr<IXMLDOMNode> single;
    doc->selectSingleNode(Bstr(query), &single);
  }
  // What a loaded document saves must load again, when it is saved in an
  // encoding that can be told from its first bytes (not, say, UTF-7, where
  // even the declaration is encoded).
  if (doc->save(Variant(std::wstring(L"\\saved.xml")).get()) == S_OK && Recognisable(L"\\saved.xml")) {
    Ptr<IXMLDOMDocument> again;
    NewDocument(again);
    VARIANT_BOOL ok = VARIANT_FALSE;
    if (again->load(Variant(std::wstring(L"\\saved.xml")).get(), &ok) != S_OK || ok != VARIANT_TRUE) {
      std::fprintf(stderr, "a saved document does not load again\n");
      std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (CoInitializeEx(nullptr, 0) != S_OK) std::abort();
  {
    WriteDeviceFile(L"\\fuzz.xml", data, size);
    Ptr<IXMLDOMDocument> doc;
    NewDocument(doc);
    VARIANT_BOOL ok = VARIANT_FALSE;
    if (doc->load(Variant(std::wstring(L"\\fuzz.xml")).get(), &ok) == S_OK && ok == VARIANT_TRUE) Exercise(doc.get());

    const std::wstring widened(data, data + size);
    Ptr<IXMLDOMDocument> text_doc;
    NewDocument(text_doc);
    if (text_doc->loadXML(Bstr(widened), &ok) == S_OK && ok == VARIANT_TRUE) Exercise(text_doc.get());
  }
  CoUninitialize();
  return 0;
}

std::vector<std::vector<std::uint8_t>> KsFuzzSeeds() {
  const std::string seeds[] = {
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<Settings Language=\"en\" Volume=\"7\">\n"
      "  <!-- a comment -->\n"
      "  <Skin name=\"Blue\"><Image file=\"a.png\" x=\"1\" y=\"2\"/><![CDATA[<raw>]]></Skin>\n"
      "  <Text>caf\xC3\xA9 &amp; &lt;more&gt; &#x263A;</Text>\n"
      "  <?pi data?>\n"
      "</Settings>\n",
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a b='\xE9'>\xE9t\xE9</a>",
      std::string("\xFF\xFE<\0a\0/\0>\0", 10),
      "<!DOCTYPE a [<!ENTITY e \"text\">]><a>&e;<b/><b c=\"d\"/></a>",
      "<a xmlns:n=\"urn:x\"><n:b n:c=\"1\">t</n:b></a>",
  };
  std::vector<std::vector<std::uint8_t>> bytes;
  for (const std::string& seed : seeds) bytes.push_back(ks_fuzz::Bytes(seed));
  return bytes;
}

std::vector<std::string> KsFuzzDictionary() {
  return {"<?xml version=\"1.0\"",
          " encoding=\"UTF-16\"",
          " encoding=\"ISO-8859-1\"",
          "?>",
          "<!--",
          "-->",
          "<![CDATA[",
          "]]>",
          "<!DOCTYPE",
          "<!ENTITY",
          "&amp;",
          "&#x",
          "</",
          "/>",
          "=\"",
          "xmlns:",
          std::string("\xEF\xBB\xBF"),
          std::string("\xFE\xFF", 2)};
}
