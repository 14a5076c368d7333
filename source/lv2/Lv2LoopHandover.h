// A restored loop on its way to the audio thread. Hosts may restore while blocks run (Ardour
// loads a preset on its user-interface thread while it plays): the restoring thread prepares
// the loop whole, the audio thread takes it over at the start of its next block by exchanging
// arrays (nothing is copied, allocated or waited for there), and the arrays it gives back are
// freed off the audio thread. So a block plays the old loop or the new one, never a mix.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

class Lv2LoopHandover {
public:
    struct Loop {
        // Arrays of the loop buffer's whole capacity; the old loop's once taken over.
        std::unique_ptr<float[]> left, right;
        // The parameters that come with it; none where the ports' values are to hold.
        bool hasParameters = false;
        float recording = 0.0f, typeRecording = 0.0f;
        Loop* next = nullptr; // among those given back
    };

    Lv2LoopHandover() = default;
    ~Lv2LoopHandover();
    Lv2LoopHandover(const Lv2LoopHandover&) = delete;
    Lv2LoopHandover& operator=(const Lv2LoopHandover&) = delete;

    // Any thread but the audio thread: offers a loop in place of one not yet taken, and frees
    // what blocks gave back.
    void offer(std::unique_ptr<Loop> loop);
    // Audio thread: the loop offered since, or null. Once its arrays are exchanged, it goes
    // back through giveBack.
    Loop* take() { return offered.exchange(nullptr, std::memory_order_acq_rel); }
    void giveBack(Loop* loop) {
        // Only the audio thread adds: the list it takes out whole comes back whole behind the
        // loop, and a thread that emptied the list meanwhile took none of it.
        loop->next = returned.exchange(nullptr, std::memory_order_acq_rel);
        returned.store(loop, std::memory_order_release);
    }
    // Any thread but the audio thread: frees what blocks gave back.
    void reap();

private:
    std::atomic<Loop*> offered{nullptr};
    std::atomic<Loop*> returned{nullptr};
};
