#include "fault_fixtures.h"

#include <QTemporaryDir>

using namespace Qt::StringLiterals;
using namespace faults;

namespace {

// Coders that fail in each way a program can, every one given a FLAC source that the real
// decoder first turns into a temporary WAV. Arguments: %in% %out%.
struct FailingCoder
{
    const char* name;
    QByteArray script; // empty: no such program
    bool executable;
    RunResult::Outcome outcome;
    int code;
};

const QList<FailingCoder> kFailingCoders = {
    {"exits-with-1",
     "echo partial > \"$2\"\necho \"cannot open $2\" >&2\necho \"cannot encode $1\" >&2\nexit 1\n",
     true, RunResult::Outcome::Exited, 1},
    {"killed-by-a-signal", "echo partial > \"$2\"\nkill -SEGV $$\nsleep 5\n", true,
     RunResult::Outcome::Signaled, SIGSEGV},
    {"exits-0-writing-nothing", "exit 0\n", true, RunResult::Outcome::NoOutput, 0},
    {"exits-0-writing-an-empty-file", ": > \"$2\"\n", true, RunResult::Outcome::BadResult, 0},
    {"missing", "", true, RunResult::Outcome::CouldNotStart, ENOENT},
    {"not-executable", "exit 0\n", false, RunResult::Outcome::CouldNotStart, EACCES},
};

TEST(FailingEncodersTest, EachIsReportedWithItsReasonWhileTheRestOfTheBatchConverts)
{
    CScratchFolder root;
    ASSERT_TRUE(root.isValid());
    const QString tmp = root.tmp();
    PlannedDecoders decoders;
    decoders.push_back(
        MakeCodec<CDecoder>(Program(u"flac"_s), u"-d -s -f -o %out% %in%"_s, u"flac"_s));
    auto lame = MakeCodec<CCoder>(Program(u"lame"_s), u"-V 5 --quiet %in% %out%"_s, u"mp3"_s);

    std::vector<std::unique_ptr<CCoder>> coders;
    std::vector<std::unique_ptr<CFileInfo>> files;
    // Good files between the failing ones: a failure must not hold up or fail its neighbours.
    auto addFile = [&](const QString& name, CCoder& coder) {
        const QString wav = root.filePath(name + u".wav"_s);
        const QString source = root.filePath(name + u".flac"_s);
        ASSERT_TRUE(fixtures::MakeWav(wav, 22050, 1, 16, 0.3));
        ASSERT_TRUE(fixtures::MakeFlac(wav, source));
        auto file = std::make_unique<CFileInfo>();
        ASSERT_TRUE(file->Load(source));
        ASSERT_TRUE(Plan(*file, decoders, coder, root.filePath(u"out/"_s)));
        files.push_back(std::move(file));
    };
    for (const FailingCoder& failing : kFailingCoders) {
        const QString program = root.filePath(u"coders/"_s + QString::fromUtf8(failing.name));
        QDir().mkpath(root.filePath(u"coders"_s));
        if (!failing.script.isEmpty()) {
            ASSERT_TRUE(fixtures::WriteScript(program, failing.script));
            if (!failing.executable)
                QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner);
        }
        coders.push_back(MakeCodec<CCoder>(program, u"%in% %out%"_s, u"out"_s));
        addFile(QString::fromUtf8(failing.name), *coders.back());
        addFile(u"good after "_s + QString::fromUtf8(failing.name), *lame);
    }

    // An older result of the first file: a failed run must leave it as it was.
    const QString older = files.front()->coder->GetOutputFile();
    {
        QFile file(older);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("an older result");
    }
    CCore core;
    core.SetThreadsCount(2);
    for (const auto& file : files)
        Queue(core, *file);
    ASSERT_TRUE(RunToIdle(core));
    QFile kept(older);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "an older result");
    kept.close();
    QFile::remove(older);

    const QList<RunResult> failed = core.GetFailedRuns();
    ASSERT_EQ(failed.size(), kFailingCoders.size());
    for (qsizetype i = 0; i < kFailingCoders.size(); ++i) {
        const FailingCoder& expected = kFailingCoders[i];
        const CFileInfo& file = *files[static_cast<size_t>(2 * i)];
        const auto found = std::find_if(failed.begin(), failed.end(), [&](const RunResult& run) {
            return run.process == file.coder.get();
        });
        ASSERT_NE(found, failed.end()) << expected.name << " was not reported";
        EXPECT_EQ(found->outcome, expected.outcome) << expected.name;
        EXPECT_EQ(found->code, expected.code) << expected.name;
        // What the program said last is kept to explain the failure.
        if (found->outcome == RunResult::Outcome::Exited) {
            EXPECT_EQ(found->LastErrorLine(), u"cannot encode "_s + found->inputFile);
            // The user knows the result by its name, not by the hidden one it is written under.
            EXPECT_TRUE(
                found->errorOutput.contains(u"cannot open "_s + file.coder->GetOutputFile()))
                << found->errorOutput.toStdString();
        }
        // A half-written result that looks complete is worse than none.
        EXPECT_FALSE(QFile::exists(file.coder->GetOutputFile())) << expected.name;

        const CFileInfo& good = *files[static_cast<size_t>(2 * i + 1)];
        CFileInfo converted;
        ASSERT_TRUE(converted.Load(good.coder->GetOutputFile())) << expected.name;
        EXPECT_EQ(converted.sampleRate, 22050);
    }
    EXPECT_TRUE(TemporaryWavs(tmp).isEmpty()) << TemporaryWavs(tmp).join(u' ').toStdString();
}

// A decoder that fails the same ways: its coder is never started and counts as failed.
TEST(FailingEncodersTest, CoderOfAFailedDecoderIsNotStarted)
{
    CScratchFolder root;
    ASSERT_TRUE(root.isValid());
    const QString tmp = root.tmp();
    const QString started = root.filePath(u"coder-started"_s);
    auto coder = MarkingCoder(root.path(), started);
    ASSERT_TRUE(coder);

    for (const FailingCoder& failing : kFailingCoders) {
        SCOPED_TRACE(failing.name);
        const QString program = root.filePath(u"decoder-"_s + QString::fromUtf8(failing.name));
        if (!failing.script.isEmpty()) {
            ASSERT_TRUE(fixtures::WriteScript(program, failing.script));
            if (!failing.executable)
                QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner);
        }
        PlannedDecoders decoders;
        decoders.push_back(MakeCodec<CDecoder>(program, u"%in% %out%"_s, u"flac"_s));
        const QString source = root.filePath(u"source.flac"_s);
        ASSERT_TRUE(fixtures::MakeWav(root.filePath(u"s.wav"_s), 8000, 1, 16, 0.1));
        ASSERT_TRUE(fixtures::MakeFlac(root.filePath(u"s.wav"_s), source));
        CFileInfo file;
        ASSERT_TRUE(file.Load(source));
        ASSERT_TRUE(Plan(file, decoders, *coder, root.filePath(u"out/"_s)));
        ASSERT_TRUE(file.decoder);

        CCore core;
        Queue(core, file);
        ASSERT_TRUE(RunToIdle(core));
        EXPECT_FALSE(QFile::exists(started));
        const QList<RunResult> failed = core.GetFailedRuns();
        ASSERT_EQ(failed.size(), 2);
        EXPECT_EQ(failed[0].outcome, failing.outcome);
        EXPECT_EQ(failed[1].outcome, RunResult::Outcome::DecoderFailed);
        EXPECT_TRUE(TemporaryWavs(tmp).isEmpty());
    }
}

} // namespace
