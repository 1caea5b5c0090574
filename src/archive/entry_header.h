// Reading and checking one level-2 entry header, and building the entry's name from it.
#pragma once

enum class HeaderResult { Entry, End, Failed };

// Reads the next header into HeaderBuffer and sets the per-entry state; End at the end marker,
// Failed after a report (ErrorFlag set).
HeaderResult ReadEntryHeader();
