#pragma once

#include "ui/options_page.h"

class QComboBox;

// Core options: the priority of the external programs and how many run at once.
class COptionsPageCore : public COptionsPage
{
public:
    static constexpr int kPriorityCount = 4; // idle, normal, high, real-time
    static constexpr int kMaxThreads = 8;

    // The thread-count entry equal to processorCount says it is the number of processors.
    COptionsPageCore(CLanguagePack& language, int processorCount);

    QString GetTitle() const override;
    void OnOK() override;

protected:
    void BuildControls(QWidget* page) override;

private:
    int processorCount;
    QComboBox* priority = nullptr;
    QComboBox* threadsCount = nullptr;
};
