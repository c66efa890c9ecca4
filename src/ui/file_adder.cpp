#include "ui/file_adder.h"

#include "extensions/language_format.h"
#include "extensions/language_pack.h"
#include "filelist/file_list.h"
#include "foundation/notifier.h"
#include "planning/job_planning.h"
#include "ui/ui_texts.h"

#include <QCoreApplication>
#include <QProgressDialog>
#include <limits>

using namespace Qt::StringLiterals;

CFileAdder::CFileAdder(QWidget* owner, const CLanguagePack& languagePack) : language(languagePack)
{
    const QString label =
        LanguageTextOr(language, UiText::kAddingFiles, u"Adding files to the list\u2026"_s);
    progress = std::make_unique<QProgressDialog>(
        label, LanguageTextOr(language, UiText::kCancel, u"Cancel"_s), 0, 0, owner);
    progress->setObjectName(u"addProgress"_s);
    progress->setWindowTitle(label);
    progress->setWindowModality(Qt::WindowModal);
    progress->setAutoReset(false);
    progress->setAutoClose(false);
    // Shown by Step, never by the dialog's own timer, so events are only let through while it
    // blocks the window.
    progress->setMinimumDuration(std::numeric_limits<int>::max());
    progress->hide();
    clock.start();
}

CFileAdder::~CFileAdder() = default;

bool CFileAdder::WasCanceled() const
{
    return progress->wasCanceled();
}

void CFileAdder::Step(int value)
{
    if (!progress->isVisible()) {
        if (clock.elapsed() < kShowAfterMs) {
            return;
        }
        progress->show();
    }
    progress->setValue(value);
    QCoreApplication::processEvents();
}

QStringList CFileAdder::ListFolder(const QString& folder, const DecoderList& decoders)
{
    progress->setRange(0, 0);
    const QStringList found = ListFilesBelow(folder, [this] {
        Step(0);
        return !WasCanceled();
    });
    // Decided by name before anything is read: a cover or a log costs no properties read, and
    // never stands in the list to fail at Start.
    QStringList readable;
    for (const QString& path : found) {
        if (IsReadableSource(path, decoders))
            readable << path;
        else
            ++leftOut;
    }
    return readable;
}

// One box for every sheet of the adding that could not split its image.
void CFileAdder::NotifySheetProblems(const QList<SheetProblem>& problems)
{
    if (problems.isEmpty())
        return;
    QStringList lines;
    for (const SheetProblem& problem : problems)
        lines << problem.path + u": "_s + problem.reason;
    CurrentNotifier()->Notify(
        INotifier::Icon::Warning, QCoreApplication::applicationName(),
        LanguageTextOr(language, UiText::kSheetProblems,
                       u"These cue sheets could not split their album images (an image is "
                       u"added whole, a sheet not at all):"_s) +
            u"\n\n"_s + lines.join(u'\n'));
}

void CFileAdder::Read(CFileList& list, const QStringList& paths)
{
    if (WasCanceled()) {
        return;
    }
    progress->setRange(0, int(paths.size()));
    list.AddPaths(paths, [this](qsizetype done, qsizetype) {
        Step(int(done));
        return !WasCanceled();
    });
    progress->hide();
    NotifySheetProblems(list.TakeSheetProblems());
    if (leftOut > 0) {
        CurrentNotifier()->Notify(
            INotifier::Icon::Information, QCoreApplication::applicationName(),
            FormatLanguageText(
                LanguageTextOr(language, UiText::kNotAudioLeftOut,
                               u"Left out, as no decoder reads them (covers, logs, cue sheets): "
                               u"%s files"_s),
                {QString::number(leftOut)}));
    }
}
