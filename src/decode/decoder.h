// Produces one entry's data: the block decoder for -lh4- to -lh7- and the stored copy for -lh0-.
#pragma once
#include <cstdint>

// Decodes the current entry (method digit 4..7 from HeaderBuffer) through Window into WriteSink.
void DecodeEntry();
// Copies size bytes of the current entry from ArchiveFile into WriteSink.
void CopyStored(uint32_t size);
