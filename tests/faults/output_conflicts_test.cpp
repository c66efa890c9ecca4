#include "fault_fixtures.h"

#include <QTemporaryDir>

using namespace Qt::StringLiterals;
using namespace faults;

namespace {

// Results that would land on files already there: the planner names each of them before
// anything runs, and no source of the batch is ever written to.
TEST(OutputConflictsTest, NothingIsOverwrittenUnwarnedAndNoSourceIsWrittenTo)
{
    CScratchFolder root;
    ASSERT_TRUE(root.isValid());
    for (const QString& folder : {u"a"_s, u"b"_s})
        QDir().mkpath(root.filePath(folder));
    auto wav = [&](const QString& name) {
        const QString path = root.filePath(name);
        EXPECT_TRUE(fixtures::MakeWav(path, 8000, 1, 16, 0.2));
        return path;
    };
    const QString lamePath = Program(u"lame"_s);
    auto lame = MakeCodec<CCoder>(lamePath, u"--quiet -V 9 %in% %out%"_s, u"mp3"_s);
    auto sox = MakeCodec<CCoder>(Program(u"sox"_s), u"%in% -t wav %out%"_s, u"wav"_s);

    // An encoder whose extension is the source's: the result would replace its own source.
    const QString ownSource = wav(u"a/own.wav"_s);
    // "song.wav" becomes "song.mp3", which is the source of another entry.
    const QString songWav = wav(u"a/song.wav"_s);
    const QString songMp3 = root.filePath(u"a/song.mp3"_s);
    ASSERT_TRUE(fixtures::Run(u"lame"_s, {u"--quiet"_s, songWav, songMp3}));
    // Two sources of the same name in different folders, into one output folder.
    const QString twinA = wav(u"a/twin.wav"_s);
    const QString twinB = wav(u"b/twin.wav"_s);
    // A result already there from an earlier conversion.
    const QString again = wav(u"a/again.wav"_s);
    const QString earlier = root.filePath(u"out/again.mp3"_s);
    ASSERT_TRUE(QFile::copy(songMp3, earlier));
    // And one without any conflict.
    const QString plain = wav(u"a/plain.wav"_s);

    struct Entry
    {
        QString source;
        CCoder* coder;
        QString outputFolder;
    };
    const QString out = root.filePath(u"out/"_s);
    const QList<Entry> entries = {
        {ownSource, sox.get(), QString()}, {songWav, lame.get(), QString()},
        {songMp3, sox.get(), out},         {twinA, lame.get(), out},
        {twinB, lame.get(), out},          {again, lame.get(), out},
        {plain, lame.get(), out},
    };
    std::vector<std::unique_ptr<CFileInfo>> files;
    QHash<QString, QByteArray> before;
    PlannedDecoders noDecoders;
    for (const Entry& entry : entries) {
        auto file = std::make_unique<CFileInfo>();
        ASSERT_TRUE(file->Load(entry.source));
        ASSERT_TRUE(Plan(*file, noDecoders, *entry.coder, entry.outputFolder));
        files.push_back(std::move(file));
    }
    for (const QString& folder : {u"a"_s, u"b"_s}) {
        for (const QString& name : QDir(root.filePath(folder)).entryList(QDir::Files))
            before[root.filePath(folder + u'/' + name)] =
                Digest(root.filePath(folder + u'/' + name));
    }

    QList<PlannedJob> jobs;
    for (const auto& file : files)
        jobs.append(JobOf(*file));
    const QList<LeftOutReason> reasons = FindLeftOutJobs(jobs);
    const QList<qsizetype> replacing = SortJobsForStart(jobs, {}, false).replacing;
    const auto warned = [&](qsizetype index) {
        return reasons[index] != LeftOutReason::None || replacing.contains(index);
    };
    using enum LeftOutReason;
    EXPECT_EQ(reasons,
              (QList<LeftOutReason>{OwnInput, OtherSource, None, None, SharedOutput, None, None}));
    EXPECT_TRUE(replacing.contains(5));
    EXPECT_FALSE(warned(6));
    // A Start of all but the first sorts them: left out, then up to date, then replacing.
    const StartSorting sorting =
        SortJobsForStart(jobs, {false, true, true, true, true, true, true}, true);
    EXPECT_EQ(sorting.leftOut, (QList<qsizetype>{1, 4}));
    EXPECT_EQ(sorting.upToDate, QList<qsizetype>{5});
    EXPECT_TRUE(sorting.replacing.isEmpty());
    EXPECT_EQ(replacing, QList<qsizetype>{5}) << "left-out jobs are not asked about";

    CCore core;
    core.SetThreadsCount(2);
    for (const auto& file : files)
        Queue(core, *file);
    ASSERT_TRUE(RunToIdle(core));

    // Every source is as it was; files were changed only where the user was warned.
    for (const Entry& entry : entries)
        EXPECT_EQ(Digest(entry.source), before.value(entry.source)) << entry.source.toStdString();
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QString output = files[static_cast<size_t>(i)]->coder->GetOutputFile();
        const bool replaced = before.contains(output) && Digest(output) != before.value(output);
        EXPECT_TRUE(!replaced || warned(i)) << output.toStdString() << " replaced unwarned";
    }
    // The core leaves out the same jobs, whoever queued them, and says why.
    QList<RunResult::Outcome> leftOut;
    for (const RunResult& result : core.GetRunResults()) {
        if (result.outcome != RunResult::Outcome::Exited) // sox cannot read the mp3
            leftOut.append(result.outcome);
    }
    EXPECT_EQ(leftOut, (QList<RunResult::Outcome>{RunResult::Outcome::OwnInput,
                                                  RunResult::Outcome::OtherSource,
                                                  RunResult::Outcome::SharedOutput}));
    EXPECT_TRUE(QFile::exists(root.filePath(u"out/plain.mp3"_s)));
}

} // namespace
