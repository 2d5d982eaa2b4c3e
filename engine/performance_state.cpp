// The process's one performance record and its start-up value.
#include "engine/performance_state.h"

#include "engine/two_pi.h"

PERFORMANCESTATE PerformanceState;

void InitPerformanceState() { PerformanceState.dTwoPi = kVoiceTwoPi; }
