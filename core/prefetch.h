// A hint that brings the cache line holding an address closer to the
// processor, so that the load that follows does not wait for memory. It never
// faults, whatever the address; on compilers without it, it does nothing.
#pragma once

namespace vexo {

inline void prefetch([[maybe_unused]] const void* address) {
#if defined(__GNUC__) || defined(__clang__)
  __builtin_prefetch(address);
#endif
#if defined(__GNUC__) && !defined(__clang__)
  // GCC deletes a prefetch whose address comes from loads that nothing else
  // uses (all of ours); an empty statement that takes the address keeps it.
  asm volatile("" : : "r"(address));
#endif
}

}  // namespace vexo
