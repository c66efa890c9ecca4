#pragma once

#include <QDialog>
#include <QString>
#include <functional>

class CReplayGainJob;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTimer;

// The plugin's window: the audio files to tag, start and stop, the progress of the albums and,
// at the end, the files that could not be tagged.
class CReplayGainDialog : public QDialog
{
    Q_OBJECT

public:
    // text(id) gives a text of the program's language pack, empty when it has none.
    CReplayGainDialog(QWidget* parent, CReplayGainJob& job, std::function<QString(int)> text);

    void AddFiles(const QStringList& files);

    void done(int result) override;

private:
    QString Text(int id, const QString& fallback) const;
    void ChooseFiles();
    void ChooseFolder();
    void StartTagging();
    void RetryUntagged();
    void Poll();
    void ShowResult();
    void UpdateButtons();
    QStringList ListedFiles() const;

    CReplayGainJob& job;
    std::function<QString(int)> languageText;
    QListWidget* fileList;
    QLabel* status;
    QProgressBar* progress;
    QPushButton* addFilesButton;
    QPushButton* addFolderButton;
    QPushButton* clearButton;
    QPushButton* startButton;
    QPushButton* retryButton;
    QPushButton* stopButton;
    QPushButton* closeButton;
    QTimer* pollTimer;
    // Read once per finished run: checking means reading every file's metadata.
    QStringList untagged;
};
