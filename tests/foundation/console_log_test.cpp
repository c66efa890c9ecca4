#include "foundation/console_log.h"

#include <gtest/gtest.h>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

TEST(ConsoleLogTest, KeepsLinesInTheOrderTheyCame)
{
    ConsoleLog log;
    EXPECT_TRUE(log.Lines().isEmpty());
    log.Append(u"first"_s);
    log.Append(QString());
    log.Append(u"third"_s);
    EXPECT_EQ(log.Lines(), (QStringList{u"first"_s, QString(), u"third"_s}));
}

TEST(ConsoleLogTest, LinesFromManyThreadsAreAllKeptInEachThreadsOrder)
{
    constexpr int kThreads = 4;
    constexpr int kLinesPerThread = 2000;
    ConsoleLog log;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&log, t] {
            for (int i = 0; i < kLinesPerThread; ++i)
                log.Append(u"%1 %2"_s.arg(t).arg(i));
        });
    }
    // Reading while others append must be safe too.
    while (log.Lines().size() < kThreads * kLinesPerThread / 2)
        std::this_thread::yield();
    for (std::thread& thread : threads)
        thread.join();

    const QStringList lines = log.Lines();
    ASSERT_EQ(lines.size(), kThreads * kLinesPerThread);
    int next[kThreads] = {};
    for (const QString& line : lines) {
        const int t = line.section(u' ', 0, 0).toInt();
        EXPECT_EQ(line.section(u' ', 1, 1).toInt(), next[t]++);
    }
}
