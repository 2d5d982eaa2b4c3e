// The process's one performance record and its start-up value.
#include "engine/performance_state.h"

PERFORMANCESTATE PerformanceState;

void InitPerformanceState() {
    // π as the double 3.14159265358979, doubled: slightly below the exact 2π. The voice's phase
    // wrap uses this value, so every rendered sample depends on it.
    const double dPi = 3.14159265358979;
    PerformanceState.dTwoPi = dPi + dPi;
}
