#include "beta/b.hpp"
#include "gamma/c.hpp"
