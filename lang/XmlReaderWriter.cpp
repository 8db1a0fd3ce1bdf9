#include "lang/XmlReaderWriter.h"

#include <cerrno>
#include <fstream>
#include <iterator>
#include <pugixml.hpp>

#include "base/Utf8Path.h"
#include "lang/MessageFormatter.h"
#include "lang/PrivateException.h"

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

// A UTF-16 document (by its byte order mark or by "<?" in UTF-16) as UTF-8, so that the
// parser's offsets and the line text of an error refer to one and the same buffer. Other
// documents are returned unchanged; unpaired surrogates become U+FFFD.
std::string AsUtf8(std::string_view content) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(content[i]); };
  if (content.size() < 2) return std::string(content);
  bool little = false;
  std::size_t start = 0;
  if (byte(0) == 0xFF && byte(1) == 0xFE) {
    little = true, start = 2;
  } else if (byte(0) == 0xFE && byte(1) == 0xFF) {
    start = 2;
  } else if (content.size() >= 4 && byte(0) == '<' && byte(1) == 0 && byte(2) == '?' &&
             byte(3) == 0) {
    little = true;
  } else if (content.size() >= 4 && byte(0) == 0 && byte(1) == '<' && byte(2) == 0 &&
             byte(3) == '?') {
  } else {
    return std::string(content);
  }
  if (content.size() >= 4 && start == 2 && byte(2) == 0 && byte(3) == 0) {
    return std::string(content);  // UTF-32 little endian: left to the parser
  }
  std::string out;
  out.reserve(content.size());
  const auto unit = [&](std::size_t i) -> char32_t {
    return little ? byte(i) | (byte(i + 1) << 8) : (byte(i) << 8) | byte(i + 1);
  };
  const auto append = [&](char32_t c) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  };
  for (std::size_t i = start; i + 1 < content.size(); i += 2) {
    char32_t c = unit(i);
    if (c >= 0xD800 && c <= 0xDBFF && i + 3 < content.size()) {
      const char32_t low = unit(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      } else {
        c = 0xFFFD;
      }
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    append(c);
  }
  return out;
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
  std::ifstream file(Utf8Path(path), std::ios::binary);
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

void CXmlReaderWriter::LoadText(std::string_view original) {
  const std::string converted = AsUtf8(original);
  const bool wasConverted =
      converted.size() != original.size() ||
      converted.compare(0, converted.size(), original.data(), original.size()) != 0;
  const std::string_view content = converted;
  auto document = std::make_unique<pugi::xml_document>();
  const pugi::xml_parse_result result =
      document->load_buffer(content.data(), content.size(), pugi::parse_default,
                            wasConverted ? pugi::encoding_utf8 : pugi::encoding_auto);
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
