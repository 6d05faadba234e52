#include <gtest/gtest.h>
#include "core/owned.h"
