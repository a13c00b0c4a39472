#include "platform/termination_signals.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <string>

#include "platform/threads.h"

namespace kinemo::platform {
namespace {

constexpr int kGenerousWaitMs = 30000;

bool Blocked(int signal) {
    sigset_t mask;
    pthread_sigmask(SIG_BLOCK, nullptr, &mask);
    return sigismember(&mask, signal) == 1;
}

// How a signal reaches the program: to this thread, to the process while
// this thread is the only one, or to the process from a thread started after
// the helper (which inherits the blocked mask, so it is not killed either).
enum class Sender { kRaise, kProcess, kOtherThread };

struct Case {
    int signal;
    Sender sender;
};

class TerminationSignalsTest : public ::testing::TestWithParam<Case> {};

TEST_P(TerminationSignalsTest, ReportsEachSignalOnceAndRestoresTheMask) {
    const Case c = GetParam();
    ASSERT_FALSE(Blocked(c.signal));
    {
        TerminationSignals signals;
        ASSERT_GE(signals.Fd(), 0);
        EXPECT_TRUE(Blocked(c.signal));
        EXPECT_EQ(signals.Take(), 0);
        EXPECT_EQ(signals.Wait(0), 0);
        switch (c.sender) {
            case Sender::kRaise:
                std::raise(c.signal);
                EXPECT_EQ(signals.Take(), c.signal);
                break;
            case Sender::kProcess:
                ::kill(::getpid(), c.signal);
                EXPECT_EQ(signals.Wait(kGenerousWaitMs), c.signal);
                break;
            case Sender::kOtherThread: {
                int signal = c.signal;
                Thread sender([](void* p) { ::kill(::getpid(), *static_cast<int*>(p)); }, &signal);
                EXPECT_EQ(signals.Wait(-1), c.signal);
                break;
            }
        }
        EXPECT_EQ(signals.Take(), 0);
    }
    EXPECT_FALSE(Blocked(c.signal));
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    static const char* const kSenders[] = {"Raise", "Process", "OtherThread"};
    return std::string(sigabbrev_np(info.param.signal)) +
           kSenders[static_cast<int>(info.param.sender)];
}

INSTANTIATE_TEST_SUITE_P(All, TerminationSignalsTest,
                         ::testing::Values(Case{SIGINT, Sender::kRaise},
                                           Case{SIGTERM, Sender::kProcess},
                                           Case{SIGHUP, Sender::kOtherThread},
                                           Case{SIGINT, Sender::kOtherThread}),
                         CaseName);

TEST(TerminationSignals, KeepsAMaskBlockedBeforeAndReportsSeveralInTurn) {
    sigset_t hup;
    sigemptyset(&hup);
    sigaddset(&hup, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &hup, nullptr);
    {
        TerminationSignals signals;
        std::raise(SIGTERM);
        std::raise(SIGINT);
        // Pending signals come lowest number first.
        EXPECT_EQ(signals.Wait(kGenerousWaitMs), SIGINT);
        EXPECT_EQ(signals.Wait(kGenerousWaitMs), SIGTERM);
        EXPECT_EQ(signals.Take(), 0);
    }
    EXPECT_TRUE(Blocked(SIGHUP));
    EXPECT_FALSE(Blocked(SIGTERM));
    pthread_sigmask(SIG_UNBLOCK, &hup, nullptr);
}

}  // namespace
}  // namespace kinemo::platform
