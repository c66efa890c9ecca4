#pragma once

#include "ui/options_page.h"

class QComboBox;

// What the device that plays the results takes (sample rate, bit depth, channels), and the
// proof of lossless results.
class COptionsPageDevice : public COptionsPage
{
public:
    explicit COptionsPageDevice(CLanguagePack& language);

    QString GetTitle() const override;
    void OnOK() override;

protected:
    void BuildControls(QWidget* page) override;

private:
    QComboBox* AddChoice(QVBoxLayout* layout, const QString& objectName, int textId,
                         const QStringList& items);

    QComboBox* sampleRate = nullptr;
    QComboBox* bitDepth = nullptr;
    QComboBox* channels = nullptr;
};
