// What an asynchronous request needs of the system: a thread that runs a piece of work and
// ends, and a number to start its tickets from.
#pragma once
#include <functional>

// Runs `work` on a new thread of its own, which nobody waits for; false when none started.
bool StartWorkThread(std::function<void()> work);

// A random number, so that another program cannot tell which ticket an answer will carry. Should
// the system give no random number, the tickets are merely harder to guess than counting from 1.
unsigned RandomTicketBase();
