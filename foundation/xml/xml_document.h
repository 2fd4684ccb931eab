// CXmlDocument: the program's XML document. The whole document is one
// UTF-16 text; beside it a table of element position records says where each
// element lies in that text. A cursor of three element indexes (current
// parent, position and child) walks the table; every edit rewrites the text
// in place and shifts the records behind it, so no new parse is needed.
//
// The attributes of an element are indexed when one of them is first read
// (its start tag is read once, whatever number of attributes are asked
// for), and the index goes with any change of the text.
//
// Threading: a document is a plain value object; use one from one thread at
// a time (no internal locking; reading fills the attribute index). Separate
// documents are independent.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/xml/xml_element_table.h"
#include "foundation/xml/xml_text.h"

// Document flags (also the in/out flags of the file operations).
enum : uint32_t {
  XML_DOC_UTF16LE = 0x1,     // UTF-16 little-endian file
  XML_DOC_UTF8BOM = 0x4,     // UTF-8 file that begins with a byte-order mark
  XML_DOC_READING = 0x10,    // set on the file stream while it reads
  XML_DOC_WRITING = 0x20,    // set on the file stream while it writes
  XML_DOC_UTF16BE = 0x80,    // UTF-16 big-endian file
};

// Flags of AddElement / AddChildElement (and, for 0x8 and 0x100, of the
// attribute setters and EscapeText).
enum : int {
  XML_ADD_CDATA = 0x1,         // data as a CDATA section
  XML_ADD_NO_BREAKS = 0x2,     // no CR LF
  XML_ADD_SPACE_SLASH = 0x4,   // "<name />" for an element without data
  XML_ADD_KEEP_REFS = 0x8,     // keep references already present in the data
  XML_ADD_START_TAG_ONLY = 0x10,
  XML_ESCAPE_ATTRIBUTE = 0x100,
  XML_ADD_BEFORE = 0x2000,     // before the reference sibling
  XML_ADD_CHILD = 0x4000,      // as a child of the current position
};

class CXmlDocument {
 public:
  CXmlDocument();
  explicit CXmlDocument(const std::u16string& text);
  ~CXmlDocument();
  CXmlDocument(const CXmlDocument&) = delete;
  CXmlDocument& operator=(const CXmlDocument&) = delete;

  // Stores the text, clears the result and parses; returns the
  // well-formed test. A null text is an empty document. The narrow form
  // takes text in the ANSI code page (UTF-8 on this platform).
  bool SetDocument(const char16_t* text);
  bool SetDocument(const std::u16string& text);
  bool SetDocument(std::u16string&& text);  // takes the text over, no copy
  bool SetDocument(const char* text);

  // The whole document text (to send or store it) and the result records
  // of the last operation.
  const std::u16string& GetDocument() const { return text_; }
  const std::u16string& GetResult() const { return result_; }
  uint32_t GetDocFlags() const { return flags_; }
  void SetDocFlags(uint32_t flags) { flags_ = flags; }

  // Cursor.
  void ResetPosition();
  bool FindElement(const std::u16string& path = std::u16string());
  bool IntoElement();
  bool OutOfElement();
  int GetCurrentParent() const { return parent_; }
  int GetCurrentPosition() const { return pos_; }
  int GetCurrentChild() const { return child_; }
  // Tag name of the current position, as the find operation reads it;
  // empty when there is no current element.
  std::u16string GetTagName() const;

  // Attributes (values decoded on reading, escaped on writing).
  std::u16string GetAttribute(const std::u16string& name) const;
  std::u16string GetAttributeAt(int index, const std::u16string& name) const;
  // Name of the n-th (from 0) attribute of the current position in the
  // order written; empty past the last one. Its value is GetAttribute(name).
  std::u16string GetAttributeName(int n) const;
  bool SetAttribute(const std::u16string& name, const std::u16string& value, int flags = 0);
  bool SetAttribute(const std::u16string& name, int value, int flags = 0);
  bool SetAttributeAt(int index, const std::u16string& name, const std::u16string& value,
                      int flags = 0);
  bool SetAttributeAt(int index, const std::u16string& name, int value, int flags = 0);
  bool SetChildAttribute(const std::u16string& name, const std::u16string& value, int flags = 0);
  bool SetChildAttribute(const std::u16string& name, int value, int flags = 0);

  // The text of the current element (or of the current child): its text
  // and CDATA content, references decoded; empty when absent or when the
  // element holds elements.
  std::u16string GetData() const;
  std::u16string GetChildData() const;

  // Editing.
  bool AddElement(const std::u16string& name, const std::u16string& data = std::u16string(),
                  int flags = 0);
  bool AddChildElement(const std::u16string& name,
                       const std::u16string& data = std::u16string(), int flags = 0);
  bool RemoveElement();

  // One root element and no error recorded below the document.
  bool CheckDocument() const;

  // Files (paths in UTF-8; the wide forms convert).
  bool LoadFile(const std::string& path);
  bool LoadFile(const std::u16string& path);
  bool SaveFile(const std::string& path);
  bool SaveFile(const std::u16string& path);

  // Whole-file text transfer with byte-order-mark and encoding detection.
  // `encoding` null = detect (read) or decide (write). `flags` in/out: the
  // mark flags; on return the stream's flags less 0x10 and 0x20. A write
  // goes to a new file in the target's folder that replaces the target once
  // complete, so a failed write leaves the old file; UTF-16 is written with
  // its mark (the flag is added), so what is written reads back the same.
  static bool ReadTextFile(const std::string& path, std::u16string& text,
                           std::u16string* result, uint32_t* flags,
                           const std::u16string* encoding = nullptr);
  static bool WriteTextFile(const std::string& path, const std::u16string& text,
                            std::u16string* result, uint32_t* flags,
                            const std::u16string* encoding = nullptr);

  static std::u16string GetDeclaredEncoding(const std::u16string& text);
  static std::u16string EscapeText(const std::u16string& text, int flags);
  static std::u16string UnescapeText(const char16_t* text, long length = -1);

 private:
  void Parse();
  void SetCursor(int parent, int pos, int child);
  bool IsLiveElement(int index) const;
  std::u16string DataOf(int index) const;
  bool AddNode(const std::u16string& name, const std::u16string& data, int flags);
  void ReplaceText(int offset, int oldLength, const std::u16string& replacement);
  // Moves everything after element `index` in document order by `delta`
  // and lengthens its ancestors (the document record included).
  void ShiftFollowing(int index, int delta);
  void ShiftSubtree(int index, int delta);
  void LinkElement(int index, int parent, int reference, bool before);
  int SkipWhitespaceBeforeTag(int offset) const;
  // The attributes of element `index` in the order written (indexed on the
  // first call for that element).
  const std::vector<xml::AttributeSpan>& AttributesOf(int index) const;

  std::u16string text_;
  std::u16string result_;
  int parent_ = 0;
  int pos_ = 0;
  int child_ = 0;
  int nextFree_ = 1;
  int freeList_ = 0;
  int nodeType_ = 0;
  uint32_t flags_ = 0;
  xml::ElemPosTable table_;
  // The attribute index: the element it describes (0: none) and its
  // attributes. Reset by Parse and ReplaceText, which every change of the
  // text goes through.
  mutable int attributesOf_ = 0;
  mutable std::vector<xml::AttributeSpan> attributes_;
};
