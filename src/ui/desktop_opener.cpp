#include "ui/desktop_opener.h"

#include "extensions/language_format.h"
#include "extensions/language_pack.h"
#include "foundation/notifier.h"
#include "ui/main_window_texts.h"
#include "ui/ui_texts.h"

#include <QDesktopServices>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QWidget>
#include <atomic>

using namespace Qt::StringLiterals;

namespace {

std::atomic<int> running{0};

void SayNothingOpened(const CLanguagePack& language, const QUrl& url)
{
    const QString where = url.isLocalFile() ? url.toLocalFile() : url.toString();
    CurrentNotifier()->Notify(
        INotifier::Icon::Error, language.GetString(MainText::kErrorCaption),
        FormatLanguageText(
            LanguageTextOr(language, UiText::kCannotOpen,
                           u"No program could open %s. Please open it by hand from there."_s),
            {where}));
}

} // namespace

void OpenWithDesktop(const CLanguagePack& language, const QUrl& url, QWidget* owner)
{
    const QString opener = QStandardPaths::findExecutable(u"xdg-open"_s);
    if (opener.isEmpty()) {
        // Qt knows other desktops' openers; without any it answers false.
        if (!QDesktopServices::openUrl(url))
            SayNothingOpened(language, url);
        return;
    }
    // Owns itself, deleted once xdg-open has ended: a window as its owner would kill xdg-open
    // when closed, and with it the program xdg-open waits for on a desktop without an opener.
    auto* process = new QProcess;
    process->setProgram(opener);
    // A path rather than a file URL: xdg-open passes it on as it is, whatever bytes it holds.
    process->setArguments({url.isLocalFile() ? url.toLocalFile() : url.toString()});
    process->setStandardInputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    const QPointer<QWidget> window(owner);
    const CLanguagePack* pack = &language;
    const auto ended = [process, window, pack, url](bool opened) {
        process->deleteLater();
        --running;
        if (!opened && window)
            SayNothingOpened(*pack, url);
    };
    QObject::connect(process, &QProcess::finished, process,
                     [ended](int exitCode, QProcess::ExitStatus status) {
                         ended(status == QProcess::NormalExit && exitCode == 0);
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [ended](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart)
                             ended(false);
                     });
    ++running;
    process->start();
}

int RunningDesktopOpeners()
{
    return running;
}
