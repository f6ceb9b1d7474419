#include "dialogs/wav_actions_dialog.h"

#include "dialogs/rule_description.h"
#include "dialogs/wav_action_edit_dialog.h"
#include "records/app_state.h"
#include "records/rule_store.h"

#include <utility>

namespace {
const RuleListTexts kTexts = {
    "AdvWAV",         "Larkwatch --- Advance WAV Settings", "LstWAV", "WAV &Actions:",
    "&Add Action...", "Exit Advance WAV Settings",
};
} // namespace

AdvanceWavSettingsDialog::AdvanceWavSettingsDialog(AppState& state, PlayMessageFn playMessage,
                                                   QWidget* parent)
    : RuleListDialog(kTexts, parent), m_state(state), m_playMessage(std::move(playMessage)) {
    FillList();
}

int AdvanceWavSettingsDialog::RuleCount() const {
    return m_state.WavActionCount();
}

FilterRule& AdvanceWavSettingsDialog::Rule(int k) {
    return m_state.WavActionList[k];
}

QString AdvanceWavSettingsDialog::Describe(int k) const {
    return DescribeWavAction(m_state.WavActionList.at(k));
}

bool AdvanceWavSettingsDialog::AddRule() {
    m_state.EditWavAction.SenderText.clear();
    m_state.EditWavAction.SubjectText.clear();
    WavActionEditDialog edit(m_state, m_playMessage, this);
    edit.exec();
    if (!m_state.DialogAccepted)
        return false;
    m_state.EditWavAction.Active = true;
    m_state.WavActionList.append(m_state.EditWavAction);
    return true;
}

bool AdvanceWavSettingsDialog::ModifyRule(int k) {
    m_state.EditWavAction = m_state.WavActionList.at(k);
    WavActionEditDialog edit(m_state, m_playMessage, this);
    edit.exec();
    if (!m_state.DialogAccepted)
        return false;
    WavAction& action = m_state.WavActionList[k];
    const bool active = action.Active;
    action = m_state.EditWavAction;
    action.Active = active;
    return true;
}

void AdvanceWavSettingsDialog::RemoveRule(int k) {
    m_state.WavActionList.removeAt(k);
}

void AdvanceWavSettingsDialog::SaveRules() {
    SaveWavActions(m_state);
}
