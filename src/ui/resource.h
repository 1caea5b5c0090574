/* Resource and control ids shared by sfx.rc and the dialog code. */
#pragma once

#define IDI_ICON1 1

#define IDC_DIRECTORY_FIELD 100
#define IDC_FILE_LABEL 101
#define IDC_PROGRESS_LABEL 102
#define IDC_TITLE_LABEL 103
#define IDC_REFERENCE_BUTTON 104
