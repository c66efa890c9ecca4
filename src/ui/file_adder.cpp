#include "ui/file_adder.h"

#include "extensions/language_pack.h"
#include "filelist/file_list.h"
#include "ui/ui_texts.h"

#include <QCoreApplication>
#include <QProgressDialog>
#include <limits>

using namespace Qt::StringLiterals;

CFileAdder::CFileAdder(QWidget* owner, const CLanguagePack& language)
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

QStringList CFileAdder::ListFolder(const QString& folder)
{
    progress->setRange(0, 0);
    return ListFilesBelow(folder, [this] {
        Step(0);
        return !WasCanceled();
    });
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
}
