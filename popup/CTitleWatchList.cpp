#include "popup/CTitleWatchList.h"

void CTitleWatchList::Add(Window window)
{
    if (!window)
        return;
    Remove(window);
    if (m_count == kCapacity)
        Remove(m_windows[0]);
    m_windows[m_count++] = window;
}

void CTitleWatchList::Remove(Window window)
{
    for (size_t i = 0; i < m_count; ++i) {
        if (m_windows[i] != window)
            continue;
        for (size_t j = i + 1; j < m_count; ++j)
            m_windows[j - 1] = m_windows[j];
        --m_count;
        if (m_next > i)
            --m_next; // the window that was due next stays due next
        return;
    }
}

size_t CTitleWatchList::NextBatch(Window (&batch)[kReadsPerTick])
{
    const size_t reads = m_count < kReadsPerTick ? m_count : kReadsPerTick;
    for (size_t i = 0; i < reads; ++i) {
        if (m_next >= m_count)
            m_next = 0;
        batch[i] = m_windows[m_next++];
    }
    return reads;
}
