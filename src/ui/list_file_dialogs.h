#pragma once

#include "codecs/codec_discovery.h"

#include <QFileDialog>
#include <QStringList>
#include <memory>

// The file dialogs of the list commands and the rules around them.

// Add file's filters, in order: every supported pattern under allSupportedText, WAV, then one
// per decoder with its own patterns. Each entry's extension gives the pattern "*.ext" (a dot
// is added where the extension is written without one); a decoder without entries is left out.
QStringList AddFileNameFilters(const DecoderList& decoders, const QString& allSupportedText);

// The filter of Load list and Save list.
QString PlaylistNameFilter();

// Save list's rule: the chosen path cleaned, and its extension replaced by "m3u" unless it is
// exactly that (so "a.M3U" becomes "a.m3u" and "list" becomes "list.m3u").
QString PlaylistSavePath(const QString& chosen);

// The position of the filter the dialog reports as chosen, -1 for none. A dialog that hides the
// filters' patterns reports only the label ("All supported files").
qsizetype ChosenFilterPosition(const QStringList& filters, const QString& chosen);

// FilterIndex is one-based, with 0 for the first filter; an index past the filters starts with
// the first one too. These turn it into a position in the filters and back.
int FilterPosition(int filterIndex, int filterCount);
int FilterIndexOf(int position);

// A resizable file dialog owned by owner, named for tests. It opens in the folder of the last
// dialog accepted in this run, at first in the user's Music folder (else the home folder).
std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* owner, const QString& objectName,
                                            QFileDialog::AcceptMode acceptMode,
                                            QFileDialog::FileMode fileMode);

// Runs the dialog; true when accepted, and then its folder is where the next one opens.
bool ExecFileDialog(QFileDialog& dialog);
