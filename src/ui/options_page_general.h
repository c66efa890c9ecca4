#pragma once

#include "ui/options_page.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

// General options: the file list, the warnings, where converted files go, and the language.
class COptionsPageGeneral : public COptionsPage
{
public:
    explicit COptionsPageGeneral(CLanguagePack& language);

    QString GetTitle() const override;
    void OnOK() override;

    // Chooses the output folder in the folder browser; the chosen folder, with a separator
    // at its end, replaces the folder text.
    void BrowseOutputFolder();

protected:
    void BuildControls(QWidget* page) override;

private:
    void UpdateFolderControls();
    void AddReplayGainControls(QVBoxLayout* layout);
    void AddLanguageControls(QVBoxLayout* layout);
    void AddCueSheetControls(QVBoxLayout* layout);
    void AddLibraryFolderControls(QVBoxLayout* layout);

    QCheckBox* sameAsOriginal = nullptr;
    QLineEdit* outputFolder = nullptr;
    QPushButton* browseButton = nullptr;
    QCheckBox* keepFolderStructure = nullptr; // of use only with an output folder
    QComboBox* replayGainScope = nullptr;     // track values only, or album values too
    QComboBox* languageChoice = nullptr;      // the item's data: the pack's name, or empty
    QComboBox* cueGaps = nullptr;             // where an album image's gaps go
    QComboBox* cueEncoding = nullptr;         // editable; the first item: found from the bytes
    QLineEdit* libraryFolder = nullptr;       // the tree kept below it, for the files inside
    QPushButton* browseLibraryButton = nullptr;
};
