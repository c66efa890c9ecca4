#pragma once

#include "ui/options_page.h"

#include <QString>

class CCoder;
class CNamePattern;
class CFileList;
class QCheckBox;
class QComboBox;
class QLabel;

// The file of the list whose result the Names page shows, with what Apply would plan it with.
struct NamePreviewSource
{
    const CFileList* files = nullptr;
    int row = -1;            // none: the page shows made-up tags
    CCoder* coder = nullptr; // null: decode only, a WAV
    QString programFolder;   // a relative output folder is taken from it
};

// Names from tags: the pattern results are named by, with ready patterns and the last ones
// used in its drop-down, and names safe for FAT and exFAT. The preview is the whole path of
// the selected file's result, from that file's own tags.
class COptionsPageNames : public COptionsPage
{
public:
    explicit COptionsPageNames(CLanguagePack& language, const NamePreviewSource& source = {});

    QString GetTitle() const override;
    void OnOK() override;

    // The patterns offered in the drop-down before the recent ones.
    static QStringList ReadyPatterns();

protected:
    void BuildControls(QWidget* page) override;

private:
    void UpdatePreview();
    QString SelectedResult(const CNamePattern& parsed) const;

    NamePreviewSource source;
    QComboBox* pattern = nullptr;
    QLabel* preview = nullptr;
    QCheckBox* fatSafe = nullptr;
};
