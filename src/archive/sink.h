// Where decoded bytes go: the output file with its running crc, or the prompt and script buffers.
#pragma once
#include <cstdint>

// Hands length bytes (1..65,536) of data to the output file or the capture buffer; a write failure does not return.
void WriteSink(const uint8_t* data, uint32_t length);
// Shows the entry's percentage, lets the dialog's messages through, and ends the process on Cancel.
void ShowProgress(uint32_t done, uint32_t total);
