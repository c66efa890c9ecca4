#pragma once

#include <QSize>

class CListViewEx;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// The controls of the main window, laid out as its template draws them: the file list on
// the left with the start button and the two command-line edits below it, the coder and
// preset choices with the coder information on the right. The file list grows with the
// window; the right column keeps its distance to the right edge; the bottom row keeps its
// distance to the bottom edge and its edits stretch with the width.
struct MainWindowControls
{
    CListViewEx* fileList = nullptr;           // 1000
    QPushButton* startButton = nullptr;        // 1003
    QLabel* coderLabel = nullptr;              // 1007
    QComboBox* coderCombo = nullptr;           // 1004
    QPushButton* coderFolderButton = nullptr;  // 1019
    QLabel* presetLabel = nullptr;             // 1008
    QComboBox* presetCombo = nullptr;          // 1005
    QPushButton* resetButton = nullptr;        // 1016
    QPushButton* applyButton = nullptr;        // 1017
    QLabel* coderInfoLabel = nullptr;          // 1055
    CListViewEx* coderInfoList = nullptr;      // 1039
    QPushButton* customPresetButton = nullptr; // 1015, hidden and disabled
    QPushButton* editPresetsButton = nullptr;  // 1014, hidden and disabled
    QLabel* decoderLineLabel = nullptr;        // 1012
    QLineEdit* decoderLineEdit = nullptr;      // 1010
    QLabel* coderLineLabel = nullptr;          // 1011
    QLineEdit* coderLineEdit = nullptr;        // 1009
    QLabel* runSummary = nullptr;              // what the last run did, below the coder information
};

// Creates the controls inside window (which gets the layout) with their template captions.
MainWindowControls CreateMainWindowControls(QWidget* window);

// The template's size of the window in pixels for its font, never smaller than what the
// layout needs.
QSize MainWindowTemplateSize(QWidget* window);
