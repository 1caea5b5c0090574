// The destination volume's longest file-name component, which decides between long and 8.3 names.
#include "archive/volume.h"

#include "startup/work_area.h"

void QueryMaxComponentLength() {
  const char* destination = Work->DestinationDir;
  char root[4] = {destination[0], ':', '\\', 0};
  const bool hasDrive = destination[0] != 0 && destination[1] == ':';
  MaxComponentLength = GetMaxComponentLength(hasDrive ? root : nullptr);
}
