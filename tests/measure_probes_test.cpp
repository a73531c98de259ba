#include <gtest/gtest.h>
#include "MeasureFixturePaths.h"
TEST(MeasureProbes, Placeholder) {}
