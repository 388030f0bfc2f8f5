#include <gtest/gtest.h>

#include <string>

#include "ce/objbase.h"
#include "os/com_scope.h"
#include "os/file.h"
#include "os/xml.h"

namespace {

void WriteText(const std::wstring& path, const std::string& text) {
  os::File f(path, 1);
  f.write(text.data(), static_cast<std::uint32_t>(text.size()));
}

class Xml : public ::testing::Test {
 protected:
  os::ComScope com;
};

TEST_F(Xml, LoadWellFormedMissingAndMalformed) {
  WriteText(L"%my_documents%/Settings.xml",
            "<?xml version=\"1.0\"?>\n<Settings><Record rate=\"8000\" Rate=\"x\"/><record/><Record rate=\"1\"/>"
            "</Settings>");
  os::XmlNode doc = os::load_xml_document(L"%my_documents%/Settings.xml");
  ASSERT_FALSE(doc.empty());
  os::XmlNode settings = os::find_xml_child(doc, L"Settings");
  ASSERT_TRUE(settings);
  // Exact case, and the first of several equal names.
  os::XmlNode record = os::find_xml_child(settings, L"Record");
  ASSERT_TRUE(record);
  std::wstring rate = L"keep";
  EXPECT_TRUE(os::get_xml_attribute(record, L"rate", rate));
  EXPECT_EQ(rate, L"8000");
  EXPECT_TRUE(os::find_xml_child(settings, L"record"));
  EXPECT_FALSE(os::find_xml_child(settings, L"RECORD"));
  EXPECT_FALSE(os::find_xml_child(os::XmlNode(), L"Settings"));

  std::wstring out = L"keep";
  EXPECT_FALSE(os::get_xml_attribute(record, L"missing", out));
  EXPECT_EQ(out, L"keep");
  EXPECT_FALSE(os::get_xml_attribute(doc, L"rate", out));  // a document has no attributes
  EXPECT_FALSE(os::get_xml_attribute(os::XmlNode(), L"rate", out));
  EXPECT_EQ(out, L"keep");

  EXPECT_TRUE(os::load_xml_document(L"%my_documents%/none.xml").empty());
  WriteText(L"%my_documents%/bad.xml", "<Settings><Record></Settings>");
  EXPECT_TRUE(os::load_xml_document(L"%my_documents%/bad.xml").empty());
}

TEST_F(Xml, BuiltDocumentSavesAndLoadsBack) {
  os::XmlNode doc = os::create_xml_document();
  ASSERT_TRUE(doc);
  os::XmlNode settings = os::append_xml_element(doc, L"Settings");
  ASSERT_TRUE(settings);
  os::XmlNode a = os::append_xml_element(settings, L"Folder");
  os::XmlNode b = os::append_xml_element(settings, L"Folder");
  ASSERT_TRUE(a && b);
  EXPECT_TRUE(os::set_xml_attribute(a, L"path", L"\\My Documents\\Ünïcode & <rec>"));
  EXPECT_TRUE(os::set_xml_attribute(b, L"path", L"second"));
  EXPECT_TRUE(os::set_xml_attribute(a, L"empty", L""));
  EXPECT_FALSE(os::set_xml_attribute(doc, L"x", L"y"));  // not an element
  EXPECT_FALSE(os::append_xml_element(os::XmlNode(), L"x"));

  EXPECT_TRUE(os::save_xml_document(doc, L"%my_documents%/built.xml"));
  EXPECT_FALSE(os::save_xml_document(os::XmlNode(), L"%my_documents%/none.xml"));
  EXPECT_FALSE(os::save_xml_document(settings, L"%my_documents%/none.xml"));  // not a document
  EXPECT_FALSE(os::FileInfo(L"%my_documents%/none.xml").exists());

  os::XmlNode loaded = os::load_xml_document(L"%my_documents%/built.xml");
  ASSERT_TRUE(loaded);
  os::XmlNode folder = os::find_xml_child(os::find_xml_child(loaded, L"Settings"), L"Folder");
  std::wstring path;
  EXPECT_TRUE(os::get_xml_attribute(folder, L"path", path));
  EXPECT_EQ(path, L"\\My Documents\\Ünïcode & <rec>");
  EXPECT_TRUE(os::get_xml_attribute(folder, L"empty", path));
  EXPECT_EQ(path, L"");
}

TEST_F(Xml, HandlesShareOneReference) {
  os::XmlNode doc = os::create_xml_document();
  os::XmlNode copy = doc;
  os::XmlNode assigned;
  assigned = copy;
  assigned = *&assigned;  // self-assignment keeps the node
  doc = os::XmlNode();
  EXPECT_TRUE(os::append_xml_element(assigned, L"Still"));
  EXPECT_TRUE(os::find_xml_child(copy, L"Still"));
}

}  // namespace
