#include "dialogs/filter_edit_dialog.h"

#include "dialogs/dialog_controls.h"
#include "dialogs/rule_fields.h"
#include "records/app_state.h"

#include <QPushButton>
#include <QVBoxLayout>

FilterEditDialog::FilterEditDialog(AppState& state, QWidget* parent)
    : QDialog(parent), m_state(state), m_fields(new RuleFields(this)) {
    setObjectName(QStringLiteral("AddFilter"));
    UseDialogFrame(*this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_fields);
    m_butOK = NamedButton(this, "ButOK", QStringLiteral("OK"), "Click here to accept and return");
    auto* butCancel =
        NamedButton(this, "butCancel", QStringLiteral("&Cancel"), "Cancel and return");
    m_butOK->setDefault(true);
    layout->addLayout(ButtonRow({m_butOK, butCancel}));
    layout->setSizeConstraint(QLayout::SetFixedSize);
    SetTabOrder(m_fields->TabChain() << m_butOK << butCancel);

    m_state.DialogAccepted = false;
    const FilterRule& rule = m_state.EditFilter;
    if (!rule.SenderText.isEmpty() || !rule.SubjectText.isEmpty()) {
        setWindowTitle(QStringLiteral("Larkwatch --- Modify Filter"));
        m_fields->Load(rule);
    } else {
        setWindowTitle(QStringLiteral("Larkwatch --- Add Filter"));
    }
    UpdateControls();

    connect(m_fields, &RuleFields::Changed, this, &FilterEditDialog::UpdateControls);
    connect(m_butOK, &QPushButton::clicked, this, &FilterEditDialog::ButOK_Click);
    connect(butCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void FilterEditDialog::UpdateControls() {
    m_butOK->setEnabled(m_fields->HasText());
}

void FilterEditDialog::ButOK_Click() {
    if (!m_fields->HasText())
        return; // Enter in a text box while OK is not offered
    m_fields->Store(m_state.EditFilter);
    m_state.DialogAccepted = true;
    accept();
}
