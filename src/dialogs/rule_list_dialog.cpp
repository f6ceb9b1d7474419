#include "dialogs/rule_list_dialog.h"

#include "dialogs/dialog_controls.h"
#include "records/filter_rule.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

RuleListDialog::RuleListDialog(const RuleListTexts& texts, QWidget* parent) : QDialog(parent) {
    setObjectName(QLatin1String(texts.WindowName));
    UseDialogFrame(*this);
    setWindowTitle(QString::fromUtf8(texts.Title));

    m_list = new QListWidget(this);
    m_list->setObjectName(QLatin1String(texts.ListName));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setMinimumSize(m_list->fontMetrics().averageCharWidth() * 72,
                           m_list->fontMetrics().height() * 10);
    auto* label = new QLabel(QString::fromUtf8(texts.ListCaption), this);
    label->setBuddy(m_list);

    m_butAdd = NamedButton(this, "ButAdd", QString::fromUtf8(texts.AddCaption),
                           "Add a filter to the list");
    m_butModify =
        NamedButton(this, "ButModify", QStringLiteral("&Modify"), "Modify the selected filter");
    m_butDelete =
        NamedButton(this, "ButDelete", QStringLiteral("&Delete"), "Delete the selected filter");
    m_butOK = NamedButton(this, "ButOK", QStringLiteral("E&xit"), texts.ExitToolTip);
    m_butOK->setDefault(true);

    auto* listColumn = new QVBoxLayout;
    listColumn->addWidget(label);
    listColumn->addWidget(m_list, 1);
    m_extra = new QVBoxLayout;
    listColumn->addLayout(m_extra);
    auto* buttonColumn = new QVBoxLayout;
    buttonColumn->addSpacing(label->sizeHint().height());
    buttonColumn->addWidget(m_butAdd);
    buttonColumn->addWidget(m_butModify);
    buttonColumn->addWidget(m_butDelete);
    buttonColumn->addStretch();
    buttonColumn->addWidget(m_butOK);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(listColumn, 1);
    layout->addLayout(buttonColumn);
    SetTabOrder(TabChain());

    connect(m_list, &QListWidget::itemChanged, this, &RuleListDialog::List_ItemChanged);
    connect(m_list, &QListWidget::itemSelectionChanged, this, &RuleListDialog::UpdateButtons);
    connect(m_butAdd, &QPushButton::clicked, this, &RuleListDialog::ButAdd_Click);
    connect(m_butModify, &QPushButton::clicked, this, &RuleListDialog::ButModify_Click);
    connect(m_butDelete, &QPushButton::clicked, this, &RuleListDialog::ButDelete_Click);
    connect(m_butOK, &QPushButton::clicked, this, &RuleListDialog::ButOK_Click);
}

QList<QWidget*> RuleListDialog::TabChain() const {
    return {m_list, m_butAdd, m_butModify, m_butDelete, m_butOK};
}

void RuleListDialog::FillList() {
    for (int k = 0; k < RuleCount(); ++k)
        AppendEntry(k);
    UpdateButtons();
}

void RuleListDialog::AppendEntry(int k) {
    const QSignalBlocker quiet(m_list); // showing a rule is no change to it
    auto* item = new QListWidgetItem(Describe(k));
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Rule(k).Active ? Qt::Checked : Qt::Unchecked);
    m_list->addItem(item);
}

int RuleListDialog::SelectedEntry() const {
    const QList<QListWidgetItem*> selected = m_list->selectedItems();
    return selected.isEmpty() ? -1 : m_list->row(selected.first());
}

void RuleListDialog::UpdateButtons() {
    const bool selected = SelectedEntry() >= 0;
    m_butModify->setEnabled(selected);
    m_butDelete->setEnabled(selected);
}

void RuleListDialog::List_ItemChanged(QListWidgetItem* item) {
    const int k = m_list->row(item);
    if (k < 0 || k >= RuleCount())
        return;
    const bool active = item->checkState() == Qt::Checked;
    if (Rule(k).Active != active) {
        Rule(k).Active = active;
        SaveRules();
    }
    UpdateButtons();
}

void RuleListDialog::ButAdd_Click() {
    if (!AddRule())
        return;
    SaveRules();
    AppendEntry(RuleCount() - 1);
    UpdateButtons();
}

void RuleListDialog::ButModify_Click() {
    const int k = SelectedEntry();
    if (k < 0 || !ModifyRule(k))
        return;
    {
        const QSignalBlocker quiet(m_list);
        m_list->item(k)->setText(Describe(k));
    }
    UpdateButtons();
    SaveRules();
}

void RuleListDialog::ButDelete_Click() {
    const int k = SelectedEntry();
    if (k < 0)
        return;
    RemoveRule(k);
    {
        const QSignalBlocker quiet(m_list);
        delete m_list->takeItem(k);
        m_list->clearSelection();
    }
    UpdateButtons();
    SaveRules();
}

void RuleListDialog::ButOK_Click() {
    accept();
}
