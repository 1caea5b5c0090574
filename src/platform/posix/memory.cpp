// Host memory: zeroed blocks, with an injectable allocation failure.
#include <cstdlib>

#include "platform/platform.h"
#include "platform/posix/host_state.h"

void* AllocateZeroed(uint32_t size) {
  int& left = host::State().allocationsLeft;
  if (left == 0) return nullptr;
  if (left > 0) --left;
  return std::calloc(1, size == 0 ? 1 : size);
}

void ReleaseMemory(void* block) { std::free(block); }
