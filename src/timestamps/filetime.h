// Conversions between the platform's 100-ns file times and UnixSeconds.
#pragma once
#include <cstdint>

// Converts a count of 100-ns intervals since 1601-01-01 UTC; false, leaving out alone, when it is out of range.
bool FileTimeToUnix(uint64_t fileTime, uint32_t* out);
