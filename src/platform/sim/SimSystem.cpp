#include "platform/sim/SimSystem.h"
