// CBaseBlockMem: a pool of equal blocks with a heap fallback.
#include <cstdlib>

#include "utility/base_lock.h"

CBaseBlockMem::CBaseBlockMem(uint32_t blockCount, uint32_t blockSize)
    : m_blockCount(blockCount), m_blockSize(blockSize), m_storage(nullptr), m_slots(nullptr),
      m_optex(4000) {
  if (blockCount == 0 || blockSize == 0) {
    m_blockCount = 0;
    return;
  }
  m_storage = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(blockCount) * blockSize));
  m_slots = static_cast<BlockSlot*>(std::malloc(sizeof(BlockSlot) * blockCount));
  if (m_storage == nullptr || m_slots == nullptr) {
    std::free(m_storage);
    std::free(m_slots);
    m_storage = nullptr;
    m_slots = nullptr;
    m_blockCount = 0;
    return;
  }
  for (uint32_t i = 0; i < blockCount; ++i) {
    m_slots[i] = BlockSlot{m_storage + static_cast<size_t>(i) * blockSize, blockSize, false};
  }
}

CBaseBlockMem::~CBaseBlockMem() {
  std::free(m_slots);
  std::free(m_storage);
}

void* CBaseBlockMem::Alloc(uint32_t size) {
  if (size > m_blockSize) return nullptr;
  m_optex.Enter();
  for (uint32_t i = 0; i < m_blockCount; ++i) {
    if (!m_slots[i].inUse) {
      m_slots[i].inUse = true;
      void* block = m_slots[i].block;
      m_optex.Leave();
      return block;
    }
  }
  m_optex.Leave();
  return std::malloc(size == 0 ? 1 : size);
}

void CBaseBlockMem::Free(void* p) {
  if (p == nullptr) return;
  m_optex.Enter();
  for (uint32_t i = 0; i < m_blockCount; ++i) {
    if (m_slots[i].block == p) {
      m_slots[i].inUse = false;
      m_optex.Leave();
      return;
    }
  }
  m_optex.Leave();
  std::free(p);
}
