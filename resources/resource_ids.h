#pragma once
// Resource IDs shared by ozarith.rc and the code that loads the resources.
// Plain #defines: windres reads this file too.

// Icon 1 is the one the shell shows for the program file.
#define IDI_APP_ICON 1
// The instruction picture of the help popup, a PNG stored as RT_RCDATA.
#define IDR_HELP_PICTURE 101
