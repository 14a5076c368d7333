// Watches the socket of an X connection on a thread of its own, so that a host's idle call
// with nothing to read makes no system call at all: the thread sleeps in the kernel until the
// server sends something, and says so through an atomic flag. The thread never touches the
// connection itself, which stays the user-interface thread's alone.
#pragma once

#include <atomic>
#include <thread>

class X11SocketWatcher {
public:
    explicit X11SocketWatcher(int socket);
    ~X11SocketWatcher();
    X11SocketWatcher(const X11SocketWatcher&) = delete;
    X11SocketWatcher& operator=(const X11SocketWatcher&) = delete;

    // True when the socket may hold something to read: the server sent something since the
    // last rearm, or no thread could be made and only reading can tell.
    bool readable() const { return signalled.load(std::memory_order_acquire); }
    // Called once what the socket held was read: the thread watches it again.
    void rearm();

private:
    void run();

    int socket;
    int wake = -1;
    // Starts set: the first idle reads whatever came before the thread ran.
    std::atomic<bool> signalled{true};
    std::atomic<bool> stopping{false};
    std::atomic<bool> failed{false};
    std::thread thread;
};
