#include "app/XmlReaderWriter.h"

#include <cerrno>
#include <fstream>
#include <iterator>
#include <pugixml.hpp>

#include "app/MessageFormatter.h"
#include "app/PrivateException.h"

namespace va5 {
namespace {

// Text content of a node: all character data below it, in document order.
void AppendText(const pugi::xml_node& node, std::string& out) {
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
      out += child.value();
    } else if (child.type() == pugi::node_element) {
      AppendText(child, out);
    }
  }
}

std::string ParseErrorText(int line, const std::string& source, const std::string& reason) {
  return "line: " + std::to_string(line) + "\nsrc text: " + source + "\nreason: " + reason;
}

}  // namespace

CXmlReaderWriter::CXmlReaderWriter() = default;
CXmlReaderWriter::~CXmlReaderWriter() = default;

void CXmlReaderWriter::CreateDocument(const std::string& rootName) {
  auto document = std::make_unique<pugi::xml_document>();
  pugi::xml_node declaration = document->append_child(pugi::node_declaration);
  declaration.append_attribute("version") = "1.0";
  declaration.append_attribute("encoding") = "utf-8";
  document->append_child(rootName.c_str());
  document_ = std::move(document);
}

void CXmlReaderWriter::Load(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    pugi::xml_parse_result missing;
    missing.status = pugi::status_file_not_found;
    throw CPrivateException(ParseErrorText(0, "", missing.description()));
  }
  std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) {
    pugi::xml_parse_result unreadable;
    unreadable.status = pugi::status_io_error;
    throw CPrivateException(ParseErrorText(0, "", unreadable.description()));
  }
  LoadText(content);
}

void CXmlReaderWriter::LoadText(std::string_view content) {
  auto document = std::make_unique<pugi::xml_document>();
  const pugi::xml_parse_result result = document->load_buffer(content.data(), content.size());
  if (!result) {
    const std::size_t offset = result.offset < 0 ? 0 : static_cast<std::size_t>(result.offset);
    const SourcePosition where = LocateOffset(content, offset);
    throw CPrivateException(ParseErrorText(where.line, where.text, result.description()));
  }
  if (!document->document_element()) {
    pugi::xml_parse_result empty;
    empty.status = pugi::status_no_document_element;
    throw CPrivateException(
        ParseErrorText(LocateOffset(content, content.size()).line, "", empty.description()));
  }
  document_ = std::move(document);
}

std::string CXmlReaderWriter::SelectNodeText(const std::string& path) const {
  if (!document_) throw CPrivateException(CMessageFormatter(EINVAL));
  pugi::xpath_node selected;
  try {
    selected = document_->document_element().select_node(path.c_str());
  } catch (const pugi::xpath_exception& error) {
    throw CPrivateException(std::string("Invalid path \"") + path + "\": " + error.what());
  }
  if (!selected) throw CPrivateException("No node matches \"" + path + "\"");
  std::string text;
  if (selected.attribute()) {
    text = selected.attribute().value();
  } else {
    AppendText(selected.node(), text);
  }
  return text;
}

SourcePosition LocateOffset(std::string_view content, std::size_t offset) {
  if (offset > content.size()) offset = content.size();
  SourcePosition where;
  where.line = 1;
  std::size_t lineStart = 0;
  for (std::size_t i = 0; i < offset; ++i) {
    if (content[i] == '\n') {
      ++where.line;
      lineStart = i + 1;
    }
  }
  std::size_t lineEnd = content.find('\n', lineStart);
  if (lineEnd == std::string_view::npos) lineEnd = content.size();
  if (lineEnd > lineStart && content[lineEnd - 1] == '\r') --lineEnd;
  where.text = std::string(content.substr(lineStart, lineEnd - lineStart));
  return where;
}

}  // namespace va5
