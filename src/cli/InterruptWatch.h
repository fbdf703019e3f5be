#pragma once

#include <signal.h>

// Ctrl+C (and a polite kill) are taken by the main thread only: they are blocked before the
// worker starts, so the worker inherits the mask and its port calls are never interrupted.
class InterruptWatch {
public:
    InterruptWatch() {
        sigemptyset(&m_set);
        sigaddset(&m_set, SIGINT);
        sigaddset(&m_set, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &m_set, &m_old);
    }
    ~InterruptWatch() { pthread_sigmask(SIG_SETMASK, &m_old, nullptr); }
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    // The pending interrupt, if any (0 = none); does not wait.
    int Poll() {
        const timespec zero{0, 0};
        const int signal = sigtimedwait(&m_set, nullptr, &zero);
        return signal > 0 ? signal : 0;
    }

private:
    sigset_t m_set, m_old;
};
