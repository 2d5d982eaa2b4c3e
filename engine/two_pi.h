// The voice's 2π.
#pragma once

// π as the double 3.14159265358979, doubled: slightly below the exact 2π. The voice's phase wrap
// uses this value, so every rendered sample depends on it.
inline constexpr double kVoiceTwoPi = 3.14159265358979 + 3.14159265358979;
