#pragma once

#include "dialogs/rule_list_dialog.h"
#include "dialogs/sound_trial.h"

class AppState;

// "Larkwatch --- Advance WAV Settings": the WAV actions, rules that choose the
// sound for matching new mail. Opened from the Options dialog; every change
// is stored at once and Exit only closes.
class AdvanceWavSettingsDialog : public RuleListDialog {
    Q_OBJECT
public:
    AdvanceWavSettingsDialog(AppState& state, PlayMessageFn playMessage, QWidget* parent = nullptr);

protected:
    int RuleCount() const override;
    FilterRule& Rule(int k) override;
    QString Describe(int k) const override;
    bool AddRule() override;
    bool ModifyRule(int k) override;
    void RemoveRule(int k) override;
    void SaveRules() override;

private:
    AppState& m_state;
    PlayMessageFn m_playMessage;
};
