#include "ui/list_file_dialogs.h"

#include "foundation/path_helpers.h"

#include <QDir>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace {

const QString kPlaylistExtension = u"m3u"_s;

// The folder the last accepted dialog showed, for this run of the program.
QString& LastFolder()
{
    static QString folder;
    return folder;
}

// Never the program folder, the current directory: the user's music is where they start.
QString StartFolder()
{
    if (!LastFolder().isEmpty() && QDir(LastFolder()).exists()) {
        return LastFolder();
    }
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    return QDir(music).exists() ? music : QDir::homePath();
}

QString PatternOf(const QString& extension)
{
    return extension.startsWith(u'.') ? u'*' + extension : u"*."_s + extension;
}

QStringList PatternsOf(CDecoder& decoder)
{
    QStringList patterns;
    for (const CodecEntry& entry : decoder.GetEntries()) {
        patterns << PatternOf(entry.extension);
    }
    return patterns;
}

// Qt's form of a filter: patterns in parentheses, separated by spaces.
QString NameFilter(const QString& description, const QStringList& patterns)
{
    return description.trimmed() + u" ("_s + patterns.join(u' ') + u')';
}

} // namespace

QStringList AddFileNameFilters(const DecoderList& decoders, const QString& allSupportedText)
{
    const QString wavPattern = u"*.wav"_s;
    QStringList allPatterns;
    QStringList perDecoder;
    for (const auto& decoder : decoders) {
        const QStringList patterns = PatternsOf(*decoder);
        if (patterns.isEmpty()) {
            continue;
        }
        allPatterns << patterns;
        perDecoder << NameFilter(decoder->GetName(), patterns);
    }
    allPatterns << wavPattern;
    return QStringList{NameFilter(allSupportedText, allPatterns),
                       NameFilter(u"Waveform PCM"_s, {wavPattern})} +
           perDecoder;
}

QString PlaylistNameFilter()
{
    return u"M3U files (*.m3u)"_s;
}

QString PlaylistSavePath(const QString& chosen)
{
    QString path = CleanedPath(chosen);
    if (ExtensionPart(path) != kPlaylistExtension) {
        RenameExtension(path, kPlaylistExtension);
    }
    return path;
}

qsizetype ChosenFilterPosition(const QStringList& filters, const QString& chosen)
{
    if (const qsizetype exact = filters.indexOf(chosen); exact >= 0) {
        return exact;
    }
    for (qsizetype i = 0; i < filters.size(); ++i) {
        if (filters[i].startsWith(chosen + u" ("_s)) {
            return i;
        }
    }
    return -1;
}

int FilterPosition(int filterIndex, int filterCount)
{
    return filterIndex >= 1 && filterIndex <= filterCount ? filterIndex - 1 : 0;
}

int FilterIndexOf(int position)
{
    return position + 1;
}

std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* owner, const QString& objectName,
                                            QFileDialog::AcceptMode acceptMode,
                                            QFileDialog::FileMode fileMode)
{
    auto dialog = std::make_unique<QFileDialog>(owner);
    dialog->setObjectName(objectName);
    dialog->setAcceptMode(acceptMode);
    dialog->setFileMode(fileMode);
    dialog->setSizeGripEnabled(true);
    // "All supported files" lists dozens of patterns; the label alone is enough to choose by.
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    dialog->setDirectory(StartFolder());
    return dialog;
}

bool ExecFileDialog(QFileDialog& dialog)
{
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    LastFolder() = dialog.directory().absolutePath();
    return true;
}
