// libxml2, opened when the first XML document is made or read
// (kernel/library_on_demand.h): the platform library does not link it, so a
// program that makes no XML document never loads it nor what it pulls in
// (ICU's tables among them). Below is each function the XML document calls.
//
// Without the library a document cannot be made or read: the calls give
// null or -1, which the document reports as a failure.
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>
#include <libxml/xpath.h>

#include "kernel/library_on_demand.h"

namespace {

ce::kernel::LibraryOnDemand& Xml() {
  static ce::kernel::LibraryOnDemand library("libxml2.so.2");
  return library;
}

// The library's free function, which its own allocations go back to (its
// `xmlFree` is a variable holding it).
void FreeThroughTheLibrary(void* memory) {
  static const auto variable = static_cast<xmlFreeFunc*>(Xml().Find("xmlFree"));
  if (variable != nullptr && *variable != nullptr) (*variable)(memory);
}

}  // namespace

xmlFreeFunc xmlFree = &FreeThroughTheLibrary;

#define CE_XML(result, name, parameters, arguments, missing) \
  CE_FORWARD(Xml(), result, name, parameters, arguments, missing)

// Parser set-up and reading.
CE_XML(void, xmlInitParser, (void), (), void())
CE_XML(void, xmlSetExternalEntityLoader, (xmlExternalEntityLoader loader), (loader), void())
CE_XML(xmlDocPtr, xmlReadMemory, (const char* buffer, int size, const char* url, const char* encoding, int options),
       (buffer, size, url, encoding, options), nullptr)
CE_XML(int, xmlValidateName, (const xmlChar* value, int space), (value, space), -1)

// Strings.
CE_XML(int, xmlStrcmp, (const xmlChar* first, const xmlChar* second), (first, second), -1)
CE_XML(xmlChar*, xmlStrdup, (const xmlChar* text), (text), nullptr)

// The tree.
CE_XML(xmlDocPtr, xmlNewDoc, (const xmlChar* version), (version), nullptr)
CE_XML(void, xmlFreeDoc, (xmlDocPtr doc), (doc), void())
CE_XML(xmlNodePtr, xmlDocGetRootElement, (const xmlDoc* doc), (doc), nullptr)
CE_XML(xmlNodePtr, xmlDocCopyNode, (xmlNodePtr node, xmlDocPtr doc, int recursive), (node, doc, recursive), nullptr)
CE_XML(xmlNodePtr, xmlNewDocNode, (xmlDocPtr doc, xmlNsPtr ns, const xmlChar* name, const xmlChar* content),
       (doc, ns, name, content), nullptr)
CE_XML(xmlNodePtr, xmlNewDocTextLen, (xmlDocPtr doc, const xmlChar* content, int length), (doc, content, length),
       nullptr)
CE_XML(xmlNodePtr, xmlNewCDataBlock, (xmlDocPtr doc, const xmlChar* content, int length), (doc, content, length),
       nullptr)
CE_XML(xmlNodePtr, xmlNewDocComment, (xmlDocPtr doc, const xmlChar* content), (doc, content), nullptr)
CE_XML(xmlNodePtr, xmlNewDocPI, (xmlDocPtr doc, const xmlChar* name, const xmlChar* content), (doc, name, content),
       nullptr)
CE_XML(xmlAttrPtr, xmlNewDocProp, (xmlDocPtr doc, const xmlChar* name, const xmlChar* value), (doc, name, value),
       nullptr)
CE_XML(xmlAttrPtr, xmlNewProp, (xmlNodePtr node, const xmlChar* name, const xmlChar* value), (node, name, value),
       nullptr)
CE_XML(void, xmlUnlinkNode, (xmlNodePtr node), (node), void())
CE_XML(void, xmlFreeNode, (xmlNodePtr node), (node), void())
CE_XML(xmlChar*, xmlNodeGetContent, (const xmlNode* node), (node), nullptr)
CE_XML(void, xmlNodeSetContent, (xmlNodePtr node, const xmlChar* content), (node, content), void())

// Writing out.
CE_XML(xmlBufferPtr, xmlBufferCreate, (void), (), nullptr)
CE_XML(void, xmlBufferFree, (xmlBufferPtr buffer), (buffer), void())
CE_XML(int, xmlBufferCCat, (xmlBufferPtr buffer, const char* text), (buffer, text), -1)
CE_XML(const xmlChar*, xmlBufferContent, (const xmlBuffer* buffer), (buffer), nullptr)
CE_XML(int, xmlBufferLength, (const xmlBuffer* buffer), (buffer), 0)
CE_XML(int, xmlNodeDump, (xmlBufferPtr buffer, xmlDocPtr doc, xmlNodePtr node, int level, int format),
       (buffer, doc, node, level, format), -1)
CE_XML(xmlSaveCtxtPtr, xmlSaveToBuffer, (xmlBufferPtr buffer, const char* encoding, int options),
       (buffer, encoding, options), nullptr)
CE_XML(long, xmlSaveDoc, (xmlSaveCtxtPtr context, xmlDocPtr doc), (context, doc), -1)
CE_XML(int, xmlSaveClose, (xmlSaveCtxtPtr context), (context), -1)

// XPath.
CE_XML(xmlXPathContextPtr, xmlXPathNewContext, (xmlDocPtr doc), (doc), nullptr)
CE_XML(void, xmlXPathFreeContext, (xmlXPathContextPtr context), (context), void())
CE_XML(xmlXPathObjectPtr, xmlXPathEvalExpression, (const xmlChar* expression, xmlXPathContextPtr context),
       (expression, context), nullptr)
CE_XML(void, xmlXPathFreeObject, (xmlXPathObjectPtr object), (object), void())
