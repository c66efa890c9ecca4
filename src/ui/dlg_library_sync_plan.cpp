#include "extensions/language_pack.h"
#include "session/conversion_session.h"
#include "session/library_sync.h"
#include "ui/dlg_library_sync.h"
#include "ui/library_sync_texts.h"
#include "ui/ui_texts.h"

#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

// The plan the sync dialog shows: its counts, its actions and the covers that go along, or why
// there is none.

using namespace Qt::StringLiterals;
using Kind = SyncAction::Kind;

namespace Text = LibrarySyncText;

void CDlgLibrarySync::ShowRefusal(const QString& reason)
{
    plan.actions.clear();
    actionList->clear();
    countsText->clear();
    syncButton->setEnabled(false);
    refusalText->setText(
        LanguageTextOr(language, Text::kRefused, u"Sync refused: %1"_s).arg(reason));
    Q_EMIT PlanShown();
}

void CDlgLibrarySync::ShowPlan()
{
    refusalText->clear();
    actionList->clear();
    const int kept = plan.Count(Kind::KeepGone) + plan.Count(Kind::KeepReplaced);
    const QList<CompanionCopy> along = session->PlannedCompanions();
    QString counts = LanguageTextOr(language, Text::kCounts,
                                    u"%1 added, %2 converted again, %3 moved, %4 removed, %5 "
                                    u"kept, %6 up to date"_s)
                         .arg(plan.Count(Kind::Add))
                         .arg(plan.Count(Kind::Convert))
                         .arg(plan.Count(Kind::Move))
                         .arg(plan.Count(Kind::Remove))
                         .arg(kept)
                         .arg(plan.Count(Kind::UpToDate));
    if (!along.isEmpty())
        counts +=
            LanguageTextOr(language, Text::kCopiedAlong, u", %1 copied along"_s).arg(along.size());
    countsText->setText(counts);
    QList<QTreeWidgetItem*> rows;
    for (const SyncAction& action : std::as_const(plan.actions)) {
        QString word;
        QString what = action.result;
        QString why = action.reason;
        switch (action.kind) {
        case Kind::Add:
        case Kind::Convert:
            word = action.kind == Kind::Add
                       ? LanguageTextOr(language, Text::kAdd, u"add"_s)
                       : LanguageTextOr(language, Text::kConvertAgain, u"convert again"_s);
            if (librarySync->ForeignFileAt(action)) {
                word = LanguageTextOr(language, Text::kLeftAlone, u"left alone"_s);
                why = LanguageTextOr(language, Text::kForeignFile,
                                     u"a file the copy's record does not list is at %1; it is "
                                     u"never replaced"_s)
                          .arg(readCopy + action.result);
            } else if (why.isEmpty()) {
                why = action.source;
            }
            break;
        case Kind::Move:
            word = LanguageTextOr(language, Text::kMove, u"move"_s);
            what = action.from + u" \u2192 "_s + action.result;
            break;
        case Kind::Remove:
            word = LanguageTextOr(language, Text::kRemove, u"remove"_s);
            break;
        case Kind::KeepGone:
            word = LanguageTextOr(language, Text::kKept, u"kept"_s);
            break;
        case Kind::KeepReplaced:
            word = LanguageTextOr(language, Text::kLeftAlone, u"left alone"_s);
            break;
        case Kind::UpToDate:
        case Kind::Forget:
            continue; // nothing the user would see changes
        }
        rows << new QTreeWidgetItem(QStringList{word, what, why});
    }
    const QString copyAlong = LanguageTextOr(language, Text::kCopyAlong, u"copy along"_s);
    for (const CompanionCopy& copy : along)
        rows << new QTreeWidgetItem(
            QStringList{copyAlong, copy.to.mid(readCopy.size()), copy.from});
    actionList->addTopLevelItems(rows);
    const int work = plan.Count(Kind::Add) + plan.Count(Kind::Convert) + plan.Count(Kind::Move) +
                     plan.Count(Kind::Remove) + plan.Count(Kind::Forget) + int(along.size());
    syncButton->setEnabled(work > 0);
    Q_EMIT PlanShown();
}
