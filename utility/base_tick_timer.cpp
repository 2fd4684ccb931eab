// CBaseTickTimer: a stopwatch over the 32-bit millisecond tick count.
#include "utility/base_lock.h"
#include "utility/os/os_env.h"

CBaseTickTimer::CBaseTickTimer() : m_begin(0), m_end(0) {}

CBaseTickTimer& CBaseTickTimer::operator=(const CBaseTickTimer& other) {
  m_begin = other.m_begin;
  m_end = other.m_end;
  return *this;
}

void CBaseTickTimer::BeginTick() { m_begin = utility_os::TickCount(); }

uint32_t CBaseTickTimer::EndTick() {
  m_end = utility_os::TickCount();
  return m_end - m_begin;
}

int CBaseTickTimer::DistanceTick(uint32_t ticks) {
  const uint32_t span = m_end - m_begin;
  if (ticks < span) return 1;
  if (ticks > span) return -1;
  return 0;
}

bool CBaseTickTimer::TimesSpan(uint32_t milliseconds) {
  m_end = utility_os::TickCount();
  return m_end - m_begin >= milliseconds;
}
