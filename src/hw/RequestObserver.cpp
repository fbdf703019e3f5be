#include "hw/RequestObserver.h"

// An observer hears only what it overrides.
void RequestObserver::ReadProgress(std::uint32_t, std::uint32_t) {}
void RequestObserver::TransmittersChanged(int) {}
void RequestObserver::Finished(const RequestOutcome&) {}
