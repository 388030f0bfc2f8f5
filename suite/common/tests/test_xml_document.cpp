#include <gtest/gtest.h>

#include <string>

#include "common/xml_document.h"
#include "suite_test_files.h"

namespace {

using suite::CXmlDocument;
using suite::CXmlReader;

TEST(XmlReader, AttributesAreCopiedOnlyWhenTheyFit) {
  CXmlReader reader;
  const std::wstring longValue(300, L'x');
  const std::wstring xml =
      L"<home><plugin clsid=\"{A}\" n=\"12\" bad=\"1x\" long=\"" + longValue + L"\"/><plugin/>text</home>";
  ASSERT_TRUE(reader.Load(xml.c_str(), FALSE, FALSE, FALSE));
  EXPECT_EQ(reader.SelectNodes(L"//home//plugin"), 2);
  ASSERT_TRUE(reader.NextNode());
  wchar_t buffer[8] = L"keep";
  EXPECT_TRUE(reader.GetAttribute(L"clsid", buffer, 8));
  EXPECT_STREQ(buffer, L"{A}");
  wcscpy(buffer, L"keep");
  EXPECT_FALSE(reader.GetAttribute(L"missing", buffer, 8));
  EXPECT_STREQ(buffer, L"keep");
  EXPECT_FALSE(reader.GetAttribute(L"long", buffer, 8)) << "300 characters into 8";
  EXPECT_STREQ(buffer, L"keep");
  EXPECT_FALSE(reader.GetAttribute(L"clsid", buffer, 3)) << "no room for the terminator";
  EXPECT_STREQ(buffer, L"keep");

  BOOL ok = FALSE;
  EXPECT_EQ(reader.GetAttributeInt(L"n", &ok), 12);
  EXPECT_TRUE(ok);
  EXPECT_EQ(reader.GetAttributeInt(L"missing", &ok), 0);
  EXPECT_FALSE(ok);
  EXPECT_EQ(reader.GetAttributeInt(L"long", &ok), 0);
  EXPECT_FALSE(ok);

  EXPECT_EQ(reader.SelectNodes(L"//home//nothing"), 0);
  EXPECT_FALSE(reader.NextNode());
}

TEST(XmlReader, ChildrenXmlAndSavedNodes) {
  CXmlReader reader;
  ASSERT_TRUE(reader.Load(L"<a><b/>hello</a>", FALSE, FALSE, FALSE));
  ASSERT_TRUE(reader.SelectNode(L"/a"));
  reader.PushNode();
  EXPECT_EQ(reader.GetChildCount(), 2);
  wchar_t text[16];
  EXPECT_TRUE(reader.GetChildText(0, text, 16));
  EXPECT_STREQ(text, L"b");
  EXPECT_TRUE(reader.GetChildText(1, text, 16));
  EXPECT_STREQ(text, L"hello");
  EXPECT_FALSE(reader.GetChildText(1, text, 5));
  EXPECT_FALSE(reader.GetChildText(2, text, 16));
  ASSERT_TRUE(reader.SelectNode(L"b"));
  reader.PopNode();
  wchar_t xml[64];
  EXPECT_TRUE(reader.GetXml(xml, 64));
  EXPECT_STREQ(xml, L"<a><b/>hello</a>");
  EXPECT_FALSE(reader.GetXml(xml, 4));
  IXMLDOMNode* node = reader.GetNode();
  ASSERT_NE(node, nullptr);
  {
    CXmlReader child(node);
    EXPECT_TRUE(child.SelectNode(L"b"));
  }
  node->Release();
}

TEST(XmlReader, MalformedAndMissingInputFails) {
  CXmlReader reader;
  const wchar_t* bad[] = {L"<a><b></a>", L"", L"<a attr=novalue/>", L"<a>&undefined;</a>"};
  for (const wchar_t* xml : bad) {
    CXmlReader r;
    EXPECT_FALSE(r.Load(xml, FALSE, FALSE, FALSE)) << "loaded " << std::wstring(xml).c_str();
  }
  EXPECT_FALSE(reader.Load(L"\\My Documents\\none.xml", TRUE, FALSE, FALSE));
  ASSERT_TRUE(suite_test::WriteDeviceFile(L"\\My Documents\\cut.xml", "<colorscheme><scheme><color name="));
  EXPECT_FALSE(reader.Load(L"\\My Documents\\cut.xml", TRUE, FALSE, FALSE));
  EXPECT_FALSE(reader.SelectNode(L"//a"));
  EXPECT_EQ(reader.GetChildCount(), 0);
}

TEST(XmlDocument, BuildsLabelsAttributesAndSavesOverTheOldFile) {
  ASSERT_TRUE(suite_test::WriteDeviceFile(L"\\My Documents\\built.xml", "old contents"));
  CXmlDocument document;
  ASSERT_TRUE(document.Create());
  ASSERT_TRUE(document.CreateElement(L"root"));
  ASSERT_TRUE(document.AppendNew());
  ASSERT_TRUE(document.SelectNode(L"/root"));
  ASSERT_TRUE(document.CreateElement(L"title"));
  ASSERT_TRUE(document.SetAttribute(L"lang", L"0x0409"));
  ASSERT_TRUE(document.AppendNew());
  ASSERT_TRUE(document.SelectNodes(L"/root/title", 0));
  ASSERT_TRUE(document.CreateLabelElement(L"vrn"));
  ASSERT_TRUE(document.AppendNew());
  EXPECT_FALSE(document.SelectNodes(L"/root/title", 1));
  EXPECT_FALSE(document.SelectNode(L"/nothing"));
  ASSERT_TRUE(document.Save(L"\\My Documents\\built.xml"));
  document.Close();
  EXPECT_EQ(suite_test::ReadDeviceFile(L"\\My Documents\\built.xml.new"), "<missing>");

  CXmlReader reader;
  ASSERT_TRUE(reader.Load(L"\\My Documents\\built.xml", TRUE, FALSE, FALSE));
  ASSERT_TRUE(reader.SelectNode(L"//root//title"));
  wchar_t text[16];
  EXPECT_TRUE(reader.GetChildText(0, text, 16));
  EXPECT_STREQ(text, L"vrn");
  EXPECT_TRUE(reader.GetAttribute(L"lang", text, 16));
  EXPECT_STREQ(text, L"0x0409");

  // A save that cannot be put in place leaves the old file alone.
  CreateDirectoryW(L"\\My Documents\\folder.xml", nullptr);
  CXmlDocument second;
  ASSERT_TRUE(second.Create());
  ASSERT_TRUE(second.CreateElement(L"x"));
  ASSERT_TRUE(second.AppendNew());
  EXPECT_FALSE(second.Save(L"\\My Documents\\folder.xml"));
  EXPECT_EQ(GetFileAttributesW(L"\\My Documents\\folder.xml.new"), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
