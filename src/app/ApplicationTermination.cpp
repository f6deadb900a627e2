#include "app/ApplicationTermination.h"

#include <atomic>

namespace {
std::atomic<bool> terminating { false };
} // namespace

bool ApplicationTermination::isTerminating() { return terminating.load(); }
void ApplicationTermination::markTerminating() { terminating.store(true); }
void ApplicationTermination::clear() { terminating.store(false); }
