#include "app/clock.h"

namespace {
Clock *g_override = nullptr;
}

Clock &Clock::instance()
{
    static SteadyClock steady;
    return g_override ? *g_override : steady;
}

void Clock::setInstance(Clock *clock) { g_override = clock; }
