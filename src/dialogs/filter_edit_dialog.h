#pragma once

#include <QDialog>

class AppState;
class QPushButton;
class RuleFields;

// "Larkwatch --- Add Filter" / "Larkwatch --- Modify Filter": edits the rule
// in AppState::EditFilter (a rule with a text is modified, one without is
// new). OK, offered once either text is filled in, writes the dialog's values
// into EditFilter and sets DialogAccepted; Cancel leaves EditFilter alone.
class FilterEditDialog : public QDialog {
    Q_OBJECT
public:
    explicit FilterEditDialog(AppState& state, QWidget* parent = nullptr);

private:
    void UpdateControls();
    void ButOK_Click();

    AppState& m_state;
    RuleFields* m_fields;
    QPushButton* m_butOK;
};
