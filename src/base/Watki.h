#pragma once
// Threads that do long work (a merge, a copy to the card) beside the window.

#include <QThread>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <unistd.h>
#endif

// Puts the calling work thread below the window's thread for the scheduler,
// so the window keeps answering while the work uses the processor. Linux
// ignores QThread's priorities for ordinary threads; there a thread's own
// nice value does it.
inline void obnizPriorytetWatku() {
#ifdef Q_OS_LINUX
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
#else
    QThread::currentThread()->setPriority(QThread::LowPriority);
#endif
}
