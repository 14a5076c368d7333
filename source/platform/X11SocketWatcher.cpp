#include "platform/X11SocketWatcher.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

X11SocketWatcher::X11SocketWatcher(int s) : socket(s) {
    wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0)
        return;
    // The host's signals go to its own threads, never to this one.
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    try {
        thread = std::thread(&X11SocketWatcher::run, this);
        pthread_setname_np(thread.native_handle(), "stammerix-x11");
    } catch (...) {
        // Without the thread every idle reads the connection, as it must.
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

X11SocketWatcher::~X11SocketWatcher() {
    if (thread.joinable()) {
        stopping.store(true, std::memory_order_release);
        const std::uint64_t one = 1;
        while (write(wake, &one, sizeof one) < 0 && errno == EINTR) {
        }
        thread.join();
    }
    if (wake >= 0)
        close(wake);
}

void X11SocketWatcher::rearm() {
    if (!thread.joinable() || !signalled.exchange(false))
        return;
    // A thread that gave up watching cannot be woken: then every idle reads.
    if (failed.load()) {
        signalled.store(true);
        return;
    }
    const std::uint64_t one = 1;
    while (write(wake, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void X11SocketWatcher::run() {
    while (!stopping.load(std::memory_order_acquire)) {
        // While signalled, only a rearm or the end can wake the thread: the socket stays
        // readable until the user-interface thread reads it.
        const bool watching = !signalled.load(std::memory_order_acquire);
        pollfd fds[2] = {{wake, POLLIN, 0}, {socket, POLLIN, 0}};
        if (poll(fds, watching ? 2 : 1, -1) < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            failed.store(true);
            signalled.store(true);
            return;
        }
        if (fds[0].revents) {
            std::uint64_t count = 0;
            while (read(wake, &count, sizeof count) < 0 && errno == EINTR) {
            }
        }
        // Data, a hang-up or an error: the reading finds out which.
        if (watching && fds[1].revents)
            signalled.store(true, std::memory_order_release);
    }
}
