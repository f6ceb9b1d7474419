#pragma once

#include "dialogs/rule_list_dialog.h"

class AppState;
class QCheckBox;
class QLineEdit;

// "Larkwatch --- Message Filtering": the filter rules, and the To-address
// rule ("Delete if TO does not contain:" with the user's address fragments).
// Rule changes are stored at once; the To-address rule is stored by Exit only,
// its text trimmed and inner runs of blanks reduced to one.
class FilterDialog : public RuleListDialog {
    Q_OBJECT
public:
    explicit FilterDialog(AppState& state, QWidget* parent = nullptr);

protected:
    int RuleCount() const override;
    FilterRule& Rule(int k) override;
    QString Describe(int k) const override;
    bool AddRule() override;
    bool ModifyRule(int k) override;
    void RemoveRule(int k) override;
    void SaveRules() override;
    void ButOK_Click() override;

private:
    void chkTO_Click();
    void txtTO_Change();

    AppState& m_state;
    QCheckBox* m_chkTO;
    QLineEdit* m_txtTO;
};

// The To-address fragments as stored: no blanks at either end, one blank
// between two fragments.
QString NormalizedFilterTO(const QString& text);
