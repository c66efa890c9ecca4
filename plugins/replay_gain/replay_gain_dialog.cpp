#include "replay_gain_dialog.h"

#include "replay_gain_job.h"

#include <QDirIterator>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// Language pack ids whose texts the window borrows.
constexpr int kStartText = 101;
constexpr int kCloseText = 123;
constexpr int kErrorCaption = 119;
constexpr int kStopText = 161;
// The plugin's own texts, in the program's packs from 311 on.
constexpr int kTitleText = 311;
constexpr int kIntroText = 312;
constexpr int kAddFilesText = 313;
constexpr int kAddFolderText = 314;
constexpr int kRemoveAllText = 315;
constexpr int kRetryText = 316;
constexpr int kStoppingText = 317;
constexpr int kNoToolText = 318;
constexpr int kAddAudioFilesText = 319;
constexpr int kAddFolderTitle = 320;
constexpr int kNotStartedText = 321;
constexpr int kMeasuringText = 322;
constexpr int kAlbumsStartedText = 323; // %1 of %2
constexpr int kTaggedText = 324;        // %1 of %2
constexpr int kUntaggedText = 325;

constexpr int kPollIntervalMs = 500;

const QStringList kAudioPatterns = {u"*.flac"_s, u"*.mp3"_s, u"*.ogg"_s, u"*.opus"_s,
                                    u"*.m4a"_s,  u"*.wv"_s,  u"*.wav"_s};
const QString kAudioFilter =
    u"Audio files (*.flac *.mp3 *.ogg *.opus *.m4a *.wv *.wav);;All files (*)"_s;

QPushButton* AddButton(QBoxLayout* layout, const QString& text, const QString& objectName)
{
    auto* button = new QPushButton(text);
    button->setObjectName(objectName);
    layout->addWidget(button);
    return button;
}

} // namespace

CReplayGainDialog::CReplayGainDialog(QWidget* parent, CReplayGainJob& replayGainJob,
                                     std::function<QString(int)> text)
    : QDialog(parent), job(replayGainJob), languageText(std::move(text))
{
    setObjectName(u"replayGainDialog"_s);
    setWindowTitle(Text(kTitleText, u"ReplayGain tagger"_s));
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(
        Text(kIntroText, u"Adds ReplayGain values to audio files of any format orvel reads "
                         u"(R128 gains to Opus files). The files of one folder that share an "
                         u"album title are measured together as one album."_s));
    intro->setWordWrap(true);
    layout->addWidget(intro);

    fileList = new QListWidget;
    fileList->setObjectName(u"files"_s);
    fileList->setMinimumSize(480, 220);
    layout->addWidget(fileList);

    auto* listButtons = new QHBoxLayout;
    addFilesButton = AddButton(listButtons, Text(kAddFilesText, u"Add files..."_s), u"addFiles"_s);
    addFolderButton =
        AddButton(listButtons, Text(kAddFolderText, u"Add folder..."_s), u"addFolder"_s);
    clearButton = AddButton(listButtons, Text(kRemoveAllText, u"Remove all"_s), u"clear"_s);
    listButtons->addStretch();
    layout->addLayout(listButtons);

    progress = new QProgressBar;
    progress->setObjectName(u"progress"_s);
    progress->setRange(0, 1);
    progress->setValue(0);
    layout->addWidget(progress);
    status = new QLabel;
    status->setObjectName(u"status"_s);
    status->setWordWrap(true);
    status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(status);

    auto* runButtons = new QHBoxLayout;
    startButton = AddButton(runButtons, Text(kStartText, u"Start"_s), u"start"_s);
    retryButton = AddButton(runButtons, Text(kRetryText, u"Retry untagged"_s), u"retry"_s);
    stopButton = AddButton(runButtons, Text(kStopText, u"Stop"_s), u"stop"_s);
    runButtons->addStretch();
    closeButton = AddButton(runButtons, Text(kCloseText, u"Close"_s), u"close"_s);
    layout->addLayout(runButtons);

    pollTimer = new QTimer(this);
    pollTimer->setInterval(kPollIntervalMs);

    connect(addFilesButton, &QPushButton::clicked, this, &CReplayGainDialog::ChooseFiles);
    connect(addFolderButton, &QPushButton::clicked, this, &CReplayGainDialog::ChooseFolder);
    connect(clearButton, &QPushButton::clicked, fileList, &QListWidget::clear);
    connect(clearButton, &QPushButton::clicked, this, &CReplayGainDialog::UpdateButtons);
    connect(startButton, &QPushButton::clicked, this, &CReplayGainDialog::StartTagging);
    connect(retryButton, &QPushButton::clicked, this, &CReplayGainDialog::RetryUntagged);
    connect(stopButton, &QPushButton::clicked, this, [this] {
        job.Cancel();
        status->setText(
            Text(kStoppingText, u"Stopping: the album being measured is finished first."_s));
    });
    connect(closeButton, &QPushButton::clicked, this, &CReplayGainDialog::reject);
    connect(pollTimer, &QTimer::timeout, this, &CReplayGainDialog::Poll);

    // A run started in an earlier opening may still be going, or have left files to retry.
    AddFiles(job.Files());
    if (!job.HasTool())
        status->setText(
            Text(kNoToolText, u"ffmpeg was not found: install the ffmpeg package to tag files."_s));
    if (job.IsRunning())
        pollTimer->start();
    else if (!job.Files().isEmpty())
        ShowResult();
    UpdateButtons();
}

QString CReplayGainDialog::Text(int id, const QString& fallback) const
{
    const QString text = languageText ? languageText(id) : QString();
    return text.isEmpty() ? fallback : text;
}

void CReplayGainDialog::AddFiles(const QStringList& files)
{
    const QStringList listed = ListedFiles();
    for (const QString& file : files) {
        if (!listed.contains(file))
            fileList->addItem(file);
    }
    UpdateButtons();
}

QStringList CReplayGainDialog::ListedFiles() const
{
    QStringList files;
    for (int row = 0; row < fileList->count(); ++row)
        files.append(fileList->item(row)->text());
    return files;
}

void CReplayGainDialog::ChooseFiles()
{
    AddFiles(QFileDialog::getOpenFileNames(this, Text(kAddAudioFilesText, u"Add audio files"_s),
                                           QString(), kAudioFilter));
}

void CReplayGainDialog::ChooseFolder()
{
    const QString folder =
        QFileDialog::getExistingDirectory(this, Text(kAddFolderTitle, u"Add folder"_s));
    if (folder.isEmpty())
        return;
    QStringList files;
    QDirIterator it(folder, kAudioPatterns, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next());
    files.sort();
    AddFiles(files);
}

void CReplayGainDialog::StartTagging()
{
    if (!job.Start(ListedFiles())) {
        QMessageBox::critical(this, Text(kErrorCaption, u"Error"_s),
                              Text(kNotStartedText, u"The tagging could not be started."_s));
        return;
    }
    untagged.clear();
    status->setText(Text(kMeasuringText, u"Measuring..."_s));
    pollTimer->start();
    Poll();
}

void CReplayGainDialog::RetryUntagged()
{
    const QStringList retry = untagged;
    fileList->clear();
    AddFiles(retry);
    StartTagging();
}

void CReplayGainDialog::Poll()
{
    if (!job.IsRunning()) {
        pollTimer->stop();
        ShowResult();
        return;
    }
    progress->setRange(0, qMax(1, job.TotalAlbums()));
    progress->setValue(job.StartedAlbums());
    status->setText(Text(kAlbumsStartedText, u"Albums started: %1 of %2"_s)
                        .arg(job.StartedAlbums())
                        .arg(job.TotalAlbums()));
    UpdateButtons();
}

void CReplayGainDialog::ShowResult()
{
    progress->setRange(0, 1);
    progress->setValue(1);
    untagged = job.UntaggedFiles();
    const qsizetype tagged = job.Files().size() - untagged.size();
    QString text = Text(kTaggedText, u"%1 of %2 files carry ReplayGain values."_s)
                       .arg(tagged)
                       .arg(job.Files().size());
    if (!untagged.isEmpty())
        text += u'\n' + Text(kUntaggedText, u"Not tagged (damaged, not audio, or read-only):"_s) +
                u'\n' + untagged.join(u'\n');
    status->setText(text);
    UpdateButtons();
}

void CReplayGainDialog::UpdateButtons()
{
    const bool running = job.IsRunning();
    startButton->setEnabled(!running && job.HasTool() && fileList->count() > 0);
    retryButton->setEnabled(!running && job.HasTool() && !untagged.isEmpty());
    stopButton->setEnabled(running);
    addFilesButton->setEnabled(!running);
    addFolderButton->setEnabled(!running);
    clearButton->setEnabled(!running);
}

void CReplayGainDialog::done(int result)
{
    // The window may close while albums are measured: the job outlives it, and the next
    // opening shows how far it got.
    pollTimer->stop();
    QDialog::done(result);
}
