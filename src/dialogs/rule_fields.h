#pragma once

#include <QWidget>

struct FilterRule;
class QLineEdit;
class QRadioButton;

// The rule part shared by the Add/Modify Filter and Add/Modify WAV Action
// dialogs: the sender text with its match pair (frame "&Sender field"), the
// AND/OR pair, and the subject text with its match pair (frame "Su&bject
// field"). Each pair is offered only when its text(s) are filled in.
class RuleFields : public QWidget {
    Q_OBJECT
public:
    explicit RuleFields(QWidget* parent = nullptr);

    // Fills the texts and selects the options of a rule being modified.
    void Load(const FilterRule& rule);
    // Texts as typed and the three choices (also from a pair that is
    // offered no more); the Active flag is left alone.
    void Store(FilterRule& rule) const;
    // At least one of the two texts is filled in.
    bool HasText() const;

    QLineEdit* TxtSnd() const { return m_txtSnd; }
    QLineEdit* TxtSub() const { return m_txtSub; }
    // The controls in tab order.
    QList<QWidget*> TabChain() const;

Q_SIGNALS:
    // Either text changed.
    void Changed();

private:
    void UpdatePairs();

    QLineEdit* m_txtSnd;
    QRadioButton* m_optSender[2];
    QLineEdit* m_txtSub;
    QRadioButton* m_optSubject[2];
    QWidget* m_boolPair;
    QRadioButton* m_optBool[2];
};
