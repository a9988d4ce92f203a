// The asynchronous request's bookkeeping: which answer is taken, when the next call starts, and
// what becomes of the work's data. The work runs when the test says (a launcher that keeps it),
// and its message is kept as the ticket it carries, so that each case can lose, delay or forge one.
#include <gtest/gtest.h>

#include <climits>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "fw/CAsyncRequest.h"

namespace {

struct Result {
    int value = 0;
    std::shared_ptr<int> held; // something of the work's own, to see when it goes
};

// Starts work when the test runs it, and keeps the tickets the work tells.
class ManualThreads {
public:
    CAsyncRequest<Result>::Launcher Launcher(bool refuse = false)
    {
        return [this, refuse](std::function<void()> run) {
            if (refuse)
                return false;
            m_waiting.push_back(std::move(run));
            return true;
        };
    }
    CAsyncRequest<Result>::Teller Teller()
    {
        return [this](unsigned ticket) { m_told.push_back(ticket); };
    }
    // Runs the oldest work still waiting to run; its message is told.
    void RunNext()
    {
        ASSERT_FALSE(m_waiting.empty());
        std::function<void()> run = std::move(m_waiting.front());
        m_waiting.erase(m_waiting.begin());
        run();
    }
    size_t Waiting() const { return m_waiting.size(); }
    const std::vector<unsigned>& Told() const { return m_told; }

private:
    std::vector<std::function<void()>> m_waiting;
    std::vector<unsigned> m_told;
};

std::function<void(Result&)> Sets(int value)
{
    return [value](Result& result) { result.value = value; };
}

} // namespace

TEST(AsyncRequest, OnlyTheLatestCallsAnswerIsTakenAndOnlyOnce)
{
    ManualThreads threads;
    CAsyncRequest<Result> request(threads.Launcher(), 100);
    EXPECT_FALSE(request.IsWaiting());
    const unsigned first = request.Start(threads.Teller(), Sets(1));
    EXPECT_NE(first, 0u);
    EXPECT_TRUE(request.IsWaiting());
    EXPECT_EQ(request.Start(threads.Teller(), Sets(9)), 0u) << "one call runs at a time";
    threads.RunNext();
    ASSERT_EQ(threads.Told(), std::vector<unsigned>{first});
    // A call started before the first call's message is handled supersedes it.
    const unsigned second = request.Start(threads.Teller(), Sets(2));
    EXPECT_NE(second, 0u);
    EXPECT_NE(second, first);
    EXPECT_FALSE(request.Take(first)) << "an overtaken call's answer is stale";
    EXPECT_TRUE(request.IsWaiting()) << "a stale answer leaves the latest awaited";
    threads.RunNext();
    const CAsyncRequest<Result>::Answer answer = request.Take(second);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer.result->value, 2);
    EXPECT_FALSE(answer.overtaken);
    EXPECT_FALSE(request.IsWaiting());
    EXPECT_FALSE(request.Take(second)) << "an answer counts once";
    EXPECT_FALSE(request.Take(0));
}

TEST(AsyncRequest, ACancelledCallsAnswerIsNotTakenAndItsWorkStillHoldsTheRequest)
{
    ManualThreads threads;
    CAsyncRequest<Result> request(threads.Launcher(), 7);
    const unsigned ticket = request.Start(threads.Teller(), Sets(1));
    request.Cancel();
    EXPECT_FALSE(request.IsWaiting());
    EXPECT_TRUE(request.IsBusy());
    EXPECT_TRUE(request.Ask()) << "nothing is awaited: a new ask starts at once";
    EXPECT_EQ(request.Start(threads.Teller(), Sets(2)), 0u) << "work given up on still holds the request";
    threads.RunNext();
    EXPECT_FALSE(request.Take(ticket));
    const unsigned next = request.Start(threads.Teller(), Sets(3));
    ASSERT_NE(next, 0u);
    EXPECT_TRUE(request.IsWaiting()) << "a new call is not born cancelled";
    threads.RunNext();
    const CAsyncRequest<Result>::Answer answer = request.Take(next);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer.result->value, 3);
}

TEST(AsyncRequest, ACallWithNoThreadIsNotAwaitedAndTicketsNeverComeBackAsZero)
{
    ManualThreads refusing;
    CAsyncRequest<Result> refused(refusing.Launcher(true), 0);
    EXPECT_EQ(refused.Start(refusing.Teller(), Sets(1)), 0u);
    EXPECT_FALSE(refused.IsWaiting());
    EXPECT_FALSE(refused.IsBusy()) << "a call that never started holds nothing";
    EXPECT_FALSE(refused.Take(1));

    ManualThreads threads;
    CAsyncRequest<Result> request(threads.Launcher(), UINT_MAX - 3);
    for (int i = 0; i < 70000; ++i) {
        const unsigned ticket = request.Start(threads.Teller(), Sets(i));
        ASSERT_NE(ticket, 0u);
        threads.RunNext();
        ASSERT_TRUE(request.Take(ticket));
    }
}

TEST(AsyncRequest, AsksWhileACallRunsAreServedByOneMoreCallThatOvertakesIt)
{
    ManualThreads threads;
    CAsyncRequest<Result> request(threads.Launcher(), 1);
    ASSERT_TRUE(request.Ask());
    const unsigned first = request.Start(threads.Teller(), Sets(1));
    EXPECT_FALSE(request.Ask());
    EXPECT_FALSE(request.Ask()) << "asks made while one call runs are served by one more call";
    threads.RunNext();
    CAsyncRequest<Result>::Answer answer = request.Take(first);
    ASSERT_TRUE(answer);
    EXPECT_TRUE(answer.overtaken) << "the answer is older than what was asked since";
    const unsigned second = request.Start(threads.Teller(), Sets(2));
    EXPECT_EQ(threads.Waiting(), 1u) << "exactly one more call";
    threads.RunNext();
    answer = request.Take(second);
    ASSERT_TRUE(answer);
    EXPECT_FALSE(answer.overtaken);
    EXPECT_FALSE(request.IsWaiting());
    EXPECT_TRUE(request.Ask());
}

TEST(AsyncRequest, ACancelForgetsTheAsksThatWaited)
{
    ManualThreads threads;
    CAsyncRequest<Result> request(threads.Launcher(), 1);
    ASSERT_TRUE(request.Ask());
    const unsigned ticket = request.Start(threads.Teller(), Sets(1));
    EXPECT_FALSE(request.Ask());
    request.Cancel();
    threads.RunNext();
    EXPECT_FALSE(request.Take(ticket));
    const unsigned next = request.Start(threads.Teller(), Sets(2));
    threads.RunNext();
    const CAsyncRequest<Result>::Answer answer = request.Take(next);
    ASSERT_TRUE(answer);
    EXPECT_FALSE(answer.overtaken);
}

TEST(AsyncRequest, AForgedAnswerWhileTheWorkRunsIsNotTaken)
{
    ManualThreads threads;
    CAsyncRequest<Result> request(threads.Launcher(), 500);
    const unsigned ticket = request.Start(threads.Teller(), Sets(42));
    EXPECT_FALSE(request.Take(ticket)) << "the right ticket, but the work has not ended";
    EXPECT_FALSE(request.Take(ticket + (1ull << 32))) << "only the ticket itself, not one that ends in it";
    EXPECT_TRUE(request.IsWaiting());
    threads.RunNext();
    const CAsyncRequest<Result>::Answer answer = request.Take(ticket);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer.result->value, 42);
}

TEST(AsyncRequest, ALostMessageLeaksNothing)
{
    auto owned = std::make_shared<int>(7);
    std::weak_ptr<int> watch = owned;
    ManualThreads threads;
    {
        CAsyncRequest<Result> request(threads.Launcher(), 3);
        request.Start(threads.Teller(), [owned](Result& result) { result.held = owned; });
        owned.reset();
        threads.RunNext(); // its message is never handled
        EXPECT_FALSE(watch.expired()) << "the result waits for the window";
    }
    EXPECT_TRUE(watch.expired());

    // The request goes before its work has run: the work's data goes with the work.
    owned = std::make_shared<int>(8);
    watch = owned;
    {
        CAsyncRequest<Result> request(threads.Launcher(), 3);
        request.Start(threads.Teller(), [owned](Result&) {});
        owned.reset();
    }
    EXPECT_FALSE(watch.expired());
    threads.RunNext();
    EXPECT_TRUE(watch.expired());
}

TEST(AsyncRequest, WorkRunsOnAThreadOfItsOwnAndTicketsStartAtRandom)
{
    CAsyncRequest<Result> request;
    CAsyncRequest<Result> other;
    std::mutex lock;
    std::condition_variable told;
    std::vector<unsigned> tickets;
    const std::thread::id caller = std::this_thread::get_id();
    std::thread::id worker;
    const unsigned ticket = request.Start(
        [&](unsigned done) {
            std::lock_guard<std::mutex> guard(lock);
            tickets.push_back(done);
            told.notify_all();
        },
        [&](Result& result) {
            result.value = 5;
            worker = std::this_thread::get_id();
        });
    ASSERT_NE(ticket, 0u);
    {
        std::unique_lock<std::mutex> guard(lock);
        ASSERT_TRUE(told.wait_for(guard, std::chrono::seconds(30), [&] { return !tickets.empty(); }));
    }
    const CAsyncRequest<Result>::Answer answer = request.Take(tickets[0]);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer.result->value, 5);
    EXPECT_NE(worker, caller);
    const unsigned otherTicket = other.Start([](unsigned) {}, [](Result&) {});
    EXPECT_NE(otherTicket, ticket) << "two requests do not count from the same number";
}
