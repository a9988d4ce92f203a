// The window-side bookkeeping of asynchronous calls: which answer is wanted, and when the next
// call starts.
#include <gtest/gtest.h>

#include "fw/CCallBook.h"
#include "fw/CallTickets.h"

TEST(CallTickets, OnlyTheLatestTicketsAnswerIsWanted)
{
    CCallTickets tickets;
    EXPECT_FALSE(tickets.Awaiting());
    const unsigned first = tickets.Issue();
    const unsigned second = tickets.Issue();
    EXPECT_NE(first, 0u);
    EXPECT_NE(first, second);
    EXPECT_TRUE(tickets.Awaiting());
    EXPECT_FALSE(tickets.Accept(first)) << "an overtaken call's answer is stale";
    EXPECT_TRUE(tickets.Awaiting()) << "a stale answer leaves the latest awaited";
    EXPECT_TRUE(tickets.Accept(second));
    EXPECT_FALSE(tickets.Awaiting());
    EXPECT_FALSE(tickets.Accept(second)) << "an answer counts once";
    EXPECT_FALSE(tickets.Accept(0));
}

TEST(CallTickets, ACancelledCallsAnswerIsNotWantedButEndsTheWait)
{
    CCallTickets tickets;
    const unsigned ticket = tickets.Issue();
    tickets.Cancel();
    EXPECT_FALSE(tickets.Awaiting());
    EXPECT_TRUE(tickets.IsLatest(ticket));
    EXPECT_FALSE(tickets.Accept(ticket));
    const unsigned next = tickets.Issue();
    EXPECT_TRUE(tickets.Awaiting()) << "a new call is not born cancelled";
    EXPECT_TRUE(tickets.Accept(next));
}

TEST(CallTickets, AWithdrawnCallIsNotAwaitedAndTicketsNeverComeBackAsZero)
{
    CCallTickets tickets;
    const unsigned ticket = tickets.Issue();
    tickets.Withdraw(ticket);
    EXPECT_FALSE(tickets.Awaiting());
    EXPECT_FALSE(tickets.Accept(ticket));
    for (int i = 0; i < 70000; ++i)
        ASSERT_NE(tickets.Issue(), 0u);
}

TEST(CallBook, AnAskWhileACallRunsWaitsAndOvertakesItsAnswer)
{
    CCallBook book;
    ASSERT_TRUE(book.Ask());
    book.Started();
    EXPECT_TRUE(book.Running());
    EXPECT_FALSE(book.Ask());
    EXPECT_FALSE(book.Ask()) << "asks made while one call runs are served by one more call";
    EXPECT_TRUE(book.AskedAgain());
    CCallBook::Outcome outcome = book.Ended();
    EXPECT_FALSE(outcome.apply) << "the answer is older than what was asked since";
    EXPECT_TRUE(outcome.startNext);
    book.Started();
    outcome = book.Ended();
    EXPECT_TRUE(outcome.apply);
    EXPECT_FALSE(outcome.startNext);
    EXPECT_FALSE(book.Running());
    EXPECT_TRUE(book.Ask());
}
