#include "dialogs/wav_action_edit_dialog.h"

#include "dialogs/dialog_controls.h"
#include "dialogs/file_choosers.h"
#include "dialogs/leading_space_filter.h"
#include "dialogs/rule_fields.h"
#include "records/app_state.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

WavActionEditDialog::WavActionEditDialog(AppState& state, PlayMessageFn playMessage,
                                         QWidget* parent)
    : QDialog(parent), m_state(state), m_playMessage(std::move(playMessage)),
      m_fields(new RuleFields(this)) {
    setObjectName(QStringLiteral("AdvAction"));
    UseDialogFrame(*this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_fields);

    auto* sound = new QGridLayout;
    m_txtWavFile = NamedLineEdit(this, "txtWavFile", "WAV file name");
    RefuseLeadingSpaceWhileTyping(*m_txtWavFile);
    m_txtWavFile->setMinimumWidth(m_txtWavFile->fontMetrics().averageCharWidth() * 36);
    auto* label = new QLabel(QStringLiteral("If above is true, &play this WAV file:"), this);
    label->setBuddy(m_txtWavFile);
    auto* butSelWAV = NamedButton(this, "butSelWAV", QStringLiteral("Select &WAV file..."),
                                  "Select the sound to be played");
    m_butTestWav =
        NamedButton(this, "butTestWav", QStringLiteral("Test WAV"), "Play the WAV file now");
    sound->addWidget(label, 0, 0, 1, 3);
    sound->addWidget(m_txtWavFile, 1, 0);
    sound->addWidget(butSelWAV, 1, 1);
    sound->addWidget(m_butTestWav, 1, 2);
    sound->setColumnStretch(0, 1);
    layout->addLayout(sound);

    m_butOK = NamedButton(this, "ButOK", QStringLiteral("OK"), "Click here to accept and return");
    auto* butCancel =
        NamedButton(this, "butCancel", QStringLiteral("&Cancel"), "Cancel and return");
    m_butOK->setDefault(true);
    layout->addLayout(ButtonRow({m_butOK, butCancel}));
    layout->setSizeConstraint(QLayout::SetFixedSize);
    SetTabOrder(m_fields->TabChain()
                << m_txtWavFile << butSelWAV << m_butTestWav << m_butOK << butCancel);

    m_state.DialogAccepted = false;
    const WavAction& action = m_state.EditWavAction;
    if (!action.SenderText.isEmpty() || !action.SubjectText.isEmpty()) {
        setWindowTitle(QStringLiteral("Larkwatch --- Modify WAV Action"));
        m_fields->Load(action);
        m_txtWavFile->setText(action.WavFile);
    } else {
        setWindowTitle(QStringLiteral("Larkwatch --- Add WAV Action"));
    }
    UpdateControls();

    connect(m_fields, &RuleFields::Changed, this, &WavActionEditDialog::UpdateControls);
    connect(m_txtWavFile, &QLineEdit::textChanged, this, &WavActionEditDialog::UpdateControls);
    connect(butSelWAV, &QPushButton::clicked, this, &WavActionEditDialog::butSelWAV_Click);
    connect(m_butTestWav, &QPushButton::clicked, this, &WavActionEditDialog::butTestWav_Click);
    connect(m_butOK, &QPushButton::clicked, this, &WavActionEditDialog::ButOK_Click);
    connect(butCancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool WavActionEditDialog::CanAccept() const {
    return m_fields->HasText() && !m_txtWavFile->text().isEmpty();
}

void WavActionEditDialog::UpdateControls() {
    m_butOK->setEnabled(CanAccept());
    m_butTestWav->setEnabled(!m_txtWavFile->text().isEmpty());
}

void WavActionEditDialog::butSelWAV_Click() {
    const QString chosen = ChooseWavFile(this, m_txtWavFile->text());
    if (!chosen.isEmpty())
        m_txtWavFile->setText(chosen);
}

void WavActionEditDialog::butTestWav_Click() {
    PlayWithSoundSettings(m_state.AppSettings, m_playMessage, m_txtWavFile->text(), QString(),
                          true);
}

void WavActionEditDialog::ButOK_Click() {
    if (!CanAccept())
        return;
    m_fields->Store(m_state.EditWavAction);
    m_state.EditWavAction.WavFile = m_txtWavFile->text();
    m_state.DialogAccepted = true;
    accept();
}
