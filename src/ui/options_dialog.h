#pragma once

#include "ui/options_page.h"

#include <QDialog>
#include <memory>
#include <vector>

class CLanguagePack;
class CSettingsSet;
class QPushButton;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;

// The options dialog: a tree of pages on the left, the selected page on the right. The tree
// is built from the pages' titles when the dialog is first shown; it opens on the page at the
// position "OptionsInitialPage" and stores the position of the page shown last on OK.
class COptionsDialog : public QDialog
{
    Q_OBJECT

public:
    // Results of exec().
    static constexpr int kResultOK = 1;
    static constexpr int kResultCancel = 2;
    // Longest title taken from a page, in characters.
    static constexpr int kTitleLength = 199;

    COptionsDialog(CLanguagePack& language, CSettingsSet& settings, QWidget* parent);
    ~COptionsDialog() override;

    // Appends a page; its position in the tree order is the one "OptionsInitialPage" stores.
    COptionsPage& AddPage(std::unique_ptr<COptionsPage> page);

    int PageCount() const { return int(pages.size()); }
    COptionsPage& Page(int position) const { return *pages[size_t(position)]; }
    // The position of the page shown now, -1 when none is.
    int CurrentPage() const { return currentPage; }
    // Selects the page's item in the tree, which shows the page.
    void ShowPage(int position);

    void accept() override;
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void CreateControls();
    void BuildTree();
    QTreeWidgetItem* FindOrAddChild(QTreeWidgetItem* parent, const QString& text);
    void OnItemChanged(QTreeWidgetItem* item);
    // Hides the page shown now and shows this one, creating its window first if needed.
    void ActivatePage(int position);
    void DestroyPages();

    CLanguagePack& language;
    CSettingsSet& settings;
    std::vector<std::unique_ptr<COptionsPage>> pages;
    int currentPage = -1;
    bool treeBuilt = false;

    QTreeWidget* tree = nullptr;
    QStackedWidget* pageArea = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;
};
