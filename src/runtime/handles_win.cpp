#include "runtime/handles_win.h"
