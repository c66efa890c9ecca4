#pragma once

#include "codecs/codec_discovery.h"

#include <QDialog>
#include <QList>
#include <QString>

class CLanguagePack;
class CSettingsSet;
class CSortListViewEx;
class QCheckBox;
class QLabel;
class QPushButton;

// The codecs information window: every decoder and coder found, with its executable, the
// executable's exact size and, for a wrapper script, the system program it runs. Two check boxes
// choose which kinds are listed; the close box and Escape keep their state in "ShowCoders" and
// "ShowDecoders", OK leaves the settings as they were.
class CDlgCodecs : public QDialog
{
    Q_OBJECT

public:
    // Results of exec().
    static constexpr int kResultClosed = 0;
    static constexpr int kResultEscape = 2;
    static constexpr int kResultOK = 1026;

    struct Row
    {
        QString name;
        QString executable; // file name only
        QString size;
        QString program = {}; // what a wrapper script runs, and whether it is installed
    };

    CDlgCodecs(CLanguagePack& language, CSettingsSet& settings, QWidget* parent);
    ~CDlgCodecs() override;

    void AddCoder(const Row& row) { coderRows.append(row); }
    void AddDecoder(const Row& row) { decoderRows.append(row); }
    // A row for each coder but the decode-only entry, and for each decoder, in list order.
    void AddCodecs(CoderList& coders, DecoderList& decoders);

    // Lists the rows the check boxes ask for, decoders first, and counts them.
    void FillList();

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    void SetTexts();
    void AppendRows(const QList<Row>& rows, int kindTextId, int& count);
    void StoreCheckBoxes();

    CLanguagePack& language;
    CSettingsSet& settings;
    QList<Row> coderRows;
    QList<Row> decoderRows;
    bool filled = false;

    QCheckBox* showCoders = nullptr;
    QCheckBox* showDecoders = nullptr;
    QLabel* countText = nullptr;
    CSortListViewEx* list = nullptr;
    QPushButton* okButton = nullptr;
};
