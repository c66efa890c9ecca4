#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <vector>

class CLanguagePack;
class CSettingsSet;
class QCheckBox;
class QVBoxLayout;

// One page of the options dialog. The dialog makes every page object up front, but a page's
// window (its controls) is built only when the page is first shown, and only a page whose
// window was built writes back on OK.
//
// A page is a class with a title, BuildControls and, if it writes more than check boxes,
// OnOK. A check box for a flag of the settings is one AddFlag call in BuildControls: it shows
// the flag when the page is built and writes it back on OK by itself.
class COptionsPage
{
public:
    virtual ~COptionsPage();
    COptionsPage(const COptionsPage&) = delete;
    COptionsPage& operator=(const COptionsPage&) = delete;

    virtual void OnOK() {}
    virtual void OnCancel() {}
    // Called once, right after the page's window has been built.
    virtual void OnCreate() {}
    // The page's path in the tree: parts separated by "\".
    virtual QString GetTitle() const = 0;
    virtual void SetSettings(CSettingsSet* set) { settings = set; }

    // Builds the page's window as a child of parent; the page must not be created yet.
    QWidget* Create(QWidget* parent);
    void Destroy();
    void Show(bool visible);
    bool IsCreated() const { return window != nullptr; }
    QWidget* Window() const { return window; }

    // OK: the bound flags, then OnOK. A page never created writes nothing.
    void Commit();

protected:
    explicit COptionsPage(CLanguagePack& language);

    // Fills the page's window with its controls; the settings are set by then.
    virtual void BuildControls(QWidget* page) = 0;

    // A group box with the text of titleId filling the page from the top, and its layout.
    QVBoxLayout* AddGroup(QWidget* page, int titleId);
    // A check box with the text of textId that shows flag (ticked when 1) and writes 0 or 1
    // into it on OK.
    QCheckBox* AddFlag(QVBoxLayout* layout, const QString& objectName, int textId, qint32& flag);

    CLanguagePack& language;
    CSettingsSet* settings = nullptr;

private:
    struct FlagBinding
    {
        QPointer<QCheckBox> box;
        qint32* flag;
    };

    QPointer<QWidget> window;
    std::vector<FlagBinding> flags;
};
