#include "tests/player/alloc_fault.h"

#include <cstddef>
#include <new>

namespace {
int g_failAt = 0;
int g_count = 0;
}  // namespace

namespace klp::test {

void FailArrayAllocation(int nth) {
  g_failAt = nth;
  g_count = 0;
}

int ArrayAllocations() { return g_count; }

}  // namespace klp::test

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  if (++g_count == g_failAt) {
    g_failAt = 0;
    return nullptr;
  }
  try {
    return ::operator new[](size);
  } catch (...) {
    return nullptr;
  }
}
