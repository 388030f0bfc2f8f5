#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ce/msxml.h"
#include "ce/objbase.h"
#include "ce/strconv.h"
#include "com_ptr.h"
#include "temp_device.h"

namespace {

using ce::test::Bstr;
using ce::test::Ptr;
using ce::test::TempDevice;
using ce::test::Variant;

class Xml : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(CoInitializeEx(nullptr, 0), S_OK); }
  void TearDown() override { CoUninitialize(); }

  static void NewDocument(Ptr<IXMLDOMDocument>& doc) {
    ASSERT_EQ(CoCreateInstance(CLSID_DOMDocument, nullptr, 0x17, IID_IXMLDOMDocument, doc.Out()), S_OK);
    ASSERT_TRUE(doc);
  }
  static void LoadText(Ptr<IXMLDOMDocument>& doc, const std::wstring& text) {
    NewDocument(doc);
    VARIANT_BOOL ok = VARIANT_FALSE;
    ASSERT_EQ(doc->loadXML(Bstr(text), &ok), S_OK);
    ASSERT_EQ(ok, VARIANT_TRUE);
  }
  static HRESULT LoadFile(Ptr<IXMLDOMDocument>& doc, const std::wstring& path, VARIANT_BOOL* ok) {
    NewDocument(doc);
    EXPECT_EQ(doc->put_async(VARIANT_FALSE), S_OK);
    return doc->load(Variant(path).get(), ok);
  }
  static std::wstring Attribute(IXMLDOMNode* node, const std::wstring& name) {
    Ptr<IXMLDOMElement> element;
    if (node->QueryInterface(IID_IXMLDOMElement, element.Out()) != S_OK) return L"<not an element>";
    Variant value;
    if (element->getAttribute(Bstr(name), &value) != S_OK) return L"<missing>";
    return value.str();
  }
  static std::wstring Name(IXMLDOMNode* node) {
    Bstr name;
    EXPECT_EQ(node->get_nodeName(&name), S_OK);
    return name.str();
  }
  static std::wstring Text(IXMLDOMNode* node) {
    Bstr text;
    EXPECT_EQ(node->get_text(&text), S_OK);
    return text.str();
  }
  static void Append(IXMLDOMNode* parent, IXMLDOMNode* child) {
    Ptr<IXMLDOMNode> appended;
    ASSERT_EQ(parent->appendChild(child, &appended), S_OK);
    ASSERT_TRUE(appended);
  }
  static void Element(IXMLDOMDocument* doc, IXMLDOMNode* parent, const std::wstring& name, Ptr<IXMLDOMElement>& out) {
    ASSERT_EQ(doc->createElement(Bstr(name), &out), S_OK);
    Append(parent, out.get());
  }
  static std::vector<std::wstring> Select(IXMLDOMNode* from, const std::wstring& query, const std::wstring& attr) {
    Ptr<IXMLDOMNodeList> list;
    EXPECT_EQ(from->selectNodes(Bstr(query), &list), S_OK);
    std::vector<std::wstring> values;
    if (!list) return values;
    Ptr<IXMLDOMNode> node;
    while (list->nextNode(&node) == S_OK) values.push_back(Attribute(node.get(), attr));
    return values;
  }
  static std::wstring XmlOf(IXMLDOMNode* node) {
    Bstr xml;
    EXPECT_EQ(node->get_xml(&xml), S_OK);
    return xml.str();
  }

  TempDevice device;
};

// The recorder's settings: one root element with attributes, written to a
// file and read back as the start-up reads it.
TEST_F(Xml, SettingsRoundTripThroughAFile) {
  const std::vector<std::pair<std::wstring, std::wstring>> settings = {
      {L"Language", L"\\Program Files\\Vocamo\\Fran\u00e7ais.lng"},
      {L"ScreenOff", L"2"},
      {L"SelectedPath", L"\\My Documents\\<a & b>\"q\""},
      {L"Volume", L"1.000000"},
      {L"VasLevel", L"-3"},
      {L"Boost", L"0"},
      {L"Folder", L"1"},
      {L"Format", L"\u4e2d5"}};
  {
    Ptr<IXMLDOMDocument> doc;
    NewDocument(doc);
    Ptr<IXMLDOMElement> root;
    Element(doc.get(), doc.get(), L"Settings", root);
    for (const auto& [name, value] : settings) {
      ASSERT_EQ(root->setAttribute(Bstr(name), Variant(value).get()), S_OK);
    }
    // A number is stored as its text; a second set replaces the first.
    ASSERT_EQ(root->setAttribute(Bstr(L"Boost"), Variant(LONG{7}).get()), S_OK);
    ASSERT_EQ(doc->save(Variant(std::wstring(L"\\Settings.xml")).get()), S_OK);
  }
  const std::string saved = device.ReadHostFile("Settings.xml");
  EXPECT_EQ(saved.rfind("<?xml version=\"1.0\"", 0), 0u) << saved;
  EXPECT_NE(saved.find("&lt;a &amp; b&gt;&quot;q&quot;"), std::string::npos) << saved;

  Ptr<IXMLDOMDocument> doc;
  VARIANT_BOOL ok = VARIANT_FALSE;
  ASSERT_EQ(LoadFile(doc, L"\\settings.XML", &ok), S_OK);  // device paths ignore case
  ASSERT_EQ(ok, VARIANT_TRUE);
  Ptr<IXMLDOMElement> root;
  ASSERT_EQ(doc->get_documentElement(&root), S_OK);
  EXPECT_EQ(Name(root.get()), L"Settings");
  for (const auto& [name, value] : settings) {
    EXPECT_EQ(Attribute(root.get(), name), name == L"Boost" ? L"7" : value) << ce::Utf8FromWide(name);
  }
  // The same through the attribute map, as the recorder's helper reads it.
  Ptr<IXMLDOMNamedNodeMap> attributes;
  ASSERT_EQ(root->get_attributes(&attributes), S_OK);
  LONG count = 0;
  EXPECT_EQ(attributes->get_length(&count), S_OK);
  EXPECT_EQ(count, 8);
  Ptr<IXMLDOMNode> volume;
  ASSERT_EQ(attributes->getNamedItem(Bstr(L"Volume"), &volume), S_OK);
  Variant value;
  EXPECT_EQ(volume->get_nodeValue(&value), S_OK);
  EXPECT_EQ(value.str(), L"1.000000");
  // Missing and differently cased names are not found.
  EXPECT_EQ(attributes->getNamedItem(Bstr(L"volume"), &volume), S_FALSE);
  EXPECT_FALSE(volume);
  Variant missing;
  EXPECT_EQ(root->getAttribute(Bstr(L"Missing"), &missing), S_FALSE);
  EXPECT_EQ(missing.get().vt, VT_NULL);
  // No children: the first-child walk ends at once.
  Ptr<IXMLDOMNode> child;
  EXPECT_EQ(root->get_firstChild(&child), S_FALSE);
  EXPECT_FALSE(child);
}

constexpr wchar_t kLayout[] =
    L"<?xml version=\"1.0\"?>\n"
    L"<home>\n"
    L"  <author>Someone</author>\n"
    L"  <default font-face=\"Tahoma\"/>\n"
    L"  <background bgimage=\"\\Windows\\bg.jpg\"/>\n"
    L"  <scheme><color name=\"COLOR_HOMETEXT\" value=\"#0A0B0C\"/><color name=\"COLOR_HOMERULE\" "
    L"value=\"#FFFFFF\"/></scheme>\n"
    L"  <plugin clsid=\"{837FC251-FE69-43ad-84E0-EBCEDEBA0884}\" name=\"first\"/>\n"
    L"  <plugin clsid=\"{9053E85C-7F84-4dbe-A3B7-C20FFE6BA90D}\"><scheme><color name=\"inner\"/></scheme></plugin>\n"
    L"  <plugin name=\"noclsid\"/>\n"
    L"</home>\n";

// The path queries of the colour reader and the layout editor: descendant
// steps by element name, in document order.
TEST_F(Xml, PathQueriesAsTheSuiteUsesThem) {
  Ptr<IXMLDOMDocument> doc;
  LoadText(doc, kLayout);
  EXPECT_EQ(Select(doc.get(), L"//home//plugin", L"clsid"),
            (std::vector<std::wstring>{L"{837FC251-FE69-43ad-84E0-EBCEDEBA0884}",
                                       L"{9053E85C-7F84-4dbe-A3B7-C20FFE6BA90D}", L"<missing>"}));
  EXPECT_EQ(Select(doc.get(), L"//home//scheme//color", L"name"),
            (std::vector<std::wstring>{L"COLOR_HOMETEXT", L"COLOR_HOMERULE", L"inner"}));
  EXPECT_TRUE(Select(doc.get(), L"//colorscheme//scheme//color", L"name").empty());

  Ptr<IXMLDOMNode> background;
  ASSERT_EQ(doc->selectSingleNode(Bstr(L"//home//background"), &background), S_OK);
  EXPECT_EQ(Attribute(background.get(), L"bgimage"), L"\\Windows\\bg.jpg");
  Ptr<IXMLDOMNode> none;
  EXPECT_EQ(doc->selectSingleNode(Bstr(L"//colorscheme//background"), &none), S_FALSE);
  EXPECT_FALSE(none);

  // Indexed access, counts, and queries from a node other than the document.
  Ptr<IXMLDOMNodeList> plugins;
  ASSERT_EQ(doc->selectNodes(Bstr(L"//home//plugin"), &plugins), S_OK);
  LONG length = 0;
  EXPECT_EQ(plugins->get_length(&length), S_OK);
  EXPECT_EQ(length, 3);
  Ptr<IXMLDOMNode> second;
  ASSERT_EQ(plugins->get_item(1, &second), S_OK);
  EXPECT_EQ(Select(second.get(), L"scheme/color", L"name"), std::vector<std::wstring>{L"inner"});
  EXPECT_EQ(plugins->get_item(3, &second), S_FALSE);
  EXPECT_EQ(plugins->get_item(-1, &second), S_FALSE);

  // Whitespace between elements is not a child; texts are.
  Ptr<IXMLDOMElement> home;
  ASSERT_EQ(doc->get_documentElement(&home), S_OK);
  Ptr<IXMLDOMNodeList> children;
  ASSERT_EQ(home->get_childNodes(&children), S_OK);
  EXPECT_EQ(children->get_length(&length), S_OK);
  EXPECT_EQ(length, 7);
  Ptr<IXMLDOMNode> author;
  ASSERT_EQ(home->get_firstChild(&author), S_OK);
  Ptr<IXMLDOMNode> authorText;
  ASSERT_EQ(author->get_firstChild(&authorText), S_OK);
  DOMNodeType type = NODE_INVALID;
  EXPECT_EQ(authorText->get_nodeType(&type), S_OK);
  EXPECT_EQ(type, NODE_TEXT);
  EXPECT_EQ(Name(authorText.get()), L"#text");
  EXPECT_EQ(Text(authorText.get()), L"Someone");

  // A query that is not a path fails; it does not crash or match.
  Ptr<IXMLDOMNodeList> bad;
  EXPECT_TRUE(FAILED(doc->selectNodes(Bstr(L"//home[("), &bad)));
  EXPECT_FALSE(bad);
  EXPECT_TRUE(FAILED(doc->selectNodes(Bstr(L"count(//plugin)"), &bad)));
}

// The layout editor builds a new document from parts of the current one
// (appended from the other document as copies), new elements, a text node
// made by createNode and a declaration, then saves it.
TEST_F(Xml, LayoutBuiltFromAnotherDocumentSavesAndReloads) {
  Ptr<IXMLDOMDocument> current;
  LoadText(current, kLayout);
  {
    Ptr<IXMLDOMDocument> doc;
    NewDocument(doc);
    Ptr<IObjectSafety> safety;
    ASSERT_EQ(doc->QueryInterface(IID_IObjectSafety, safety.Out()), S_OK);
    DWORD supported = 0, enabled = 0;
    ASSERT_EQ(safety->GetInterfaceSafetyOptions(IID_IXMLDOMDocument, &supported, &enabled), S_OK);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IXMLDOMDocument, supported, 0), S_OK);

    Ptr<IXMLDOMNode> declaration;
    ASSERT_EQ(doc->createNode(Variant(LONG{7}).get(), Bstr(L"xml"), Bstr(), &declaration), S_OK);
    ASSERT_EQ(declaration->put_text(Bstr(L"version=\"1.0\" encoding=\"UTF-8\"")), S_OK);
    Append(doc.get(), declaration.get());

    Ptr<IXMLDOMElement> home, title, version;
    Element(doc.get(), doc.get(), L"home", home);
    Element(doc.get(), home.get(), L"title", title);
    ASSERT_EQ(title->setAttribute(Bstr(L"lang"), Variant(std::wstring(L"0x0409")).get()), S_OK);
    Ptr<IXMLDOMNode> label;
    ASSERT_EQ(doc->createNode(Variant(LONG{3}).get(), Bstr(L"BaseLable"), Bstr(), &label), S_OK);
    ASSERT_EQ(label->put_text(Bstr(L"vrn")), S_OK);
    Append(title.get(), label.get());
    EXPECT_EQ(XmlOf(title.get()), L"<title lang=\"0x0409\">vrn</title>");

    // A second document element is refused.
    Ptr<IXMLDOMElement> extra;
    ASSERT_EQ(doc->createElement(Bstr(L"extra"), &extra), S_OK);
    Ptr<IXMLDOMNode> refused;
    EXPECT_TRUE(FAILED(doc->appendChild(extra.get(), &refused)));
    EXPECT_FALSE(refused);

    for (const wchar_t* path : {L"//home//default", L"//home//background", L"//home//scheme"}) {
      Ptr<IXMLDOMNode> part;
      ASSERT_EQ(current->selectSingleNode(Bstr(path), &part), S_OK);
      Append(home.get(), part.get());
    }
    Ptr<IXMLDOMNodeList> plugins;
    ASSERT_EQ(current->selectNodes(Bstr(L"//home//plugin"), &plugins), S_OK);
    Ptr<IXMLDOMNode> plugin;
    while (plugins->nextNode(&plugin) == S_OK) {
      if (Attribute(plugin.get(), L"clsid") != L"{837FC251-FE69-43ad-84E0-EBCEDEBA0884}") {
        Append(home.get(), plugin.get());
      }
    }
    ASSERT_EQ(doc->save(Variant(std::wstring(L"\\QV.home.xml")).get()), S_OK);
  }
  // The copies left the source untouched.
  EXPECT_EQ(Select(current.get(), L"//home//plugin", L"clsid").size(), 3u);

  Ptr<IXMLDOMDocument> doc;
  VARIANT_BOOL ok = VARIANT_FALSE;
  ASSERT_EQ(LoadFile(doc, L"\\QV.home.xml", &ok), S_OK);
  ASSERT_EQ(ok, VARIANT_TRUE);
  EXPECT_EQ(Select(doc.get(), L"//home//plugin", L"clsid"),
            (std::vector<std::wstring>{L"{9053E85C-7F84-4dbe-A3B7-C20FFE6BA90D}", L"<missing>"}));
  EXPECT_EQ(Select(doc.get(), L"//home//scheme//color", L"value"),
            (std::vector<std::wstring>{L"#0A0B0C", L"#FFFFFF", L"<missing>"}));
  Ptr<IXMLDOMNode> title;
  ASSERT_EQ(doc->selectSingleNode(Bstr(L"//home/title"), &title), S_OK);
  EXPECT_EQ(Text(title.get()), L"vrn");
  const std::string saved = device.ReadHostFile("QV.home.xml");
  EXPECT_EQ(saved.find("<?xml"), saved.rfind("<?xml")) << "one declaration only:\n" << saved;
}

// Edits keep the tree sound: moves, removals, replaced text, cycles.
TEST_F(Xml, TreeEditsMoveRemoveAndReplace) {
  Ptr<IXMLDOMDocument> doc;
  LoadText(doc, L"<a><b>one<c/>two</b><d/></a>");
  Ptr<IXMLDOMNode> b, c, d, one;
  ASSERT_EQ(doc->selectSingleNode(Bstr(L"/a/b"), &b), S_OK);
  ASSERT_EQ(doc->selectSingleNode(Bstr(L"//c"), &c), S_OK);
  ASSERT_EQ(doc->selectSingleNode(Bstr(L"/a/d"), &d), S_OK);
  ASSERT_EQ(b->get_firstChild(&one), S_OK);

  // Moving a node within the document takes it from its old place.
  Append(d.get(), c.get());
  EXPECT_EQ(XmlOf(doc.get()), L"<a><b>onetwo</b><d><c/></d></a>");
  // A node cannot go below itself or its descendants.
  EXPECT_TRUE(FAILED(c->appendChild(d.get(), nullptr)));
  EXPECT_TRUE(FAILED(d->appendChild(d.get(), nullptr)));
  // Removing answers the node, which stays usable and can return.
  Ptr<IXMLDOMNode> removed;
  ASSERT_EQ(d->removeChild(c.get(), &removed), S_OK);
  EXPECT_EQ(Name(removed.get()), L"c");
  EXPECT_EQ(d->removeChild(c.get(), &removed), E_INVALIDARG);  // no longer a child
  Append(b.get(), c.get());
  // put_text replaces the children; the old text node held by a wrapper
  // stays readable.
  ASSERT_EQ(b->put_text(Bstr(L"x < y")), S_OK);
  EXPECT_EQ(Text(one.get()), L"one");
  EXPECT_EQ(XmlOf(b.get()), L"<b>x &lt; y</b>");
  VARIANT_BOOL has = VARIANT_FALSE;
  EXPECT_EQ(c->hasChildNodes(&has), S_FALSE);
  // Attributes are not children; documents are not appended.
  Ptr<IXMLDOMAttribute> attribute;
  ASSERT_EQ(doc->createAttribute(Bstr(L"k"), &attribute), S_OK);
  EXPECT_TRUE(FAILED(b->appendChild(attribute.get(), nullptr)));
  EXPECT_TRUE(FAILED(b->appendChild(doc.get(), nullptr)));
  // Text a document cannot hold is refused and changes nothing.
  Ptr<IXMLDOMElement> bElement;
  ASSERT_EQ(b->QueryInterface(IID_IXMLDOMElement, bElement.Out()), S_OK);
  EXPECT_EQ(bElement->setAttribute(Bstr(L"k"), Variant(std::wstring(L"a\x1b")).get()), E_INVALIDARG);
  EXPECT_EQ(b->put_text(Bstr(std::wstring(L"a\0b", 3))), E_INVALIDARG);
  EXPECT_EQ(XmlOf(b.get()), L"<b>x &lt; y</b>");
  // Invalid names are refused.
  Ptr<IXMLDOMElement> bad;
  EXPECT_TRUE(FAILED(doc->createElement(Bstr(L"1x"), &bad)));
  EXPECT_TRUE(FAILED(doc->createElement(Bstr(L""), &bad)));
  EXPECT_FALSE(bad);
  // Owner document is the document object.
  Ptr<IXMLDOMDocument> owner;
  ASSERT_EQ(c->get_ownerDocument(&owner), S_OK);
  EXPECT_EQ(static_cast<IUnknown*>(owner.get()), static_cast<IUnknown*>(doc.get()));

  // Loading again leaves old wrappers valid on the old tree.
  VARIANT_BOOL ok = VARIANT_FALSE;
  ASSERT_EQ(doc->loadXML(Bstr(L"<z/>"), &ok), S_OK);
  EXPECT_EQ(Name(c.get()), L"c");
  EXPECT_EQ(XmlOf(doc.get()), L"<z/>");
}

// Input that is not well-formed XML is refused without a crash and leaves
// the document empty; so is a file that does not exist.
TEST_F(Xml, MalformedInputIsRefused) {
  const std::vector<std::wstring> bad = {
      L"",
      L"<a>",
      L"<a></b>",
      L"<a/><b/>",
      L"<a x=\"1\" x=\"2\"/>",
      L"<a>&undefined;</a>",
      L"text only",
      L"<a>\x1</a>",
      std::wstring(L"<a>") + std::wstring(1, L'\0') + L"</a>",
      std::wstring(100000, L'<'),
      std::wstring(5000, L'<') + L"a",
      // Entities that multiply into an enormous text.
      L"<!DOCTYPE r [<!ENTITY a \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
      L"<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">"
      L"<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\"><!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\">"
      L"<!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\"><!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;\">"
      L"<!ENTITY i \"&h;&h;&h;&h;&h;&h;&h;&h;&h;&h;\">]><r>&i;</r>",
  };
  for (const std::wstring& text : bad) {
    Ptr<IXMLDOMDocument> doc;
    LoadText(doc, L"<old/>");
    VARIANT_BOOL ok = VARIANT_TRUE;
    EXPECT_EQ(doc->loadXML(Bstr(text), &ok), S_FALSE) << ce::Utf8FromWide(text.substr(0, 40));
    EXPECT_EQ(ok, VARIANT_FALSE);
    Ptr<IXMLDOMElement> root;
    EXPECT_EQ(doc->get_documentElement(&root), S_FALSE);
  }
  // Deep nesting beyond the parser's limit is refused, not recursed into.
  std::wstring deep;
  for (int i = 0; i < 20000; ++i) deep += L"<a>";
  for (int i = 0; i < 20000; ++i) deep += L"</a>";
  Ptr<IXMLDOMDocument> doc;
  NewDocument(doc);
  VARIANT_BOOL ok = VARIANT_TRUE;
  EXPECT_EQ(doc->loadXML(Bstr(deep), &ok), S_FALSE);

  device.WriteHostFile("broken.xml", "<Settings Language=\"x\"");
  EXPECT_EQ(LoadFile(doc, L"\\broken.xml", &ok), S_FALSE);
  EXPECT_EQ(ok, VARIANT_FALSE);
  EXPECT_EQ(LoadFile(doc, L"\\missing.xml", &ok), S_FALSE);
  EXPECT_EQ(ok, VARIANT_FALSE);
  EXPECT_EQ(doc->load(Variant(LONG{1}).get(), &ok), E_INVALIDARG);
  // Saving where no file can be made fails.
  EXPECT_TRUE(FAILED(doc->save(Variant(std::wstring(L"\\no such folder\\x.xml")).get())));
}

// Entities that name files are never fetched, even when asked to resolve
// externals; a document that only declares them still loads.
TEST_F(Xml, ExternalEntitiesAreNotExpanded) {
  device.WriteHostFile("secret.txt", "TOPSECRET");
  device.WriteHostFile("evil.dtd", "<!ENTITY leak SYSTEM \"file://" + device.HostPath("secret.txt") + "\">");
  const std::string secretUrl = "file://" + device.HostPath("secret.txt");
  const std::string dtdUrl = "file://" + device.HostPath("evil.dtd");
  const std::vector<std::wstring> documents = {
      ce::WideFromUtf8("<!DOCTYPE r [<!ENTITY x SYSTEM \"" + secretUrl + "\">]><r>&x;</r>"),
      ce::WideFromUtf8("<!DOCTYPE r SYSTEM \"" + dtdUrl + "\"><r>&leak;</r>"),
      ce::WideFromUtf8("<!DOCTYPE r [<!ENTITY % p SYSTEM \"" + dtdUrl + "\"> %p;]><r>&leak;</r>"),
      ce::WideFromUtf8("<r xmlns:xi=\"http://www.w3.org/2001/XInclude\"><xi:include href=\"" + secretUrl +
                       "\" parse=\"text\"/></r>"),
  };
  int loaded = 0;
  for (const std::wstring& text : documents) {
    Ptr<IXMLDOMDocument> doc;
    NewDocument(doc);
    ASSERT_EQ(doc->put_resolveExternals(VARIANT_TRUE), S_OK);
    VARIANT_BOOL ok = VARIANT_FALSE;
    const HRESULT hr = doc->loadXML(Bstr(text), &ok);
    if (hr != S_OK) continue;  // refusing the document is as good
    ++loaded;
    EXPECT_EQ(XmlOf(doc.get()).find(L"TOPSECRET"), std::wstring::npos) << ce::Utf8FromWide(text);
    EXPECT_EQ(Text(doc.get()).find(L"TOPSECRET"), std::wstring::npos) << ce::Utf8FromWide(text);
  }
  // The internal declaration and the inclusion element are harmless text.
  EXPECT_GE(loaded, 2);
}

// Files in UTF-16 with a byte-order mark load, and save writes the encoding
// the document declares.
TEST_F(Xml, DeclaredEncodingIsKeptOnSave) {
  std::string utf16 = "\xFF\xFE";
  for (wchar_t c : std::wstring(L"<?xml version=\"1.0\" encoding=\"UTF-16\"?><t n=\"\u00e9\u4e2d\"/>")) {
    utf16 += static_cast<char>(c & 0xFF);
    utf16 += static_cast<char>(c >> 8);
  }
  device.WriteHostFile("wide.xml", utf16);
  device.WriteHostFile("latin.xml", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><t n=\"\xE9\"/>");

  struct Case {
    const char* file;
    std::wstring value;
    const char* savedStart;  // first bytes of what save writes
  };
  for (const Case& c : {Case{"wide.xml", L"\u00e9\u4e2d", "<\0?\0x\0m\0l\0"},
                        Case{"latin.xml", L"\u00e9", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"}}) {
    Ptr<IXMLDOMDocument> doc;
    VARIANT_BOOL ok = VARIANT_FALSE;
    ASSERT_EQ(LoadFile(doc, L"\\" + ce::WideFromUtf8(c.file), &ok), S_OK) << c.file;
    Ptr<IXMLDOMElement> root;
    ASSERT_EQ(doc->get_documentElement(&root), S_OK);
    EXPECT_EQ(Attribute(root.get(), L"n"), c.value);
    ASSERT_EQ(doc->save(Variant(std::wstring(L"\\out.xml")).get()), S_OK);
    const std::string saved = device.ReadHostFile("out.xml");
    const std::string start(c.savedStart, std::string(c.file) == "wide.xml" ? 10 : std::strlen(c.savedStart));
    EXPECT_NE(saved.find(start), std::string::npos) << c.file;
    Ptr<IXMLDOMDocument> again;
    ASSERT_EQ(LoadFile(again, L"\\out.xml", &ok), S_OK);
    ASSERT_EQ(again->get_documentElement(&root), S_OK);
    EXPECT_EQ(Attribute(root.get(), L"n"), c.value);
  }
  // Text loaded from a string keeps its declared encoding for the file.
  Ptr<IXMLDOMDocument> doc;
  LoadText(doc, L"<?xml version=\"1.0\" encoding=\"UTF-16\"?><t/>");
  ASSERT_EQ(doc->save(Variant(std::wstring(L"\\out.xml")).get()), S_OK);
  const std::string saved = device.ReadHostFile("out.xml");
  EXPECT_NE(saved.find(std::string("<\0t\0/\0>\0", 8)), std::string::npos);

  // A processing instruction whose target only starts with "xml" is no
  // declaration: an encoding named inside it is not the document's, and the
  // saved file loads again.
  LoadText(doc, L"<?xmle encoding=\"\u00ffibm1100\"?><t n=\"\u00e9\"/>");
  ASSERT_EQ(doc->save(Variant(std::wstring(L"\\pi.xml")).get()), S_OK);
  Ptr<IXMLDOMDocument> again;
  VARIANT_BOOL ok = VARIANT_FALSE;
  ASSERT_EQ(LoadFile(again, L"\\pi.xml", &ok), S_OK) << device.ReadHostFile("pi.xml");
  Ptr<IXMLDOMElement> root;
  ASSERT_EQ(again->get_documentElement(&root), S_OK);
  EXPECT_EQ(Attribute(root.get(), L"n"), L"\u00e9");
}

// A document type declaration and entity references are not walked into:
// the root is still the first child, and a reference reads as its text.
TEST_F(Xml, DeclarationsAndReferencesStayOutOfTheWalk) {
  Ptr<IXMLDOMDocument> doc;
  LoadText(doc, L"<!DOCTYPE a [<!ENTITY e \"<b>in</b>\">]><a>x&e;</a>");
  Ptr<IXMLDOMNode> first, text, reference, inside;
  ASSERT_EQ(doc->get_firstChild(&first), S_OK);
  EXPECT_EQ(Name(first.get()), L"a");
  EXPECT_EQ(Text(first.get()), L"xin");
  ASSERT_EQ(first->get_firstChild(&text), S_OK);
  ASSERT_EQ(text->get_nextSibling(&reference), S_OK);
  DOMNodeType type = NODE_INVALID;
  EXPECT_EQ(reference->get_nodeType(&type), S_OK);
  EXPECT_EQ(type, NODE_ENTITY_REFERENCE);
  EXPECT_EQ(reference->get_firstChild(&inside), S_FALSE);
  Ptr<IXMLDOMNodeList> list;
  ASSERT_EQ(doc->get_childNodes(&list), S_OK);
  LONG length = 0;
  EXPECT_EQ(list->get_length(&length), S_OK);
  EXPECT_EQ(length, 1);
  // An attribute has no siblings, though the element has more of them.
  LoadText(doc, L"<a x=\"1\" y=\"2\"/>");
  Ptr<IXMLDOMNode> x, sibling, parent, value;
  ASSERT_EQ(doc->selectSingleNode(Bstr(L"/a/@x"), &x), S_OK);
  EXPECT_EQ(x->get_nextSibling(&sibling), S_FALSE);
  EXPECT_EQ(x->get_parentNode(&parent), S_FALSE);
  ASSERT_EQ(x->get_firstChild(&value), S_OK);
  EXPECT_EQ(Text(value.get()), L"1");
}

TEST_F(Xml, InterfacesFollowTheNodeType) {
  Ptr<IXMLDOMDocument> doc;
  LoadText(doc, L"<a k=\"v\">t<?pi data?><!--c--></a>");
  Ptr<IXMLDOMNode> a, text, pi, comment;
  ASSERT_EQ(doc->selectSingleNode(Bstr(L"/a"), &a), S_OK);
  ASSERT_EQ(a->get_firstChild(&text), S_OK);
  ASSERT_EQ(text->get_nextSibling(&pi), S_OK);
  ASSERT_EQ(pi->get_nextSibling(&comment), S_OK);
  Ptr<IXMLDOMElement> element;
  Ptr<IXMLDOMText> asText;
  Ptr<IXMLDOMProcessingInstruction> asPi;
  EXPECT_EQ(a->QueryInterface(IID_IXMLDOMElement, element.Out()), S_OK);
  EXPECT_EQ(text->QueryInterface(IID_IXMLDOMElement, element.Out()), E_NOINTERFACE);
  EXPECT_FALSE(element);
  EXPECT_EQ(text->QueryInterface(IID_IXMLDOMText, asText.Out()), S_OK);
  EXPECT_EQ(pi->QueryInterface(IID_IXMLDOMProcessingInstruction, asPi.Out()), S_OK);
  Bstr target;
  EXPECT_EQ(asPi->get_target(&target), S_OK);
  EXPECT_EQ(target.str(), L"pi");
  EXPECT_EQ(Name(comment.get()), L"#comment");
  EXPECT_EQ(doc->QueryInterface(IID_IXMLDOMElement, nullptr), E_POINTER);
  Variant value;
  EXPECT_EQ(a->get_nodeValue(&value), S_FALSE);
  EXPECT_EQ(value.get().vt, VT_NULL);
  EXPECT_EQ(Name(doc.get()), L"#document");
}

}  // namespace
