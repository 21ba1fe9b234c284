// The fixture is whole in its header; this unit checks that the header stands on its own.
#include "WorkstationFixture.h"
