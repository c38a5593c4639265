// The system's side of many processes: the cores this process may use
// follow its CPU affinity; a worker gets whole messages both ways, sees the
// end of what is sent, and its end (an exit code or a signal) is told.
#include <gtest/gtest.h>

#include <sched.h>
#include <signal.h>
#include <unistd.h>

#include "frontend/system/system.h"

namespace {

using namespace frontend;

TEST(Workers, TheCoresFollowTheAffinity) {
    cpu_set_t all;
    ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
    // No more than the affinity allows (a control group's quota may allow fewer).
    EXPECT_GE(usableCores(), 1);
    EXPECT_LE(usableCores(), CPU_COUNT(&all));
    cpu_set_t one;
    CPU_ZERO(&one);
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
        if (CPU_ISSET(cpu, &all)) {
            CPU_SET(cpu, &one);
            break;
        }
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    EXPECT_EQ(usableCores(), 1);
    sched_setaffinity(0, sizeof all, &all);
}

TEST(Workers, WholeMessagesBothWaysAndTheirEnds) {
    // The worker sends back each message reversed, then its count as its exit code.
    Worker worker;
    std::string error;
    ASSERT_TRUE(startWorker(
        [](int channel) {
            std::string message;
            int count = 0;
            while (receiveMessage(channel, message)) {
                ++count;
                if (!sendMessage(channel, std::string(message.rbegin(), message.rend()))) return 99;
            }
            return count;
        },
        worker, error))
        << error;
    // Larger than a socket's buffer: it takes many reads and writes.
    std::string large(3 << 20, 'x');
    large.front() = 'a';
    std::string answer;
    for (const std::string& message : {std::string("hello"), std::string(), large}) {
        ASSERT_TRUE(sendMessage(worker.channel, message));
        ASSERT_EQ(waitForChannels({worker.channel}), 0);
        ASSERT_TRUE(receiveMessage(worker.channel, answer));
        EXPECT_EQ(answer, std::string(message.rbegin(), message.rend()));
    }
    finishSending(worker);
    EXPECT_FALSE(receiveMessage(worker.channel, answer));  // the worker ended
    const WorkerEnd end = endWorker(worker);
    EXPECT_EQ(end.code, 3);
    EXPECT_EQ(end.signal, 0);
    EXPECT_EQ(worker.id, 0);

    ASSERT_TRUE(startWorker(
        [](int) {
            raise(SIGKILL);
            return 0;
        },
        worker, error));
    EXPECT_FALSE(receiveMessage(worker.channel, answer));
    EXPECT_EQ(endWorker(worker).signal, SIGKILL);
}

}  // namespace
