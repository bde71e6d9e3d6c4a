#include "platform/work_pipe.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace tsunagi {
namespace {

TEST(WorkPipe, ResultsComeInTheOrderOfTheJobsAndAFailureAtItsOwnJob) {
    WorkPipe<int, int> pipe([](int& job) {
        if (job == 3) throw std::runtime_error("three");
        return job * 10;
    });
    for (int job = 1; job <= 5; ++job) pipe.put(job);
    EXPECT_EQ(pipe.waiting(), 5u);
    EXPECT_EQ(pipe.take(), 10);
    EXPECT_EQ(pipe.take(), 20);
    EXPECT_THROW(pipe.take(), std::runtime_error);
    EXPECT_EQ(pipe.take(), 40);
    EXPECT_EQ(pipe.take(), 50);
    EXPECT_EQ(pipe.waiting(), 0u);
}

TEST(WorkPipe, ACallerThatStopsEarlyDoesNotWaitForEveryJob) {
    int done = 0;
    {
        WorkPipe<int, int> pipe([&done](int& job) {
            ++done;
            return job;
        });
        for (int job = 0; job < 1000; ++job) pipe.put(job);
        EXPECT_EQ(pipe.take(), 0);
    }  // the rest are dropped, and the thread ends
    EXPECT_GE(done, 1);
}

}  // namespace
}  // namespace tsunagi
