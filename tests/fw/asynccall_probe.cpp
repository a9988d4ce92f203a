// Runs the asynchronous request of the framework through its cases on a real window under Wine
// and prints one line per case, "ok NAME" or "failed NAME: WHY"; exits with 1 when any case failed.
#include "fw/CAsyncRequest.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "ProbeReport.h"

namespace {

const UINT kAnswer = WM_APP + 1;

HWND MakeWindow()
{
    return ::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

// The answers posted to the window within timeoutMs, as their tickets (wParam).
std::vector<WPARAM> TakeAnswers(HWND window, DWORD timeoutMs, size_t expected)
{
    std::vector<WPARAM> tickets;
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (tickets.size() < expected && ::GetTickCount64() < deadline) {
        MSG message;
        while (::PeekMessageA(&message, window, kAnswer, kAnswer, PM_REMOVE))
            tickets.push_back(message.wParam);
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_POSTMESSAGE);
    }
    return tickets;
}

struct Answer {
    int value = 0;
    DWORD thread = 0;
};

void AnswerComesAsAPostedTicket()
{
    HWND window = MakeWindow();
    CAsyncRequest<Answer> request;
    const unsigned ticket = request.Start(window, kAnswer, [](Answer& answer) {
        answer.value = 42;
        answer.thread = ::GetCurrentThreadId();
    });
    const bool waiting = request.IsWaiting();
    const std::vector<WPARAM> tickets = TakeAnswers(window, 5000, 1);
    std::shared_ptr<Answer> answer = tickets.size() == 1 ? request.Take(tickets[0]).result : nullptr;
    Report("answer_comes_as_a_posted_ticket",
           ticket != 0 && waiting && tickets.size() == 1 && tickets[0] == ticket && answer && answer->value == 42
               && answer->thread != ::GetCurrentThreadId() && !request.IsWaiting(),
           "ticket " + std::to_string(ticket) + ", answers " + std::to_string(tickets.size()));
    ::DestroyWindow(window);
}

void OneCallRunsAtATimeAndTheCallerNeverWaits()
{
    HWND window = MakeWindow();
    HANDLE release = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    CAsyncRequest<Answer> call;
    const ULONGLONG before = ::GetTickCount64();
    const unsigned first = call.Start(window, kAnswer, [release](Answer&) { ::WaitForSingleObject(release, 10000); });
    const unsigned second = call.Start(window, kAnswer, [](Answer&) {});
    const ULONGLONG took = ::GetTickCount64() - before;
    const bool busy = call.IsBusy();
    ::SetEvent(release);
    const std::vector<WPARAM> tickets = TakeAnswers(window, 5000, 1);
    const bool finished = tickets.size() == 1 && call.Take(tickets[0]);
    const unsigned third = call.Start(window, kAnswer, [](Answer&) {});
    const std::vector<WPARAM> more = TakeAnswers(window, 5000, 1);
    Report("one_call_runs_at_a_time_and_the_caller_never_waits",
           first != 0 && second == 0 && busy && took < 500 && finished && third != 0 && more.size() == 1
               && call.Take(more[0]),
           "first " + std::to_string(first) + ", second " + std::to_string(second) + ", took "
               + std::to_string(took) + " ms");
    ::CloseHandle(release);
    ::DestroyWindow(window);
}

void ACancelledOrOvertakenAnswerIsNotTaken()
{
    HWND window = MakeWindow();
    CAsyncRequest<Answer> request;
    const unsigned first = request.Start(window, kAnswer, [](Answer& answer) { answer.value = 1; });
    const std::vector<WPARAM> firstAnswer = TakeAnswers(window, 5000, 1);
    // An answer that comes after the next call started is stale.
    const unsigned second = request.Start(window, kAnswer, [](Answer& answer) { answer.value = 2; });
    const bool staleRefused = firstAnswer.size() == 1 && !request.Take(firstAnswer[0]);
    const std::vector<WPARAM> secondAnswer = TakeAnswers(window, 5000, 1);
    std::shared_ptr<Answer> taken = secondAnswer.size() == 1 ? request.Take(secondAnswer[0]).result : nullptr;
    // A cancelled call's answer is not taken either.
    request.Start(window, kAnswer, [](Answer& answer) { answer.value = 3; });
    request.Cancel();
    const std::vector<WPARAM> thirdAnswer = TakeAnswers(window, 5000, 1);
    const bool cancelledRefused = thirdAnswer.size() == 1 && !request.Take(thirdAnswer[0]);
    Report("a_cancelled_or_overtaken_answer_is_not_taken",
           first && second && staleRefused && taken && taken->value == 2 && cancelledRefused && !request.IsWaiting());
    ::DestroyWindow(window);
}

// Any program can post the answer message with a ticket of its choosing: one that comes while the
// work still runs hands nothing over, and the real answer is taken when it comes. Tickets do not
// count from 1, nor from the same number in every object.
void AForgedAnswerWhileTheWorkRunsIsNotTaken()
{
    HWND window = MakeWindow();
    HANDLE release = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    CAsyncRequest<Answer> request;
    const unsigned ticket = request.Start(window, kAnswer, [release](Answer& answer) {
        answer.value = 1;
        ::WaitForSingleObject(release, 10000);
        answer.value = 42;
    });
    const bool forgedRefused = !request.Take(ticket) && !request.Take(1) && request.IsWaiting();
    ::SetEvent(release);
    const std::vector<WPARAM> tickets = TakeAnswers(window, 5000, 1);
    std::shared_ptr<Answer> answer = tickets.size() == 1 ? request.Take(tickets[0]).result : nullptr;
    CAsyncRequest<Answer> other;
    const unsigned otherTicket = other.Start(window, kAnswer, [](Answer&) {});
    TakeAnswers(window, 5000, 1);
    Report("a_forged_answer_while_the_work_runs_is_not_taken",
           ticket != 0 && forgedRefused && answer && answer->value == 42 && ticket != 1 && otherTicket != ticket
               && otherTicket != 1,
           "ticket " + std::to_string(ticket) + ", other object's " + std::to_string(otherTicket)
               + (answer ? ", answer " + std::to_string(answer->value) : ", no answer"));
    ::CloseHandle(release);
    ::DestroyWindow(window);
}

// The work's own data goes with its thread, whether the window is gone or never existed: a lost
// answer leaks nothing.
void AnAnswerWithNoWindowLeaksNothing()
{
    bool ok = true;
    for (bool windowFirst : {true, false}) {
        HWND window = windowFirst ? MakeWindow() : nullptr;
        if (window)
            ::DestroyWindow(window);
        auto owned = std::make_shared<int>(7);
        std::weak_ptr<int> watch = owned;
        {
            CAsyncRequest<Answer> call;
            ok = ok && call.Start(window, kAnswer, [owned](Answer&) { ::Sleep(50); }) != 0;
            owned.reset();
        } // the call's object goes at once, without waiting for its work
        const ULONGLONG deadline = ::GetTickCount64() + 5000;
        while (!watch.expired() && ::GetTickCount64() < deadline)
            ::Sleep(10);
        ok = ok && watch.expired();
    }
    Report("an_answer_with_no_window_leaks_nothing", ok);
}

} // namespace

int main()
{
    AnswerComesAsAPostedTicket();
    OneCallRunsAtATimeAndTheCallerNeverWaits();
    ACancelledOrOvertakenAnswerIsNotTaken();
    AForgedAnswerWhileTheWorkRunsIsNotTaken();
    AnAnswerWithNoWindowLeaksNothing();
    return ProbeExitCode();
}
