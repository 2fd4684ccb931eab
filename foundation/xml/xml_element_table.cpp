#include "foundation/xml/xml_element_table.h"

#include <algorithm>

namespace xml {

void ElemPosTable::Grow(int count) {
  if (count <= allocated_) return;
  const int lastPage = allocated_ ? (allocated_ - 1) >> kPageBits : -1;
  int newLast = (count - 1) >> kPageBits;
  if (newLast > lastPage + 1) {
    newLast = lastPage + 1;
    count = (newLast + 1) << kPageBits;
  }
  if (static_cast<int>(pages_.size()) <= newLast) {
    const size_t slots = 2 * static_cast<size_t>(newLast) + 4;
    pages_.resize(slots);
    pageSizes_.resize(slots, 0);
  }
  // A partial page that stops being the last becomes a full page.
  if (lastPage >= 0 && newLast > lastPage && pageSizes_[lastPage] < kPageSize) {
    std::unique_ptr<ElemPos[]> full(new ElemPos[kPageSize]);
    std::copy(pages_[lastPage].get(), pages_[lastPage].get() + pageSizes_[lastPage], full.get());
    pages_[lastPage] = std::move(full);
    pageSizes_[lastPage] = kPageSize;
  }
  // The new last page holds exactly the records it needs.
  const int need = count - (newLast << kPageBits);
  if (pageSizes_[newLast] < need) {
    std::unique_ptr<ElemPos[]> page(new ElemPos[need]);
    if (pages_[newLast]) {
      std::copy(pages_[newLast].get(), pages_[newLast].get() + pageSizes_[newLast], page.get());
    }
    pages_[newLast] = std::move(page);
    pageSizes_[newLast] = need;
  }
  allocated_ = count;
}

void ElemPosTable::Reserve(int count) {
  while (allocated_ < count) Grow(count);
}

void ElemPosTable::GrowForIndex(int index) {
  Reserve(std::max(index + 1, allocated_ + allocated_ / 2));
}

void ElemPosTable::Free() {
  pages_.clear();
  pageSizes_.clear();
  allocated_ = 0;
}

}  // namespace xml
