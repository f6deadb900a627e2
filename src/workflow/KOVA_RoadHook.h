#pragma once

#include <QtGlobal>

#include <atomic>

// A function that a higher sub-folder of the workflow installs for a lower one as the road
// is set up (KOVA_Road), so that the lower one calls upward without including the higher.
// Installed and read from any thread. Reading one that was never installed stops the
// program, naming `what` was missing: a program that runs jobs sets the road up first.
template <class Function>
class KOVA_RoadHook {
public:
    explicit constexpr KOVA_RoadHook(const char* what) : m_what(what) {}

    void install(Function function) { m_function.store(function); }

    Function installed() const
    {
        const Function function = m_function.load();
        if (!function)
            qFatal("no %s is installed: the program must set the road up (KOVA_Road::install) first", m_what);
        return function;
    }

private:
    std::atomic<Function> m_function{nullptr};
    const char* m_what;
};
