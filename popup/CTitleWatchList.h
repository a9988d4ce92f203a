// The windows whose titles the popup keeps reading after their report. A window may appear
// with a neutral title ("Preparing...") and announce its long operation only later, or have its
// title set only after the creation report was read; the popup re-reads the titles of the
// recently reported windows on a short timer while they live. The list is bounded: it holds the
// most recently reported windows only, and each tick reads at most a fixed number of them, in
// turn, so a desktop full of windows costs the popup a fixed, small amount of work.
#pragma once
#include <cstddef>
#include <cstdint>

class CTitleWatchList {
public:
    using Window = std::uintptr_t;
    static constexpr size_t kCapacity = 64;    // windows kept
    static constexpr size_t kReadsPerTick = 16; // titles read per tick

    // A reported window whose title does not match (yet). A window already kept becomes the
    // newest; when the list is full, the window reported longest ago leaves it.
    void Add(Window window);
    // The window is gone, or now accompanied by the popup.
    void Remove(Window window);
    bool IsEmpty() const { return m_count == 0; }
    size_t Size() const { return m_count; }

    // The windows to read on this tick: at most kReadsPerTick, taking up where the last tick
    // stopped, so every kept window is read once within ceil(Size() / kReadsPerTick) ticks.
    // Returns how many were written to batch.
    size_t NextBatch(Window (&batch)[kReadsPerTick]);

private:
    Window m_windows[kCapacity] = {}; // oldest report first
    size_t m_count = 0;
    size_t m_next = 0; // where the next batch begins
};
