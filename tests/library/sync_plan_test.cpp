#include "library/copy_record.h"
#include "library/sync_plan.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using Kind = SyncAction::Kind;

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

const QString kSettings = u"LAME MP3|V2|names:%artist%/%album%"_s;
constexpr qint64 kSecond = 1'000'000'000;

CopyEntry Entry(const QString& source, const QString& result, qint64 size = 100)
{
    return {result,    source, size,       5 * kSecond, u"flac:"_s + source.section(u'/', -1),
            kSettings, 40,     9 * kSecond};
}

// A library with three albums' worth of tracks converted before, and its copy as recorded.
struct Library
{
    SyncInputs inputs;
    QHash<QString, FoundResult> copy; // what the copy's folder holds
    QHash<QString, QString> digests;  // what reading a source's audio would give

    Library()
    {
        inputs.roots = {u"/music"_s};
        inputs.recordRoots = {u"/music"_s};
        inputs.settings = kSettings;
        for (const char* name : {"a", "b", "c", "d"}) {
            const QString source = u"/music/%1.flac"_s.arg(QLatin1StringView(name));
            const QString result = u"%1.mp3"_s.arg(QLatin1StringView(name));
            inputs.record << Entry(source, result);
            inputs.sources << SyncSource{source, 100, 5 * kSecond, result};
            copy.insert(result, {40, 9 * kSecond});
            digests.insert(source, u"flac:"_s + source.section(u'/', -1));
        }
        inputs.rootHoldsFiles = [](const QString& root) { return root.startsWith(u"/music"_s); };
        inputs.findResult = [this](const QString& result) -> std::optional<FoundResult> {
            const auto found = copy.constFind(result);
            return found == copy.cend() ? std::nullopt : std::optional(*found);
        };
        inputs.digest = [this](const QString& source) { return digests.value(source); };
    }

    SyncSource& Source(int i) { return inputs.sources[i]; }
};

SyncAction Action(const SyncPlan& plan, const QString& source)
{
    for (const SyncAction& action : plan.actions) {
        if (action.source == source)
            return action;
    }
    return {};
}

} // namespace

TEST(SyncPlanTest, EachSourceGetsWhatItsChangeCallsFor)
{
    Library library;
    // a: untouched. b: retagged. c: renamed on disk (same audio). d: deleted. e: new.
    library.Source(1).timeNs = 6 * kSecond;
    library.Source(2).path = u"/music/renamed/c.flac"_s;
    library.Source(2).result = u"renamed/c.mp3"_s;
    library.digests.insert(u"/music/renamed/c.flac"_s, u"flac:c.flac"_s);
    library.inputs.sources.removeAt(3);
    library.inputs.sources << SyncSource{u"/music/e.flac"_s, 70, kSecond, u"e.mp3"_s};

    const SyncPlan plan = PlanSync(library.inputs);
    ASSERT_TRUE(plan.refusal.isEmpty()) << qPrintable(plan.refusal);
    EXPECT_EQ(Action(plan, u"/music/a.flac"_s).kind, Kind::UpToDate);
    EXPECT_EQ(
        Action(plan, u"/music/b.flac"_s),
        (SyncAction{Kind::Convert, u"/music/b.flac"_s, u"b.mp3"_s, {}, u"its source changed"_s}));
    EXPECT_EQ(Action(plan, u"/music/renamed/c.flac"_s),
              (SyncAction{Kind::Move, u"/music/renamed/c.flac"_s, u"renamed/c.mp3"_s, u"c.mp3"_s,
                          u"its source moved from /music/c.flac"_s}));
    EXPECT_EQ(Action(plan, u"/music/d.flac"_s).kind, Kind::KeepGone);
    EXPECT_EQ(Action(plan, u"/music/e.flac"_s).kind, Kind::Add);
    EXPECT_EQ(plan.actions.size(), 5);

    library.inputs.deleteGone = true;
    EXPECT_EQ(Action(PlanSync(library.inputs), u"/music/d.flac"_s).kind, Kind::Remove);
}

TEST(SyncPlanTest, OnlyResultsStillAsRecordedAreTouched)
{
    const struct
    {
        const char* what;
        std::function<void(Library&)> change;
        Kind kind;
    } cases[] = {
        {"the user re-encoded a.mp3 by hand", [](Library& l) { l.copy[u"a.mp3"_s].size = 41; },
         Kind::KeepReplaced},
        {"a card's 2-second times", [](Library& l) { l.copy[u"a.mp3"_s].timeNs += kSecond; },
         Kind::UpToDate},
        {"a.mp3 was deleted from the copy", [](Library& l) { l.copy.remove(u"a.mp3"_s); },
         Kind::Convert},
        {"other settings", [](Library& l) { l.inputs.settings = u"Opus|128"_s; }, Kind::Convert},
        {"another name pattern", [](Library& l) { l.Source(0).result = u"Artist/Album/a.mp3"_s; },
         Kind::Move},
        {"the source is gone and its result was replaced",
         [](Library& l) {
             l.inputs.sources.removeAt(0);
             l.copy[u"a.mp3"_s].timeNs += 60 * kSecond;
             l.inputs.deleteGone = true;
         },
         Kind::KeepReplaced},
        {"the source and its result are both gone",
         [](Library& l) {
             l.inputs.sources.removeAt(0);
             l.copy.remove(u"a.mp3"_s);
             l.inputs.deleteGone = true;
         },
         Kind::Forget},
        // A new file of the same size whose audio differs is no renamed one.
        {"a look-alike",
         [](Library& l) {
             l.inputs.sources.removeAt(0);
             l.inputs.sources.prepend({u"/music/a.flac"_s, 100, kSecond, u"x.mp3"_s});
             l.inputs.record[0].source = u"/music/old.flac"_s;
             l.digests[u"/music/a.flac"_s] = u"flac:another"_s;
         },
         Kind::Add},
    };
    for (const auto& c : cases) {
        Library library;
        c.change(library);
        const SyncPlan plan = PlanSync(library.inputs);
        ASSERT_TRUE(plan.refusal.isEmpty()) << c.what << ": " << qPrintable(plan.refusal);
        EXPECT_EQ(Action(plan, u"/music/a.flac"_s).kind, c.kind) << c.what;
    }
}

TEST(SyncPlanTest, ACopyIsNeverEmptiedByMistake)
{
    const struct
    {
        const char* what;
        std::function<void(Library&)> change;
        const char* refusal;
    } cases[] = {
        {"an unmounted library",
         [](Library& l) {
             l.inputs.sources.clear();
             l.inputs.roots = {u"/media/usb/music"_s};
             l.inputs.recordRoots = {u"/media/usb/music"_s};
         },
         "the library folder /media/usb/music is missing or empty"},
        {"another library's copy",
         [](Library& l) {
             l.inputs.roots = {u"/music"_s};
             l.inputs.recordRoots = {u"/other"_s};
         },
         "this copy was made from other folders (/other)"},
        {"most of the library gone",
         [](Library& l) {
             l.inputs.sources.remove(0, 3);
             l.inputs.deleteGone = true;
         },
         "3 of the copy's 4 results would be removed, more than half of it"},
    };
    for (const auto& c : cases) {
        Library library;
        c.change(library);
        const SyncPlan plan = PlanSync(library.inputs);
        EXPECT_TRUE(plan.refusal.startsWith(QString::fromUtf8(c.refusal)))
            << c.what << ": " << qPrintable(plan.refusal);
    }
    Library library;
    library.inputs.sources.remove(0, 3);
    library.inputs.deleteGone = library.inputs.deleteMany = true;
    EXPECT_EQ(PlanSync(library.inputs).Count(Kind::Remove), 3);
    library.inputs.roots = {u"/music/Jazz"_s}; // a part of the library the copy was made from
    EXPECT_TRUE(PlanSync(library.inputs).refusal.isEmpty());
}

TEST(CopyRecordTest, TheRecordOutlivesItsProgramAndRefusesOtherFiles)
{
    QTemporaryDir dir;
    QString error;
    {
        auto record = CCopyRecord::Open(dir.path(), &error);
        ASSERT_TRUE(record) << qPrintable(error);
        EXPECT_TRUE(record->Roots().isEmpty());
        EXPECT_TRUE(record->SetRoots({u"/music"_s, u"/mnt/Müsik"_s}));
        EXPECT_TRUE(record->Put(Entry(u"/music/a.flac"_s, u"a.mp3"_s)));
        EXPECT_TRUE(record->Put(Entry(u"/music/b.flac"_s, u"b.mp3"_s)));
        EXPECT_TRUE(record->Put(Entry(u"/music/b2.flac"_s, u"b.mp3"_s, 7)));
        EXPECT_TRUE(record->Rename(u"a.mp3"_s, u"Artist/a.mp3"_s));
        EXPECT_TRUE(record->Remove(u"gone.mp3"_s));
        for (const char16_t* along : {u"Artist/folder.jpg", u"Artist/Sub/cover.jpg", u"A_/x.jpg"})
            EXPECT_TRUE(record->PutCompanion({QString::fromUtf16(along), 5, 6}));
    }
    EXPECT_TRUE(QFile::exists(dir.filePath(QString::fromLatin1(CCopyRecord::kFileName))));
    auto record = CCopyRecord::Open(dir.path(), &error);
    ASSERT_TRUE(record) << qPrintable(error);
    EXPECT_EQ(record->Roots(), (QStringList{u"/music"_s, u"/mnt/Müsik"_s}));
    EXPECT_EQ(record->Entries(), (QList<CopyEntry>{Entry(u"/music/a.flac"_s, u"Artist/a.mp3"_s),
                                                   Entry(u"/music/b2.flac"_s, u"b.mp3"_s, 7)}));
    EXPECT_FALSE(record->EntryForResult(u"a.mp3"_s));
    // Directly in the folder, its name never a wildcard.
    EXPECT_EQ(record->CompanionsIn(u"Artist"_s),
              (QList<CompanionEntry>{{u"Artist/folder.jpg"_s, 5, 6}}));
    EXPECT_TRUE(record->CompanionsIn(u"A%"_s).isEmpty());
    EXPECT_TRUE(record->CompanionsIn(u"Art"_s).isEmpty());
    EXPECT_TRUE(record->HoldsResultsIn(u"Artist"_s));
    EXPECT_FALSE(record->HoldsResultsIn(u"Artist/Sub"_s));
    EXPECT_FALSE(record->HoldsResultsIn(u"A_"_s));
    EXPECT_TRUE(record->RemoveCompanion(u"Artist/folder.jpg"_s));
    EXPECT_TRUE(record->CompanionsIn(u"Artist"_s).isEmpty());
    record.reset();

    QTemporaryDir other;
    QFile foreign(other.filePath(QString::fromLatin1(CCopyRecord::kFileName)));
    ASSERT_TRUE(foreign.open(QIODevice::WriteOnly));
    foreign.write("this is a text file a user named so");
    foreign.close();
    EXPECT_FALSE(CCopyRecord::Open(other.path(), &error));
    EXPECT_TRUE(error.contains(u"is no record of a library copy"_s)) << qPrintable(error);
}
