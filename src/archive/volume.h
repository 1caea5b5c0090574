// The destination volume's longest file-name component, which decides between long and 8.3 names.
#pragma once

// Sets MaxComponentLength for DestinationDir's drive (or the current volume); 0 when the query fails.
void QueryMaxComponentLength();
