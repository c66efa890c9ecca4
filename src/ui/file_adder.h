#pragma once

#include "codecs/codec_discovery.h"
#include "filelist/album_splitter.h"

#include <QElapsedTimer>
#include <QList>
#include <QStringList>
#include <memory>

class CFileList;
class CLanguagePack;
class QProgressDialog;
class QWidget;

// Where the user's commands put files into the list (Add file, Add folder, Load list, dropped
// files). Reading each file's properties is the slow part: it goes on while the window stays
// responsive, and once the work has taken a moment a progress dialog with Cancel shows.
// Files added before Cancel stay in the list.
class CFileAdder
{
public:
    // How long the work may take before the progress dialog shows.
    static constexpr int kShowAfterMs = 400;

    CFileAdder(QWidget* owner, const CLanguagePack& language);
    ~CFileAdder();
    CFileAdder(const CFileAdder&) = delete;
    CFileAdder& operator=(const CFileAdder&) = delete;

    // The files below folder that a decoder reads, in the order Add folder adds them; the
    // others (covers, logs, cue sheets beside the music) are left out and counted. After a
    // Cancel here, Add adds nothing.
    QStringList ListFolder(const QString& folder, const DecoderList& decoders);
    // Appends the files to the list, their properties read on all cores, until the user
    // cancels (the files before the cancel stay, in order); then says how many files the
    // folder listing left out. A file named by the user is added whatever it holds.
    void Read(CFileList& list, const QStringList& paths);
    qsizetype LeftOutCount() const { return leftOut; }

    bool WasCanceled() const;

private:
    void NotifySheetProblems(const QList<SheetProblem>& problems);

    // Keeps the window alive: shows the dialog once the work has taken a moment, and lets
    // events through while it shows (it is modal, so only its Cancel can be used).
    void Step(int value);

    std::unique_ptr<QProgressDialog> progress;
    QElapsedTimer clock;
    const CLanguagePack& language;
    qsizetype leftOut = 0;
};
