// A thin wrapper over the XML parser: one document, its document element, and the
// selection of the first node by a path.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace pugi {
class xml_document;
}

namespace va5 {

class CXmlReaderWriter {
 public:
  CXmlReaderWriter();
  ~CXmlReaderWriter();
  CXmlReaderWriter(const CXmlReaderWriter&) = delete;
  CXmlReaderWriter& operator=(const CXmlReaderWriter&) = delete;

  // Replaces the document by a new one: an xml declaration (version 1.0, utf-8) and one
  // empty element named `rootName`.
  void CreateDocument(const std::string& rootName);

  // Parses the file at `path`. On success the new document replaces the old one; on failure
  // the old one stays and CPrivateException reports line, source text and reason.
  void Load(const std::string& path);

  // The same for a document held in memory.
  void LoadText(std::string_view content);

  // Text content of the first node that `path` selects. Raises CPrivateException when the
  // path is malformed, selects nothing, or no document is held.
  std::string SelectNodeText(const std::string& path) const;

  bool HasDocument() const { return document_ != nullptr; }

 private:
  std::unique_ptr<pugi::xml_document> document_;
};

// Where a parse error lies in a text: the 1-based line that holds byte `offset`, and the
// text of that line without its line break.
struct SourcePosition {
  int line = 0;
  std::string text;
};
SourcePosition LocateOffset(std::string_view content, std::size_t offset);

}  // namespace va5
