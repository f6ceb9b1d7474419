#include "dialogs/rule_fields.h"

#include "dialogs/dialog_controls.h"
#include "dialogs/leading_space_filter.h"
#include "records/filter_rule.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

RuleFields::RuleFields(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("RuleFields"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* sender = new QGroupBox(QStringLiteral("&Sender field"), this);
    sender->setObjectName(QStringLiteral("fraSender"));
    auto* senderLayout = new QVBoxLayout(sender);
    m_txtSnd = NamedLineEdit(sender, "TxtSnd", "Enter Sender name/email");
    m_txtSnd->setMinimumWidth(m_txtSnd->fontMetrics().averageCharWidth() * 40);
    m_optSender[0] = NamedOption(sender, "optSender0", "Can be anywhere in Sender field");
    m_optSender[1] = NamedOption(sender, "optSender1", "Must exactly match Sender field");
    senderLayout->addWidget(m_txtSnd);
    senderLayout->addWidget(m_optSender[0]);
    senderLayout->addWidget(m_optSender[1]);
    layout->addWidget(sender);

    m_boolPair = new QWidget(this);
    m_boolPair->setObjectName(QStringLiteral("boolPair"));
    auto* boolLayout = new QHBoxLayout(m_boolPair);
    m_optBool[0] = NamedOption(m_boolPair, "optBool0", "&AND", "Sender AND Subject must exist");
    m_optBool[1] = NamedOption(m_boolPair, "optBool1", "&OR", "Sender OR Subject must exist");
    boolLayout->addStretch();
    boolLayout->addWidget(m_optBool[0]);
    boolLayout->addSpacing(24);
    boolLayout->addWidget(m_optBool[1]);
    boolLayout->addStretch();
    layout->addWidget(m_boolPair);

    auto* subject = new QGroupBox(QStringLiteral("Su&bject field"), this);
    subject->setObjectName(QStringLiteral("fraSubject"));
    auto* subjectLayout = new QVBoxLayout(subject);
    m_txtSub = NamedLineEdit(subject, "txtSub", "Enter Subject");
    m_optSubject[0] = NamedOption(subject, "optSubject0", "Can be anywhere in Subject field");
    m_optSubject[1] = NamedOption(subject, "optSubject1", "Must exactly match Subject field");
    subjectLayout->addWidget(m_txtSub);
    subjectLayout->addWidget(m_optSubject[0]);
    subjectLayout->addWidget(m_optSubject[1]);
    layout->addWidget(subject);

    // The design state: empty texts, "Can be anywhere" and AND.
    m_optSender[0]->setChecked(true);
    m_optSubject[0]->setChecked(true);
    m_optBool[0]->setChecked(true);

    for (QLineEdit* text : {m_txtSnd, m_txtSub}) {
        RefuseLeadingSpaceWhileTyping(*text);
        connect(text, &QLineEdit::textChanged, this, [this] {
            UpdatePairs();
            Q_EMIT Changed();
        });
    }
    UpdatePairs();
}

QList<QWidget*> RuleFields::TabChain() const {
    return {m_txtSnd,     m_optSender[0], m_optSender[1],  m_optBool[0],
            m_optBool[1], m_txtSub,       m_optSubject[0], m_optSubject[1]};
}

void RuleFields::Load(const FilterRule& rule) {
    m_txtSnd->setText(rule.SenderText);
    m_txtSub->setText(rule.SubjectText);
    m_optSender[rule.SenderMatch ? 1 : 0]->setChecked(true);
    m_optSubject[rule.SubjectMatch ? 1 : 0]->setChecked(true);
    m_optBool[rule.AND ? 0 : 1]->setChecked(true);
    UpdatePairs();
}

void RuleFields::Store(FilterRule& rule) const {
    rule.SenderText = m_txtSnd->text();
    rule.SubjectText = m_txtSub->text();
    rule.SenderMatch = m_optSender[1]->isChecked();
    rule.SubjectMatch = m_optSubject[1]->isChecked();
    rule.AND = m_optBool[0]->isChecked();
}

bool RuleFields::HasText() const {
    return !m_txtSnd->text().isEmpty() || !m_txtSub->text().isEmpty();
}

void RuleFields::UpdatePairs() {
    const bool sender = !m_txtSnd->text().isEmpty();
    const bool subject = !m_txtSub->text().isEmpty();
    for (QRadioButton* option : m_optSender)
        option->setEnabled(sender);
    for (QRadioButton* option : m_optSubject)
        option->setEnabled(subject);
    for (QRadioButton* option : m_optBool)
        option->setEnabled(sender && subject);
}
