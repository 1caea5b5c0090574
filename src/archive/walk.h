// The walk over the appended archive: both passes, entry headers, skipping and the walk's failure reports.
#pragma once
#include "platform/platform.h"

enum class Pass { Scan, Extract };

// Walks the archive once; returns true when no failure was reported.
bool WalkArchive(WindowHandle dialog, Pass pass);
// Decodes the current entry's data from the archive position into the output sink; failures do not return.
void DecodeEntryData();
// Moves the archive position past the current entry's data; false after a report.
bool SkipEntryData();

bool ReportReadError();
bool ReportUnexpectedEof();
bool ReportBadHeader();
bool ReportOpenError(const char* path);
