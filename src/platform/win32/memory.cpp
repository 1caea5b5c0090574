// Zero-initialised blocks from the local heap.
#include <windows.h>

#include "platform/platform.h"

// LMEM_ZEROINIT without LMEM_MOVEABLE gives a fixed block, so the handle is the pointer.
void* AllocateZeroed(uint32_t size) { return LocalAlloc(LMEM_ZEROINIT, size); }

void ReleaseMemory(void* block) { LocalFree(block); }
