#include "planning/job_order.h"
#include "run/core.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// Each run appends its name to a log, so the log holds the order the core ran them in.
template <typename Codec> std::unique_ptr<Codec> LoggingRun(const QString& log, const QString& name)
{
    auto run = std::make_unique<Codec>();
    run->SetExecutable(u"/bin/sh"_s);
    run->SetShowWindow(false);
    run->SetParameters(u"-c \"echo %1 >> '%2'\""_s.arg(name, log));
    return run;
}

TEST(JobOrderTest, LongFilesRunFirstUnknownLastEachDecoderBeforeItsCoder)
{
    QTemporaryDir folder;
    const QString log = folder.filePath(u"order.log"_s);
    // Durations in ms; 0 is unknown. "w" is a WAV source: a coder without a decoder.
    const std::vector<std::pair<QString, qint64>> planned = {
        {u"a"_s, 20000}, {u"u1"_s, 0}, {u"b"_s, 200000},
        {u"w"_s, 20000}, {u"u2"_s, 0}, {u"c"_s, 60000},
    };
    std::vector<std::unique_ptr<CFileInfo>> files;
    QList<CFileInfo*> list;
    for (const auto& [name, duration] : planned) {
        auto file = std::make_unique<CFileInfo>();
        file->duration = duration;
        if (name != u"w"_s)
            file->decoder = LoggingRun<CDecoder>(log, u"D"_s + name);
        file->coder = LoggingRun<CCoder>(log, u"C"_s + name);
        file->coder->decoder = file->decoder.get();
        list << file.get();
        files.push_back(std::move(file));
    }

    const struct
    {
        bool longFirst;
        const char* order;
    } cases[] = {
        {true, "Db Cb Dc Cc Da Ca Cw Du1 Cu1 Du2 Cu2 "},
        {false, "Da Ca Du1 Cu1 Db Cb Cw Du2 Cu2 Dc Cc "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.longFirst);
        QFile::remove(log);
        CCore core;
        core.SetThreadsCount(1); // one slot runs strictly in queue order
        EXPECT_EQ(QueueFiles(core, OrderForStart(list, c.longFirst)), 11);
        ASSERT_TRUE(core.Start());
        ASSERT_TRUE(core.WaitForWorkers(20000));
        QFile file(log);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll().replace('\n', ' ').toStdString(), c.order);
    }
}

} // namespace
