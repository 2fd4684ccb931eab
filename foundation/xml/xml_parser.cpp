#include "foundation/xml/xml_parser.h"

#include <string_view>
#include <vector>

#include "foundation/xml/xml_result.h"
#include "foundation/xml/xml_tokenizer.h"

namespace xml {

namespace {

struct OpenTag {
  std::u16string_view name;
  int elem;
};

// Parses the content of one element (here always the document record) with
// a stack of open tag names; no recursion, so depth costs no stack.
class ContentParser {
 public:
  ContentParser(const char16_t* text, int length, ElemPosTable& table, int& nextFree,
                std::u16string& result)
      : text_(text), length_(length), table_(table), nextFree_(nextFree), result_(result) {
    stack_.reserve(7);
  }

  int Parse(int parentIndex) {
    top_ = parentIndex;
    current_ = parentIndex;
    const int baseLevel = parentIndex ? table_[parentIndex].Level() + 1 : 0;
    int firstFound = 0;
    Tokenizer tokenizer(text_, length_, parentIndex ? table_[parentIndex].ContentStart() : 0);
    Node node;
    for (;;) {
      const int kind = tokenizer.Next(node);
      if (kind == kNodeEnd) break;
      if (kind == kNodeElement) {
        const int e = table_.TakeIndex(nextFree_);
        ElemPos& rec = table_[e];
        rec.start = node.start;
        rec.SetStartTagLen(node.length);
        rec.SetLevel(baseLevel + static_cast<int>(stack_.size()));
        LinkLast(e, current_);
        if (current_ == parentIndex && !firstFound) firstFound = e;
        if (node.flags & kNodeEmptyElement) {
          rec.length = node.length;
        } else {
          stack_.push_back({std::u16string_view(text_ + node.nameStart, node.nameLength), e});
          current_ = e;
        }
      } else if (kind == kNodeEndTag) {
        EndTag(node);
      } else if (kind == kNodeError) {
        MarkError();
        std::u16string type;
        if (node.error.type) type = node.error.type;
        AddResultRecord(result_, node.error.record, node.error.type ? &type : nullptr,
                        node.error.type ? kRecordType : 0, node.error.offset);
      }
    }
    // Elements left open by the end of the text make the document
    // ill-formed too: a cut-off text must not pass as complete.
    if (!stack_.empty()) table_[top_].Set(kElemIllFormed);
    CloseUnended(0, length_);
    return firstFound;
  }

 private:
  void MarkError() {
    table_[top_].Set(kElemIllFormed);
    table_[current_].Set(kElemIllData);
  }

  void LinkLast(int e, int parent) {
    ElemPos& rec = table_[e];
    ElemPos& p = table_[parent];
    rec.parent = parent;
    rec.next = 0;
    if (!p.child) {
      p.child = e;
      rec.prev = e;
      rec.Set(kElemFirstChild);
    } else {
      ElemPos& first = table_[p.child];
      const int last = first.prev;
      table_[last].next = e;
      rec.prev = last;
      first.prev = e;
    }
  }

  void EndTag(const Node& node) {
    const std::u16string_view name(text_ + node.nameStart, node.nameLength);
    int found = -1;
    if (node.length <= kMaxEndTagLen) {
      for (int k = static_cast<int>(stack_.size()) - 1; k >= 0; --k) {
        if (stack_[k].name == name) {
          found = k;
          break;
        }
      }
    }
    if (found < 0) {
      MarkError();
      const std::u16string tag(name);
      AddResultRecord(result_, u"lone_end_tag", &tag, 0, node.start);
      return;
    }
    const int e = stack_[found].elem;
    ElemPos& rec = table_[e];
    rec.length = node.start + node.length - rec.start;
    rec.SetEndTagLen(node.length);
    if (found != static_cast<int>(stack_.size()) - 1) {
      table_[top_].Set(kElemIllFormed);
      CloseUnended(found + 1, node.start + 1);
    }
    stack_.pop_back();
    current_ = table_[e].parent;
  }

  // Closes the open elements stack_[from..] as unended, top first. Their
  // children become their following siblings; each element's parent is
  // written once, straight to the element that finally holds it.
  void CloseUnended(int from, int expectedAt) {
    const int holder = from > 0 ? stack_[from - 1].elem : top_;
    for (int k = static_cast<int>(stack_.size()) - 1; k >= from; --k) {
      const int u = stack_[k].elem;
      ElemPos& rec = table_[u];
      rec.SetEndTagLen(0);
      rec.Set(kElemUnended);
      rec.length = rec.StartTagLen();
      const int parent = rec.parent;
      if (rec.Has(kElemIllData)) {
        rec.Clear(kElemIllData);
        table_[parent].Set(kElemIllData);
      }
      const int first = rec.child;
      rec.child = 0;
      if (first) {
        // The original children end with the element opened above this one
        // (already closed, its own children re-parented after it).
        const int stopAfter = k + 1 < static_cast<int>(stack_.size()) ? stack_[k + 1].elem : 0;
        int c = first;
        while (c) {
          table_[c].parent = holder;
          if (c == stopAfter) break;
          c = table_[c].next;
        }
        const int last = table_[first].prev;
        table_[first].Clear(kElemFirstChild);
        table_[first].prev = u;
        rec.next = first;
        table_[table_[parent].child].prev = last;
      }
      const std::u16string tag(stack_[k].name);
      AddResultRecord(result_, u"unended_start_tag", &tag, 0, rec.start, expectedAt);
    }
    stack_.resize(from);
    current_ = holder;
  }

  const char16_t* text_;
  int length_;
  ElemPosTable& table_;
  int& nextFree_;
  std::u16string& result_;
  std::vector<OpenTag> stack_;
  int top_ = 0;
  int current_ = 0;
};

}  // namespace

bool IsWellFormed(const ElemPosTable& table) {
  if (table.Allocated() == 0) return false;
  const ElemPos& doc = table[0];
  return !doc.Has(kElemIllFormed) && doc.child != 0 && table[doc.child].next == 0;
}

ParseOutcome ParseDocument(const char16_t* text, int length, ElemPosTable& table,
                           std::u16string& result) {
  ParseOutcome outcome;
  table.Reserve(length / 64 + 8);
  table[0] = ElemPos();
  if (length <= 0) return outcome;
  ContentParser parser(text, length, table, outcome.nextFree, result);
  const int root = parser.Parse(0);
  table[0].length = length;
  if (!root) {
    AddResultRecord(result, u"no_root_element", nullptr, 0);
  } else if (table[root].next) {
    AddResultRecord(result, u"root_has_sibling", nullptr, 0);
  }
  outcome.wellFormed = IsWellFormed(table);
  return outcome;
}

}  // namespace xml
