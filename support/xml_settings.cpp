// The XML settings store on libxml2. Documents are parsed as they are (blanks kept) and saved
// without reformatting, in the encoding their declaration names, so a write changes the one
// value it sets and little else. A file is asked for by its own path, not by a listing: a link
// to nowhere is no file, so no write replaces the link.
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>

#include <climits>
#include <memory>

#include "platform/failure.h"
#include "platform/platform.h"
#include "support/support.h"

namespace kr::support {
namespace {

struct DocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using Doc = std::unique_ptr<xmlDoc, DocFree>;

const xmlChar* Xml(const std::string& text) {
  return reinterpret_cast<const xmlChar*>(text.c_str());
}

// libxml2 reports some errors (bad bytes for the declared encoding) past the parser options;
// they belong in the log, not on the console.
void LogXmlError(void*, xmlError* error) {
  if (error == nullptr || error->message == nullptr) return;
  std::string message = error->message;
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
  LogLine("libxml2: " + message);
}

Doc Parse(const std::string& bytes) {
  static const bool initialised = [] {
    xmlInitParser();
    return true;
  }();
  (void)initialised;
  xmlSetStructuredErrorFunc(nullptr, LogXmlError);  // per thread in libxml2
  if (bytes.size() > static_cast<size_t>(INT_MAX)) return nullptr;
  // No network, no external entities, no messages on stderr; blanks are kept.
  const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
  return Doc(
      xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr, options));
}

// Section and key names go into the path as they are; one that is not an element name matches
// nothing and is never written.
bool IsElementName(const std::string& name) {
  return !name.empty() && xmlValidateName(Xml(name), 0) == 0;
}

std::string QualifiedName(const xmlNode* node) {
  std::string name = reinterpret_cast<const char*>(node->name);
  if (node->ns != nullptr && node->ns->prefix != nullptr) {
    name = reinterpret_cast<const char*>(node->ns->prefix) + (":" + name);
  }
  return name;
}

bool IsElement(const xmlNode* node, std::string_view name) {
  return node != nullptr && node->type == XML_ELEMENT_NODE && QualifiedName(node) == name;
}

xmlNode* FirstChild(xmlNode* parent, std::string_view name) {
  for (xmlNode* child = parent->children; child != nullptr; child = child->next) {
    if (IsElement(child, name)) return child;
  }
  return nullptr;
}

// The first element matching Root/section/key in document order.
xmlNode* Select(xmlDoc* doc, const std::string& section, const std::string& key) {
  xmlNode* root = xmlDocGetRootElement(doc);
  if (!IsElement(root, "Root")) return nullptr;
  for (xmlNode* s = root->children; s != nullptr; s = s->next) {
    if (!IsElement(s, section)) continue;
    if (xmlNode* k = FirstChild(s, key)) return k;
  }
  return nullptr;
}

bool IsBlankText(const xmlNode* node) {
  return node != nullptr && node->type == XML_TEXT_NODE && xmlIsBlankNode(node) != 0;
}

std::string TextOf(const xmlNode* node) {
  return node->content == nullptr ? std::string() : reinterpret_cast<const char*>(node->content);
}

// Appends a new element to parent, indented like its siblings when the document is indented.
xmlNode* AppendElement(xmlNode* parent, const std::string& name) {
  xmlNode* element = xmlNewDocNode(parent->doc, nullptr, Xml(name), nullptr);
  xmlNode* closing = parent->last;
  if (IsBlankText(closing) && closing->prev != nullptr && closing->prev->type == XML_ELEMENT_NODE &&
      IsBlankText(closing->prev->prev)) {
    // ... <sibling/> CLOSING  ->  ... <sibling/> INDENT <element/> CLOSING
    std::string indent = TextOf(closing->prev->prev);
    xmlAddPrevSibling(closing, element);
    xmlAddPrevSibling(element, xmlNewDocText(parent->doc, Xml(indent)));
    return element;
  }
  if (parent->children == nullptr && IsBlankText(parent->prev) && parent->parent != nullptr &&
      IsBlankText(parent->parent->last)) {
    // A fresh, empty parent: one step deeper than the parent itself.
    std::string own = TextOf(parent->prev), outer = TextOf(parent->parent->last);
    if (own.size() > outer.size() && own.starts_with(outer)) {
      std::string step = own.substr(outer.size());
      xmlAddChild(parent, xmlNewDocText(parent->doc, Xml(own + step)));
      xmlAddChild(parent, element);
      xmlAddChild(parent, xmlNewDocText(parent->doc, Xml(own)));
      return element;
    }
  }
  xmlAddChild(parent, element);
  return element;
}

// Characters XML 1.0 cannot hold are left out rather than written as references no parser
// would read back.
std::string XmlText(std::string_view value) {
  std::string text;
  for (char c : value) {
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') continue;
    text += c;
  }
  return text;
}

void SetText(xmlNode* node, const std::string& value) {
  for (xmlNode* child = node->children; child != nullptr;) {
    xmlNode* next = child->next;
    xmlUnlinkNode(child);
    xmlFreeNode(child);
    child = next;
  }
  if (!value.empty()) xmlAddChild(node, xmlNewDocText(node->doc, Xml(value)));
}

bool IsUtf16(std::string_view bytes) {
  return bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
}

// The document in its own encoding, keeping what the original file had: its declaration (or
// none), a UTF-8 byte-order mark, CRLF line ends.
std::string Serialize(xmlDoc* doc, std::string_view original) {
  std::string encoding = doc->encoding != nullptr ? reinterpret_cast<const char*>(doc->encoding)
                                                  : (IsUtf16(original) ? "UTF-16" : "");
  std::string_view body = original;
  if (body.starts_with("\xEF\xBB\xBF")) body.remove_prefix(3);
  const bool utf16 = IsUtf16(original);
  const bool declared = utf16 || body.starts_with("<?xml");
  int options = declared ? 0 : XML_SAVE_NO_DECL;
  xmlBuffer* buffer = xmlBufferCreate();
  if (buffer == nullptr) throw Failure::Runtime(kErrOutOfMemory, "xml buffer");
  xmlSaveCtxt* context =
      xmlSaveToBuffer(buffer, encoding.empty() ? nullptr : encoding.c_str(), options);
  if (context == nullptr) {
    xmlBufferFree(buffer);
    throw Failure::Runtime(kErrInternal, "no XML writer for encoding " + encoding);
  }
  long written = xmlSaveDoc(context, doc);
  xmlSaveClose(context);
  std::string bytes(reinterpret_cast<const char*>(xmlBufferContent(buffer)),
                    static_cast<size_t>(xmlBufferLength(buffer)));
  xmlBufferFree(buffer);
  if (written < 0 || bytes.empty()) {
    throw Failure::Runtime(kErrInternal, "XML document cannot be written as " + encoding);
  }
  if (original.starts_with("\xEF\xBB\xBF") && !bytes.starts_with("\xEF\xBB\xBF")) {
    bytes.insert(0, "\xEF\xBB\xBF");
  }
  // The writer ends the document with a line end; a file that had none keeps having none.
  if (!utf16 && !original.ends_with('\n') && bytes.ends_with('\n')) bytes.pop_back();
  // The parser turns CRLF into LF; give a CRLF file its line ends back. LF never occurs inside
  // a multi-byte character of the single- and double-byte encodings.
  if (!utf16 && original.find("\r\n") != std::string_view::npos) {
    std::string crlf;
    crlf.reserve(bytes.size() + bytes.size() / 16);
    for (char c : bytes) {
      if (c == '\n') crlf += '\r';
      crlf += c;
    }
    bytes = std::move(crlf);
  }
  return bytes;
}

}  // namespace

// Leave-on-error: a missing or unparsable file, or a missing element, gives "".
std::string GetXmlSetting(std::string_view file, std::string_view section, std::string_view key) {
  return LeaveOnError("GetXmlSetting", std::string(), [&] {
    std::string section_name(section), key_name(key);
    if (!platform::Attributes(file).IsFile() || !IsElementName(section_name) ||
        !IsElementName(key_name)) {
      return std::string();
    }
    Doc doc = Parse(platform::ReadFile(file));
    if (!doc) {
      LogLine("GetXmlSetting: " + std::string(file) + " is not well-formed XML");
      return std::string();
    }
    xmlNode* node = Select(doc.get(), section_name, key_name);
    if (node == nullptr) return std::string();
    xmlChar* content = xmlNodeGetContent(node);
    std::string value = content == nullptr ? "" : reinterpret_cast<const char*>(content);
    xmlFree(content);
    return value;
  });
}

// Leave-on-error: nothing is written when any step fails; a file that does not parse, or whose
// document element is not Root, is left as it is.
void PutXmlSetting(std::string_view file, std::string_view section, std::string_view key,
                   std::string_view value) {
  LeaveOnError("PutXmlSetting", [&] {
    std::string section_name(section), key_name(key);
    if (!platform::Attributes(file).IsFile()) return;
    if (!IsElementName(section_name) || !IsElementName(key_name)) {
      LogLine("PutXmlSetting: " + section_name + "/" + key_name +
              " is not an element path; nothing written");
      return;
    }
    std::string original = platform::ReadFile(file);
    Doc doc = Parse(original);
    if (!doc) {
      LogLine("PutXmlSetting: " + std::string(file) + " is not well-formed XML; left unchanged");
      return;
    }
    std::string text = XmlText(value);
    if (xmlCheckUTF8(Xml(text)) == 0) {
      LogLine("PutXmlSetting: value for " + key_name + " is not valid text; nothing written");
      return;
    }
    if (xmlNode* node = Select(doc.get(), section_name, key_name)) {
      SetText(node, text);
    } else {
      xmlNode* root = xmlDocGetRootElement(doc.get());
      if (!IsElement(root, "Root")) {
        LogLine("PutXmlSetting: " + std::string(file) +
                " has another document element than Root; left unchanged");
        return;
      }
      xmlNode* section_node = FirstChild(root, section_name);
      if (section_node == nullptr) section_node = AppendElement(root, section_name);
      SetText(AppendElement(section_node, key_name), text);
    }
    // An encoding that cannot hold a new element's name (Japanese in an ISO-8859-1 file) gives
    // a document no parser reads, and one libxml2 does not know drops characters of the value:
    // what would not read back as written is not written.
    std::string bytes = Serialize(doc.get(), original);
    Doc written = Parse(bytes);
    xmlNode* node = written ? Select(written.get(), section_name, key_name) : nullptr;
    xmlChar* content = node != nullptr ? xmlNodeGetContent(node) : nullptr;
    const bool same = content != nullptr && text == reinterpret_cast<const char*>(content);
    xmlFree(content);
    if (!same) {
      LogLine("PutXmlSetting: " + section_name + "/" + key_name + " cannot be written in the " +
              "encoding of " + std::string(file) + "; left unchanged");
      return;
    }
    platform::WriteFile(file, bytes);
  });
}

// Leave-on-error, as the two calls it makes.
void CarryXmlSetting(const RunContext& run, std::string_view section, std::string_view key,
                     std::string_view value) {
  const std::string package = run.package_folder + "KelmoraSetting.xml";
  const std::string installed = run.install_folder + "KelmoraSetting.xml";
  if (!platform::Attributes(package).IsFile() || !platform::Attributes(installed).IsFile()) {
    return;
  }
  if (GetXmlSetting(package, section, key) == GetXmlSetting(installed, section, key)) {
    PutXmlSetting(installed, section, key, value);
  }
}

}  // namespace kr::support
