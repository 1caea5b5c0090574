// The Yes/No question an archive's "!" entry puts before the install dialog opens.
#include "startup/question.h"

#include "startup/work_area.h"

void AskQuestion() {
  const MessageAnswer answer =
      ShowMessageBox(Work->DialogWindow, Work->ScratchText, Work->WindowTitle, MessageStyle::QuestionYesNo);
  if (answer == MessageAnswer::No) Work->ErrorFlag = 1;
}
