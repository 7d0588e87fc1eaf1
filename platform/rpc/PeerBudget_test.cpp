// What a peer may hold, and what becomes of a request that does not fit.
#include "platform/rpc/PeerBudget.h"

#include <gtest/gtest.h>

#include <thread>

namespace plat::rpc {
namespace {

constexpr std::size_t kBound = PeerBudget::kMaxHeldBytes;
constexpr std::size_t kMiB = 1u << 20;

TEST(PeerBudgetTest, ARequestIsTakenWhileItFitsAndAloneWhateverItsSize)
{
    using Verdict = PeerBudget::Verdict;
    const struct {
        const char* what;
        std::size_t requests, replies, cost;
        Verdict verdict;
    } cases[] = {
        {"nothing held, a frame past the bound", 0, 0, 4 * kBound, Verdict::Take},
        {"exactly up to the bound", kBound - 3 * kMiB, 2 * kMiB, kMiB, Verdict::Take},
        {"one byte past it, calls running", kBound - 3 * kMiB, 2 * kMiB, kMiB + 1, Verdict::Wait},
        {"one byte past it, only replies unread", 0, kBound - kMiB, kMiB + 1, Verdict::CutOff},
        {"a lone large call runs", 4 * kBound, 0, 1, Verdict::Wait},
        {"a lone large reply waits unread", 0, 4 * kBound, 1, Verdict::CutOff},
        {"calls and replies together past the bound", kBound, kBound, 1, Verdict::Wait},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PeerBudget::ForRequest(c.requests, c.replies, c.cost), c.verdict) << c.what;
}

TEST(PeerBudgetTest, AWaitingRequestIsTakenOnceACallGivesBackItsRoom)
{
    PeerBudget budget;
    const std::size_t half = kBound / 2 + 1;
    ASSERT_EQ(budget.Admit(half, false), PeerBudget::Verdict::Take);
    EXPECT_EQ(budget.Admit(half, false), PeerBudget::Verdict::Wait) << "taken only when asked to wait";
    EXPECT_EQ(budget.Requests(), half);

    PeerBudget::Verdict waited = PeerBudget::Verdict::Wait;
    std::thread reader([&] { waited = budget.Admit(half, true); });
    budget.Give(half);
    reader.join();
    EXPECT_EQ(waited, PeerBudget::Verdict::Take);
    EXPECT_EQ(budget.Requests(), half);

    // Unread replies arriving meanwhile leave no room: the reader learns
    // it at once, and a closed budget ends every wait.
    budget.SetReplies(kBound);
    std::thread second([&] { waited = budget.Admit(1, true); });
    budget.Give(half);
    second.join();
    EXPECT_EQ(waited, PeerBudget::Verdict::CutOff);
    budget.SetReplies(0);
    ASSERT_EQ(budget.Admit(kBound, false), PeerBudget::Verdict::Take);
    std::thread third([&] { waited = budget.Admit(1, true); });
    budget.Close();
    third.join();
    EXPECT_EQ(waited, PeerBudget::Verdict::CutOff);
}

} // namespace
} // namespace plat::rpc
