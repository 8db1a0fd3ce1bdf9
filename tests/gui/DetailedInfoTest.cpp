// Tests of the panel come with the panel.
#include <gtest/gtest.h>
