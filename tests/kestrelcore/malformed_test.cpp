// Malformed input: placeholder, filled in with the committed corpus in the hardening step.
#include <gtest/gtest.h>
