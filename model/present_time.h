#pragma once

#include <ctime>

// Fixes the present moment that CurrentLocalTime() returns, for tests.
void SetPresentTimeForTesting(const std::tm& moment);
// Returns CurrentLocalTime() to the real local time.
void ClearPresentTimeForTesting();
