#include "dialogs/filter_dialog.h"

#include "dialogs/dialog_controls.h"
#include "dialogs/filter_edit_dialog.h"
#include "dialogs/rule_description.h"
#include "records/app_state.h"
#include "records/rule_store.h"
#include "records/settings_section.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const RuleListTexts kTexts = {
    "Filter",         "Larkwatch --- Message Filtering", "LstFilter", "Message &Filters:",
    "&Add Filter...", "Exit Message Filtering",
};
} // namespace

QString NormalizedFilterTO(const QString& text) {
    return text.split(QLatin1Char(' '), Qt::SkipEmptyParts).join(QLatin1Char(' '));
}

FilterDialog::FilterDialog(AppState& state, QWidget* parent)
    : RuleListDialog(kTexts, parent), m_state(state) {
    m_chkTO = NamedCheckBox(this, "chkTO", "Delete if TO does not contain:");
    m_txtTO = NamedLineEdit(this, "txtTO", "Type your email assress or part of it");
    m_txtTO->setEnabled(false);
    ExtraArea()->addWidget(m_chkTO);
    ExtraArea()->addWidget(m_txtTO);
    SetTabOrder(TabChain() << m_chkTO << m_txtTO);

    // The To-address rule first, then the list.
    m_txtTO->setText(m_state.FilterTO);
    m_chkTO->setChecked(m_state.UseFieldTO);
    chkTO_Click();
    FillList();

    connect(m_chkTO, &QCheckBox::toggled, this, &FilterDialog::chkTO_Click);
    connect(m_txtTO, &QLineEdit::textChanged, this, &FilterDialog::txtTO_Change);
}

int FilterDialog::RuleCount() const {
    return m_state.FilterCount();
}

FilterRule& FilterDialog::Rule(int k) {
    return m_state.FilterList[k];
}

QString FilterDialog::Describe(int k) const {
    return DescribeRule(m_state.FilterList.at(k));
}

bool FilterDialog::AddRule() {
    m_state.EditFilter.SenderText.clear();
    m_state.EditFilter.SubjectText.clear();
    FilterEditDialog edit(m_state, this);
    edit.exec();
    if (!m_state.DialogAccepted)
        return false;
    m_state.EditFilter.Active = true;
    m_state.FilterList.append(m_state.EditFilter);
    return true;
}

bool FilterDialog::ModifyRule(int k) {
    m_state.EditFilter = m_state.FilterList.at(k);
    FilterEditDialog edit(m_state, this);
    edit.exec();
    if (!m_state.DialogAccepted)
        return false;
    FilterRule& rule = m_state.FilterList[k];
    const bool active = rule.Active;
    rule = m_state.EditFilter;
    rule.Active = active;
    return true;
}

void FilterDialog::RemoveRule(int k) {
    m_state.FilterList.removeAt(k);
}

void FilterDialog::SaveRules() {
    SaveFilters(m_state);
}

void FilterDialog::chkTO_Click() {
    m_txtTO->setEnabled(m_chkTO->isChecked());
}

void FilterDialog::txtTO_Change() {
    // An address rule that was emptied by editing must be typed again (or
    // the window closed) before the dialog can be left with Exit.
    ExitButton()->setEnabled(!m_txtTO->text().isEmpty());
}

void FilterDialog::ButOK_Click() {
    m_state.UseFieldTO = m_chkTO->isChecked();
    m_state.FilterTO = NormalizedFilterTO(m_txtTO->text());
    {
        SettingsStore::Batch batch(m_state.Store);
        SectionWriter filters(m_state.Store, RuleKeys::FiltersSection);
        filters.Write(RuleKeys::UseFieldTO, m_state.UseFieldTO);
        filters.Write(RuleKeys::FilterTO, m_state.FilterTO);
    }
    accept();
}
