#include "run/core.h"
#include "session/conversion_session.h"
#include "settings/settings_set.h"
#include "support/audio_fixtures.h"
#include "support/environment_scope.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QString Program(const QString& name)
{
    return QStandardPaths::findExecutable(name);
}

void WriteLines(const QString& path, const QStringList& lines)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write((lines.join(u"\r\n"_s) + u"\r\n"_s).toUtf8());
}

// A codec folder as the program folder holds it: the program (here a script around the real
// one), its extensions and its one command line.
QString InstallCodec(const QString& folder, const QString& script, const QString& extension,
                     const QStringList& commandLines)
{
    QDir().mkpath(folder);
    const QString exe = folder + u"/program"_s;
    EXPECT_TRUE(fixtures::WriteScript(exe, script.toUtf8()));
    WriteLines(folder + u"/Extensions.ini"_s, {extension});
    WriteLines(folder + (commandLines.size() > 1 ? u"/Presets.ini"_s : u"/Format.ini"_s),
               commandLines);
    return exe;
}

// Turns the event loop until the condition holds: the session only changes on its events.
void WaitFor(const std::function<bool()>& condition)
{
    while (!condition())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void SetModified(const QString& path, const QDateTime& when)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(when, QFileDevice::FileModificationTime));
}

using States = QList<FileState>;

// One run with Debian's flac and lame followed file by file: every state a file can reach,
// an album's first result held until its last file has ended, a decoder's failure told once,
// and a stop that leaves nothing behind.
TEST(ConversionSessionTest, FollowsEachFileThroughItsStatesToTheEndOfARun)
{
    if (Program(u"flac"_s).isEmpty() || Program(u"lame"_s).isEmpty() || Program(u"sox"_s).isEmpty())
        GTEST_SKIP() << "flac, lame and sox are needed";
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString tmp = root.filePath(u"tmp"_s);
    const QString out = root.filePath(u"out"_s) + u'/';
    QDir().mkpath(tmp);
    QDir().mkpath(out);
    CEnvironmentScope temporary("TMPDIR", QFile::encodeName(tmp));
    // The intermediate WAVs may go to the runtime folder instead; it is the same one here.
    CEnvironmentScope runtime("XDG_RUNTIME_DIR", QFile::encodeName(tmp));
    const QString release = root.filePath(u"release"_s);

    DecoderList decoders;
    decoders.push_back(std::make_unique<CDecoder>());
    ASSERT_TRUE(decoders.back()->Load(InstallCodec(
        root.filePath(u"Decoders/flac"_s), u"exec '"_s + Program(u"flac"_s) + u"' \"$@\"\n"_s,
        u"flac"_s, {u"-d -s -f -o %out% %in%"_s})));
    const QString lameLine = u"-V 2 --quiet %in% %out%"_s;
    CCoder lame;
    ASSERT_TRUE(lame.Load(InstallCodec(root.filePath(u"Coders/lame"_s),
                                       u"exec '"_s + Program(u"lame"_s) + u"' \"$@\"\n"_s, u"mp3"_s,
                                       {u"default"_s, lameLine})));
    // Waits for the test to let it go: its album's first result is held meanwhile.
    CCoder gated;
    ASSERT_TRUE(gated.Load(InstallCodec(root.filePath(u"Coders/gated"_s),
                                        u"while [ ! -e '"_s + release +
                                            u"' ]; do sleep 0.05; done\nexec '"_s +
                                            Program(u"lame"_s) + u"' \"$@\"\n"_s,
                                        u"mp3"_s, {u"default"_s, lameLine})));
    // Runs until it is stopped.
    CCoder endless;
    ASSERT_TRUE(endless.Load(InstallCodec(root.filePath(u"Coders/endless"_s), u"exec sleep 600\n"_s,
                                          u"mp3"_s, {u"default"_s, lameLine})));

    const QString album = root.filePath(u"album/"_s);
    const QString other = root.filePath(u"other/"_s);
    QDir().mkpath(album);
    QDir().mkpath(other);
    const QString wav = root.filePath(u"tone.wav"_s);
    ASSERT_TRUE(fixtures::MakeWav(wav, 44100, 2, 16, 1.0));
    const QStringList names{album + u"a.flac"_s, album + u"b.flac"_s, other + u"c.flac"_s,
                            other + u"d.flac"_s, other + u"e.txt"_s,  other + u"f.flac"_s,
                            other + u"g.flac"_s};
    enum
    {
        A, // held for its album, then converted
        B, // the album's last file
        C, // stopped while its coder runs
        D, // damaged: its decoder fails
        E, // no decoder reads it
        F, // its result is newer than itself
        G, // its result exists, and replacing is not allowed
    };
    for (const QString& name : names) {
        if (name.endsWith(u".flac"_s)) {
            ASSERT_TRUE(fixtures::MakeFlac(wav, name));
        }
    }
    {
        QFile damaged(names[D]);
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
        damaged.write("fLaC but nothing a decoder can read");
        QFile notes(names[E]);
        ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
        notes.write("notes");
    }
    std::vector<std::unique_ptr<CFileInfo>> files;
    QList<CFileInfo*> sources;
    for (const QString& name : names) {
        files.push_back(std::make_unique<CFileInfo>());
        ASSERT_TRUE(files.back()->Load(name));
        sources << files.back().get();
    }

    CSettingsSet settings;
    CCore core;
    CConversionSession session(settings, root.path(), decoders, core);
    SessionOverrides overrides;
    overrides.outputFolder = out;
    overrides.keepFolders = false;
    overrides.threads = 4;
    overrides.longFilesFirst = false;
    overrides.replayGain = ReplayGainMode::TrackAndAlbum;
    session.SetOverrides(overrides);
    session.SetSources(sources);

    QList<States> seen(names.size());
    QList<QPair<int, FileState>> order;
    bool resultVisibleWhileHeld = true;
    QObject::connect(&session, &CConversionSession::FileStateChanged, &session,
                     [&](int index, FileState state) {
                         seen[index] << state;
                         order << qMakePair(index, state);
                         if (index == A && state == FileState::Held)
                             resultVisibleWhileHeld = QFileInfo::exists(out + u"a.mp3"_s);
                     });
    bool ended = false;
    SessionCounts endCounts;
    QObject::connect(&session, &CConversionSession::RunEnded, &session,
                     [&](const SessionCounts& counts) {
                         ended = true;
                         endCounts = counts;
                     });

    // Each file keeps the coder it was planned with.
    EXPECT_EQ(session.Plan({}, &lame, 0, false).size(), names.size() - 1);
    EXPECT_EQ(session.Plan({B}, &gated, 0, false), QList<int>{B});
    EXPECT_EQ(session.Plan({C}, &endless, 0, false), QList<int>{C});
    EXPECT_EQ(files[A]->coder->GetExecutable(), lame.GetExecutable());
    EXPECT_EQ(files[B]->coder->GetExecutable(), gated.GetExecutable());
    EXPECT_EQ(session.State(E), FileState::LeftOut);
    EXPECT_EQ(session.Cause(E), LeftOutCause::NoDecoder);

    const QDateTime past = QDateTime::currentDateTime().addDays(-1);
    SetModified(names[F], past);
    WriteLines(out + u"f.mp3"_s, {u"newer than its source"_s});
    WriteLines(out + u"g.mp3"_s, {u"older than its source"_s});
    SetModified(out + u"g.mp3"_s, past.addDays(-1));
    EXPECT_EQ(session.Sort(), QList<int>{G});
    ASSERT_TRUE(session.Start(false));
    EXPECT_EQ(session.StartOrder(), (QList<int>{A, B, C, D}));

    // B's coder waits for the release below; it may start before or after A is held.
    WaitFor([&] {
        return session.State(A) == FileState::Held && session.State(B) == FileState::Coding &&
               session.State(C) == FileState::Coding && session.State(D) == FileState::Failed;
    });
    EXPECT_FALSE(resultVisibleWhileHeld);
    QFile(release).open(QIODevice::WriteOnly);
    WaitFor([&] { return session.State(B) == FileState::Converted; });
    EXPECT_EQ(session.State(A), FileState::Converted);
    EXPECT_GT(QFileInfo(out + u"a.mp3"_s).size(), 1000);
    EXPECT_GT(QFileInfo(out + u"b.mp3"_s).size(), 1000);
    session.Stop();
    WaitFor([&] { return ended; });

    const States throughAlbum{FileState::Planned,  FileState::Queued, FileState::Decoding,
                              FileState::Queued,   FileState::Coding, FileState::Held,
                              FileState::Converted};
    EXPECT_EQ(seen[A], throughAlbum);
    // A's result waited for the album's last file to end.
    EXPECT_GT(order.indexOf(qMakePair(int(A), FileState::Converted)),
              order.indexOf(qMakePair(int(B), FileState::Coding)));
    EXPECT_EQ(seen[C], (States{FileState::Planned, FileState::Queued, FileState::Decoding,
                               FileState::Queued, FileState::Coding, FileState::Stopped}));
    // One failure, the decoder's: its coder was never started.
    EXPECT_EQ(seen[D].count(FileState::Failed), 1);
    ASSERT_NE(session.FailedRun(D), nullptr);
    EXPECT_EQ(session.FailedRun(D)->kind, 1);
    EXPECT_TRUE(session.Reason(D).startsWith(u"Decoder program: exit code"_s))
        << session.Reason(D).toStdString();
    EXPECT_TRUE(files[D]->lastRunFailed);
    EXPECT_EQ(session.FailedIndexes(), QList<int>{D});
    EXPECT_EQ(seen[F], (States{FileState::Planned, FileState::UpToDate}));
    EXPECT_EQ(seen[G], (States{FileState::Planned, FileState::LeftOut}));
    EXPECT_EQ(session.Cause(G), LeftOutCause::ResultExists);
    EXPECT_EQ(session.Reason(G), u"its result exists already"_s);
    EXPECT_EQ(session.Reason(E), u"no decoder reads this file (%1)"_s.arg(files[E]->format));

    EXPECT_EQ(endCounts.converted, 2);
    EXPECT_EQ(endCounts.failed, 1);
    EXPECT_EQ(endCounts.stopped, 1);
    EXPECT_EQ(endCounts.leftOut, 2);
    EXPECT_EQ(endCounts.upToDate, 1);
    EXPECT_EQ(session.Progress().doneMs, session.Progress().totalMs);
    // What the stop cut short is gone: no partial result, no intermediate WAV.
    ASSERT_TRUE(core.WaitForWorkers(10000));
    EXPECT_FALSE(QFileInfo::exists(out + u"c.mp3"_s));
    EXPECT_TRUE(fixtures::FilesStartingWith(tmp, u"orv"_s).isEmpty());
    EXPECT_EQ(QDir(out).entryList({u".orv*"_s}, QDir::Files | QDir::Hidden).size(), 0);
}

RunResult Ended(RunResult::Outcome outcome, int code = 0, bool held = false)
{
    RunResult run;
    run.outcome = outcome;
    run.code = code;
    run.held = held;
    return run;
}

// What each piece of news from the core makes of a file's state.
TEST(ConversionSessionTest, NewsOfARunGivesTheFilesNextState)
{
    using O = RunResult::Outcome;
    const RunResult ok = Ended(O::Exited);
    const RunResult held = Ended(O::Exited, 0, true);
    const RunResult failed = Ended(O::Exited, 1);
    const RunResult decoderFailed = Ended(O::DecoderFailed);
    const RunResult stopped = Ended(O::Stopped);
    const RunResult notPlaced = Ended(O::NotPlaced);
    const RunResult badResult = Ended(O::BadResult);
    const RunResult ownInput = Ended(O::OwnInput);
    const RunResult shared = Ended(O::SharedOutput);
    struct Case
    {
        FileState before;
        bool isCoder;
        bool isLast;
        const RunResult* ended;
        FileState after;
        LeftOutCause cause;
    };
    const Case cases[] = {
        {FileState::Queued, false, false, nullptr, FileState::Decoding, LeftOutCause::None},
        {FileState::Queued, true, true, nullptr, FileState::Coding, LeftOutCause::None},
        // A decoder that ends well leaves its file waiting for the coder's slot.
        {FileState::Decoding, false, false, &ok, FileState::Queued, LeftOutCause::None},
        // Decode only: the decoder writes the result.
        {FileState::Decoding, false, true, &ok, FileState::Converted, LeftOutCause::None},
        {FileState::Coding, true, true, &ok, FileState::Converted, LeftOutCause::None},
        {FileState::Coding, true, true, &held, FileState::Held, LeftOutCause::None},
        {FileState::Held, true, true, &ok, FileState::Converted, LeftOutCause::None},
        {FileState::Held, true, true, &notPlaced, FileState::Failed, LeftOutCause::None},
        {FileState::Decoding, false, false, &failed, FileState::Failed, LeftOutCause::None},
        {FileState::Coding, true, true, &badResult, FileState::Failed, LeftOutCause::None},
        // The coder of a failed decoder changes nothing: the decoder said why.
        {FileState::Failed, true, true, &decoderFailed, FileState::Failed, LeftOutCause::None},
        {FileState::Coding, true, true, &stopped, FileState::Stopped, LeftOutCause::None},
        {FileState::Queued, true, true, &stopped, FileState::Stopped, LeftOutCause::None},
        // Nothing after the end: a late start or a stop does not undo a result.
        {FileState::Converted, true, true, nullptr, FileState::Converted, LeftOutCause::None},
        {FileState::Converted, true, true, &stopped, FileState::Converted, LeftOutCause::None},
        {FileState::Stopped, true, true, &ok, FileState::Stopped, LeftOutCause::None},
        // The core's own rules at its start leave a job out, with the reason.
        {FileState::Queued, true, true, &ownInput, FileState::LeftOut, LeftOutCause::OwnInput},
        {FileState::Queued, true, true, &shared, FileState::LeftOut, LeftOutCause::SharedOutput},
    };
    for (const Case& c : cases) {
        const FileStateChange after = StateAfter({c.before}, c.isCoder, c.isLast, c.ended);
        EXPECT_EQ(after.state, c.after) << int(c.before) << " -> " << int(c.after);
        EXPECT_EQ(after.cause, c.cause) << int(c.before) << " -> " << int(c.after);
    }
}

} // namespace
