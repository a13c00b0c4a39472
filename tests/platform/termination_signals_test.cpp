#include "platform/termination_signals.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <string>
#include <vector>

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
// Each is reported once, and the mask is restored afterwards.
TEST(TerminationSignals, ReportsEachSignalOnceHoweverSentAndRestoresTheMask) {
    enum class Sender { kRaise, kProcess, kOtherThread };
    const std::pair<int, Sender> cases[] = {{SIGINT, Sender::kRaise},
                                            {SIGTERM, Sender::kProcess},
                                            {SIGHUP, Sender::kOtherThread},
                                            {SIGINT, Sender::kOtherThread}};
    for (auto [signal, sender] : cases) {
        SCOPED_TRACE(std::string(sigabbrev_np(signal)) + " sender " +
                     std::to_string(static_cast<int>(sender)));
        ASSERT_FALSE(Blocked(signal));
        {
            TerminationSignals signals;
            ASSERT_TRUE(signals.Fd() >= 0 && Blocked(signal));
            EXPECT_EQ(signals.Take() + signals.Wait(0), 0);
            if (sender == Sender::kRaise) {
                std::raise(signal);
                EXPECT_EQ(signals.Take(), signal);
            } else if (sender == Sender::kProcess) {
                ::kill(::getpid(), signal);
                EXPECT_EQ(signals.Wait(kGenerousWaitMs), signal);
            } else {
                Thread thread([](void* p) { ::kill(::getpid(), *static_cast<int*>(p)); }, &signal);
                EXPECT_EQ(signals.Wait(-1), signal);
            }
            EXPECT_EQ(signals.Take(), 0);
        }
        EXPECT_FALSE(Blocked(signal));
    }
}

// A mask blocked before stays blocked after; pending signals come lowest
// number first.
TEST(TerminationSignals, KeepsAMaskBlockedBeforeAndReportsSeveralInTurn) {
    sigset_t hup;
    sigemptyset(&hup);
    sigaddset(&hup, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &hup, nullptr);
    {
        TerminationSignals signals;
        std::raise(SIGTERM);
        std::raise(SIGINT);
        EXPECT_EQ(std::vector<int>({signals.Wait(kGenerousWaitMs), signals.Wait(kGenerousWaitMs),
                                    signals.Take()}),
                  std::vector<int>({SIGINT, SIGTERM, 0}));
    }
    EXPECT_TRUE(Blocked(SIGHUP) && !Blocked(SIGTERM));
    pthread_sigmask(SIG_UNBLOCK, &hup, nullptr);
}

}  // namespace
}  // namespace kinemo::platform
