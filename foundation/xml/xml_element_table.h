// The element position table of CXmlDocument: one 32-byte record per
// element, kept in pages of 65,536 records so that an index splits into a
// page (index >> 16) and a slot (index & 0xFFFF).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace xml {

// Flags in the high bits of ElemPos::levelFlags (the low 16 bits hold the
// nesting level).
enum : uint32_t {
  kElemLevelMask = 0xFFFF,
  kElemDeleted = 0x20000,     // removed; chained on the free list
  kElemFirstChild = 0x80000,  // first child of its parent
  kElemUnended = 0x100000,    // start tag without end tag
  kElemIllData = 0x200000,    // an error was recorded inside this element
  kElemIllFormed = 0x800000,  // an error was recorded below the parse start
};

// Offsets are 32-bit: the longest document text (in UTF-16 units) and file.
constexpr size_t kMaxTextLength = 0x7FFFFFF0;

// Largest start-tag and end-tag lengths a record can hold.
constexpr int kMaxStartTagLen = 0x3FFFFF;
constexpr int kMaxEndTagLen = 0x3FF;

// Plain data: table pages are not zeroed when allocated; every record is
// cleared when its index is taken.
struct ElemPos {
  int32_t start;       // offset of '<' in the document text
  int32_t length;      // start tag to the end of the end tag
  uint32_t tagLens;    // low 22 bits start tag, high 10 bits end tag
  uint32_t levelFlags; // low 16 bits level, high bits kElem* flags
  int32_t parent;
  int32_t child;       // first child, 0 = none
  int32_t next;        // next sibling, 0 = last
  int32_t prev;        // previous sibling; the first child's is the last

  int StartTagLen() const { return static_cast<int>(tagLens & kMaxStartTagLen); }
  int EndTagLen() const { return static_cast<int>(tagLens >> 22); }
  void SetStartTagLen(int n) {
    tagLens = (tagLens & ~static_cast<uint32_t>(kMaxStartTagLen)) |
              (static_cast<uint32_t>(n) & kMaxStartTagLen);
  }
  void SetEndTagLen(int n) {
    tagLens = (tagLens & kMaxStartTagLen) | (static_cast<uint32_t>(n & kMaxEndTagLen) << 22);
  }
  int Level() const { return static_cast<int>(levelFlags & kElemLevelMask); }
  void SetLevel(int level) {
    if (level > static_cast<int>(kElemLevelMask)) level = kElemLevelMask;
    levelFlags = (levelFlags & ~kElemLevelMask) | static_cast<uint32_t>(level);
  }
  bool Has(uint32_t flag) const { return (levelFlags & flag) != 0; }
  void Set(uint32_t flag) { levelFlags |= flag; }
  void Clear(uint32_t flag) { levelFlags &= ~flag; }
  int ContentStart() const { return start + StartTagLen(); }
  int ContentEnd() const { return start + length - EndTagLen(); }
};
static_assert(sizeof(ElemPos) == 32, "element position record is 32 bytes");

// Not thread-safe: owned by one document, used by one thread at a time.
class ElemPosTable {
 public:
  static constexpr int kPageBits = 16;
  static constexpr int kPageSize = 1 << kPageBits;

  ElemPosTable() = default;
  ElemPosTable(const ElemPosTable&) = delete;
  ElemPosTable& operator=(const ElemPosTable&) = delete;

  ElemPos& operator[](int index) {
    return pages_[index >> kPageBits][index & (kPageSize - 1)];
  }
  const ElemPos& operator[](int index) const {
    return pages_[index >> kPageBits][index & (kPageSize - 1)];
  }

  int Allocated() const { return allocated_; }
  // Grows to at least `count` records, at most one page past the current
  // last page per call.
  void Grow(int count);
  // Makes sure `count` records exist (growing in as many steps as needed).
  void Reserve(int count);
  // Hands out `nextFree` (its record cleared) and advances it, growing by
  // half when full.
  int TakeIndex(int& nextFree) {
    if (nextFree >= allocated_) GrowForIndex(nextFree);
    (*this)[nextFree] = ElemPos();
    return nextFree++;
  }
  void Free();

 private:
  void GrowForIndex(int index);

  std::vector<std::unique_ptr<ElemPos[]>> pages_;
  std::vector<int> pageSizes_;
  int allocated_ = 0;
};

}  // namespace xml
