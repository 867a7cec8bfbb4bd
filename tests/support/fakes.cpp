// The test doubles are header-only; this file gives the support library something to build.
#include "support/fakes.h"
