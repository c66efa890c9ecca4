#include "run/companion_copy.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QDateTime kSourceTime = QDateTime::fromSecsSinceEpoch(1500000000);

void Write(const QString& path, const QByteArray& bytes, const QDateTime& time)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.flush(); // else the close's write would set the time again
    ASSERT_TRUE(file.setFileTime(time, QFileDevice::FileModificationTime));
}

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What is at the copy's place decides: nothing or orvel's own outdated copy is written, orvel's
// copy as it would be written now stays, anything of the user's (a link included) stays.
TEST(CompanionCopyTest, OnlyOrvelsOwnCopiesAreEverReplaced)
{
    const struct
    {
        const char* name;
        QByteArray there; // empty: nothing there
        qint64 secondsFromSource;
        bool link;
        CompanionOutcome outcome;
        QByteArray after;
    } cases[] = {
        {"nothing there", {}, 0, false, CompanionOutcome::Copied, "cover"},
        {"orvel's, as it would write it", "COVER", 0, false, CompanionOutcome::UpToDate, "COVER"},
        // FAT and exFAT keep a time to 2 s.
        {"orvel's on a FAT card", "COVER", 2, false, CompanionOutcome::UpToDate, "COVER"},
        {"orvel's, of another size", "old cover", 0, false, CompanionOutcome::Copied, "cover"},
        {"the user's", "mine!", 3600, false, CompanionOutcome::UsersFile, "mine!"},
        {"a link of the user's", {}, 0, true, CompanionOutcome::UsersFile, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const CompanionCopy copy{dir.filePath(u"folder.jpg"_s), dir.filePath(u"out.jpg"_s), 0};
        Write(copy.from, "cover", kSourceTime);
        if (!c.there.isEmpty())
            Write(copy.to, c.there, kSourceTime.addSecs(c.secondsFromSource));
        if (c.link) {
            ASSERT_TRUE(QFile::link(copy.from, copy.to));
        }
        // A dry look says the same and writes nothing.
        const QByteArray before = Read(copy.to);
        EXPECT_EQ(CarryCompanion(copy, false).outcome, c.outcome);
        EXPECT_EQ(Read(copy.to), before);

        const CompanionResult result = CarryCompanion(copy);
        EXPECT_EQ(result.outcome, c.outcome) << result.reason.toStdString();
        if (!c.link) {
            EXPECT_EQ(Read(copy.to), c.after);
        }
        EXPECT_EQ(QFileInfo(copy.to).isSymLink(), c.link);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(),
                  2) // no hidden name left behind
            << QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).join(u' ').toStdString();
        if (c.outcome == CompanionOutcome::Copied) {
            EXPECT_TRUE(IsOurCompanion(copy.from, copy.to));
        }
    }
}

} // namespace
