// Conversions between the platform's 100-ns file times and UnixSeconds.
#include "timestamps/filetime.h"

namespace {
constexpr uint64_t IntervalsPerSecond = 10000000;
constexpr uint64_t SecondsFrom1601To1970 = 11644473600;
}  // namespace

bool FileTimeToUnix(uint64_t fileTime, uint32_t* out) {
  const uint64_t seconds = fileTime / IntervalsPerSecond;
  if (out == nullptr || seconds < SecondsFrom1601To1970 || seconds - SecondsFrom1601To1970 > UINT32_MAX) return false;
  *out = static_cast<uint32_t>(seconds - SecondsFrom1601To1970);
  return true;
}
