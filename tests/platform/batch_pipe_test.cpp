#include "platform/batch_pipe.h"

#include <gtest/gtest.h>

#include <future>
#include <stdexcept>
#include <vector>

namespace tsunagi {
namespace {

struct Numbers {
    std::vector<int> values;
};

// Hands 0, 1, 2, … in batches of ten until `count`, then throws when `failAtEnd`.
void countTo(BatchPipe<Numbers>& pipe, int count, bool failAtEnd) {
    for (int next = 0; next < count;) {
        Numbers* batch = pipe.fill();
        if (!batch) return;
        batch->values.clear();
        for (int i = 0; i < 10 && next < count; ++i) batch->values.push_back(next++);
        pipe.filled();
    }
    if (failAtEnd) throw std::runtime_error("broken at the end");
}

TEST(BatchPipe, EveryBatchArrivesInOrderThenTheProducersErrorAfterThem) {
    for (bool fail : {false, true}) {
        BatchPipe<Numbers> pipe(3);
        pipe.start([&](BatchPipe<Numbers>& p) { countTo(p, 1000, fail); });
        std::vector<int> seen;
        auto drain = [&] {
            while (const Numbers* batch = pipe.next())
                seen.insert(seen.end(), batch->values.begin(), batch->values.end());
        };
        if (fail)
            EXPECT_THROW(drain(), std::runtime_error);
        else
            drain();
        ASSERT_EQ(seen.size(), 1000u);
        for (int i = 0; i < 1000; ++i) ASSERT_EQ(seen[i], i);
    }
}

TEST(BatchPipe, AUserThatStopsEarlyEndsTheProducerWithoutWaitingForIt) {
    // The producer would run for ever; leaving the scope must still end it.
    int batches = 0;
    {
        BatchPipe<Numbers> pipe(2);
        pipe.start([](BatchPipe<Numbers>& p) { countTo(p, 1 << 30, false); });
        while (pipe.next() && ++batches < 5) {
        }
    }
    EXPECT_EQ(batches, 5);
    // A producer that has nothing to hand over ends the user's loop at once.
    BatchPipe<Numbers> empty;
    empty.start([](BatchPipe<Numbers>&) {});
    EXPECT_EQ(empty.next(), nullptr);
    EXPECT_EQ(empty.next(), nullptr);
}

// The producer shares work with the user by how many batches wait for it.
TEST(BatchPipe, TheProducerSeesHowManyBatchesTheUserHasNotBegun) {
    BatchPipe<Numbers> pipe(4);
    std::vector<size_t> waiting;
    std::promise<void> threeFilled, oneTaken, measured;
    pipe.start([&](BatchPipe<Numbers>& p) {
        for (int b = 0; b < 3; ++b) {
            waiting.push_back(p.waiting());
            p.fill();
            p.filled();
        }
        waiting.push_back(p.waiting());
        threeFilled.set_value();
        oneTaken.get_future().wait();
        waiting.push_back(p.waiting());
        measured.set_value();
    });
    threeFilled.get_future().wait();
    ASSERT_NE(pipe.next(), nullptr);  // the user works on the first
    oneTaken.set_value();
    measured.get_future().wait();
    while (pipe.next()) {
    }
    EXPECT_EQ(waiting, (std::vector<size_t>{0, 1, 2, 3, 2}));
}

}  // namespace
}  // namespace tsunagi
