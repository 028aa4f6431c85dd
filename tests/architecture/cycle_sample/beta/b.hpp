#include "alpha/a.hpp"
