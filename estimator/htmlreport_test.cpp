#include <gtest/gtest.h>
#include "htmlreport.h"
TEST(Html, Placeholder) {}
