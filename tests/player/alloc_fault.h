// Allocation failure for tests: the player allocates its copies and tables with
// new (std::nothrow) T[n]; FailArrayAllocation(k) makes the k-th such allocation from now on
// answer null (k = 1: the next one). Each test executable that includes this links
// alloc_fault.cpp, which replaces the nothrow array form of operator new.
#pragma once

namespace klp::test {

void FailArrayAllocation(int nth);
// Nothrow array allocations made since the last FailArrayAllocation (failed ones included).
int ArrayAllocations();

}  // namespace klp::test
