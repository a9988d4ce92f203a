// Repeating an attempt that may have to start over, a bounded number of times.
#pragma once

enum class AttemptResult { Done, Failed, StartOver };

// Runs attempt() until it is done or fails, at most `attempts` times; true only when it was
// done. Something that keeps changing under the attempt therefore ends as a failure, never
// as a loop without end.
template <class Attempt>
bool RunBounded(int attempts, Attempt attempt)
{
    for (int i = 0; i < attempts; ++i) {
        switch (attempt()) {
        case AttemptResult::Done:
            return true;
        case AttemptResult::Failed:
            return false;
        case AttemptResult::StartOver:
            break;
        }
    }
    return false;
}
