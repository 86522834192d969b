// The scoped route of the toolkit's context-free progress callback.

#include "capture_test_support.h"

#include "session/progress_reporter.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>

#include <vector>

namespace wavelark {
namespace {

TEST(ProgressRouteTest, CallsReachTheInnermostRouteAndTheOuterOneTakesOverWhenItGoes)
{
    std::vector<int> outer;
    std::vector<int> inner;
    EXPECT_EQ(progressReporter(5), 0);  // no route: nothing happens
    {
        const ProgressRoute first([&](int percent) { outer.push_back(percent); });
        EXPECT_EQ(progressReporter(10), 0);
        {
            const ProgressRoute second([&](int percent) { inner.push_back(percent); });
            EXPECT_EQ(progressReporter(20), 0);
        }
        EXPECT_EQ(progressReporter(30), 0);
    }
    EXPECT_EQ(progressReporter(40), 0);
    EXPECT_EQ(outer, (std::vector<int>{10, 30}));
    EXPECT_EQ(inner, (std::vector<int>{20}));
}

// Waiting events run before the 1st, 21st, 41st ... call of each route, and only then.
TEST(ProgressRouteTest, EventsRunOnEveryTwentiethCallFromTheFirst)
{
    testing::ensureRecorderRuntime();
    QCoreApplication::processEvents();
    QObject receiver;
    int delivered = 0;
    for (int round = 0; round < 2; ++round) {
        const ProgressRoute route([](int) {});
        std::vector<int> pumpedAt;
        for (int call = 1; call <= 45; ++call) {
            QMetaObject::invokeMethod(&receiver, [&] { ++delivered; }, Qt::QueuedConnection);
            const int before = delivered;
            progressReporter(call);
            if (delivered != before)
                pumpedAt.push_back(call);
        }
        EXPECT_EQ(pumpedAt, (std::vector<int>{1, 21, 41})) << "round " << round;
        QCoreApplication::processEvents();
    }
}

}
}
