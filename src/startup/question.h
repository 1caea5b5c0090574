// The Yes/No question an archive's "!" entry puts before the install dialog opens.
#pragma once

// Asks the captured text in ScratchText; a No sets ErrorFlag so the scan fails.
void AskQuestion();
