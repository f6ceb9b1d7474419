#pragma once

#include <QDialog>

struct FilterRule;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QVBoxLayout;

// The names and captions that tell the two rule lists apart.
struct RuleListTexts {
    const char* WindowName;  // objectName of the dialog
    const char* Title;       // window title
    const char* ListName;    // objectName of the list
    const char* ListCaption; // the list's label
    const char* AddCaption;
    const char* ExitToolTip;
};

// A list of rules with a tick each (the rule's Active flag), Add, Modify,
// Delete and Exit: the frame shared by the Message Filtering and the Advance
// WAV Settings dialogs. Entry k shows rule k + 1 at all times, and every
// change is stored at once, so Exit has nothing left to store.
class RuleListDialog : public QDialog {
    Q_OBJECT
protected:
    RuleListDialog(const RuleListTexts& texts, QWidget* parent);

    // Fills the list from the rules; called by the subclass once it can
    // answer the questions below.
    void FillList();
    // Room below the list for further controls.
    QVBoxLayout* ExtraArea() const { return m_extra; }
    QPushButton* ExitButton() const { return m_butOK; }
    // The list, Add, Modify, Delete and Exit, in tab order.
    QList<QWidget*> TabChain() const;

    virtual int RuleCount() const = 0;
    virtual FilterRule& Rule(int k) = 0; // k from 0
    virtual QString Describe(int k) const = 0;
    // Shows the edit dialog for a new rule; when confirmed appends the rule,
    // in force, to the list of rules and returns true.
    virtual bool AddRule() = 0;
    // Shows the edit dialog for rule k; when confirmed replaces it (its tick
    // kept) and returns true.
    virtual bool ModifyRule(int k) = 0;
    virtual void RemoveRule(int k) = 0;
    virtual void SaveRules() = 0;
    // Exit: closes the dialog.
    virtual void ButOK_Click();

private:
    int SelectedEntry() const;
    void UpdateButtons();
    void AppendEntry(int k);
    void List_ItemChanged(QListWidgetItem* item);
    void ButAdd_Click();
    void ButModify_Click();
    void ButDelete_Click();

    QListWidget* m_list;
    QPushButton* m_butAdd;
    QPushButton* m_butModify;
    QPushButton* m_butDelete;
    QPushButton* m_butOK;
    QVBoxLayout* m_extra;
};
