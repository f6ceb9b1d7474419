#include "dialogs/options_dialog.h"

#include "dialogs/dialog_controls.h"
#include "dialogs/file_choosers.h"
#include "dialogs/pooling_text.h"
#include "dialogs/wav_actions_dialog.h"
#include "records/app_state.h"
#include "records/settings_section.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

namespace {
const QString kSelectDesign = QStringLiteral("Select &WAV file...");
const QString kSelectFile = QStringLiteral("Select &WAV File...");
const QString kSelectFolder = QStringLiteral("Select &WAV Folder...");

// An untitled frame around a group of controls.
QGroupBox* frame(QWidget* parent) {
    auto* box = new QGroupBox(parent);
    box->setFlat(false);
    return box;
}
} // namespace

OptionsDialog::OptionsDialog(AppState& state, PlayMessageFn playMessage, QWidget* parent)
    : QDialog(parent), m_state(state), m_playMessage(std::move(playMessage)) {
    setObjectName(QStringLiteral("Options"));
    UseDialogFrame(*this);
    setWindowTitle(QStringLiteral("Larkwatch --- Options"));
    BuildControls();
    LoadFromSettings();
}

OptionsDialog::~OptionsDialog() {
    m_state.NoDialogOpen = true;
}

void OptionsDialog::BuildControls() {
    auto* top = new QVBoxLayout(this);

    // The interval and the new-mail dialog.
    QGroupBox* checking = frame(this);
    auto* checkingLayout = new QGridLayout(checking);
    m_txtPooling =
        NamedLineEdit(checking, "txtPooling", "Enter the amount of minutes to check for mail");
    m_txtPooling->setMaximumWidth(
        m_txtPooling->fontMetrics().horizontalAdvance(QStringLiteral("000000000")) + 12);
    auto* every = new QLabel(QStringLiteral("Check &mail every "), checking);
    every->setBuddy(m_txtPooling);
    auto* minutes = new QLabel(QStringLiteral(" minutes"), checking);
    auto* intervalRow = new QHBoxLayout;
    intervalRow->addWidget(every);
    intervalRow->addWidget(m_txtPooling);
    intervalRow->addWidget(minutes);
    intervalRow->addStretch();
    checkingLayout->addLayout(intervalRow, 0, 0, 1, 2);
    m_chkAutoExpand = NamedCheckBox(checking, "chkAutoExpand", "&Automatically expand mail folders",
                                    "Open the mail folder on new mail");
    checkingLayout->addWidget(m_chkAutoExpand, 1, 0, 1, 2);
    m_chkShowDialog = NamedCheckBox(checking, "chkShowDialog", "&Show dialog on new mail",
                                    "Bring up the message window on new mail");
    checkingLayout->addWidget(m_chkShowDialog, 2, 0, 1, 2);
    m_txtDlgMsg = NamedLineEdit(checking, "txtDlgMsg", "New Mail message");
    m_lblDlgMsg = new QLabel(QStringLiteral("&Dialog message : "), checking);
    m_lblDlgMsg->setObjectName(QStringLiteral("lblDlgMsg"));
    m_lblDlgMsg->setBuddy(m_txtDlgMsg);
    checkingLayout->addWidget(m_lblDlgMsg, 3, 0);
    checkingLayout->addWidget(m_txtDlgMsg, 3, 1);
    checkingLayout->setColumnStretch(1, 1);
    top->addWidget(checking);

    // The new-mail sound.
    QGroupBox* sound = frame(this);
    auto* soundLayout = new QGridLayout(sound);
    m_chkPlayWAV[0] = NamedCheckBox(sound, "chkPlayWAV0", "Single Play");
    m_chkPlayWAV[1] = NamedCheckBox(sound, "chkPlayWAV1", "Random Play");
    auto* modeRow = new QHBoxLayout;
    modeRow->addWidget(m_chkPlayWAV[0]);
    modeRow->addWidget(m_chkPlayWAV[1]);
    modeRow->addStretch();
    soundLayout->addLayout(modeRow, 0, 0, 1, 3);
    m_txtWavFile = NamedLineEdit(sound, "txtWavFile", "WAV file name");
    m_txtWavFile->setMinimumWidth(m_txtWavFile->fontMetrics().averageCharWidth() * 36);
    m_butSelWAV = NamedButton(sound, "butSelWAV", kSelectDesign, "Select the sound to be played");
    // Wide enough for each of its captions, so the row does not jump.
    int selectWidth = 0;
    for (const QString& caption : {kSelectDesign, kSelectFile, kSelectFolder}) {
        m_butSelWAV->setText(caption);
        selectWidth = std::max(selectWidth, m_butSelWAV->sizeHint().width());
    }
    m_butSelWAV->setText(kSelectDesign);
    m_butSelWAV->setMinimumWidth(selectWidth);
    m_butTestWav = NamedButton(sound, "butTestWav", "Test", "Play the WAV file now");
    soundLayout->addWidget(m_txtWavFile, 1, 0);
    soundLayout->addWidget(m_butSelWAV, 1, 1);
    soundLayout->addWidget(m_butTestWav, 1, 2);
    m_chkMark = NamedCheckBox(sound, "chkMark",
                              "Play WAV only when there is new mail since last time checked.");
    soundLayout->addWidget(m_chkMark, 2, 0, 1, 3);
    m_butAdv = NamedButton(sound, "butAdv", "Advanced WAV settings...",
                           "Bring up the advanced sound options");
    auto* advancedRow = new QHBoxLayout;
    advancedRow->addWidget(m_butAdv);
    advancedRow->addStretch();
    soundLayout->addLayout(advancedRow, 3, 0, 1, 3);
    soundLayout->setColumnStretch(0, 1);
    top->addWidget(sound);

    // Where the program lives and how it starts and ends.
    QGroupBox* program = frame(this);
    auto* programLayout = new QVBoxLayout(program);
    m_chkTray = NamedCheckBox(program, "chkTray", "Run Larkwatch in the tray",
                              "Run in the tray, not the task bar");
    m_chkAutoMin = NamedCheckBox(program, "chkAutoMin", "Auto Minimize at startup");
    m_chkAutoExit = NamedCheckBox(program, "chkAutoExit", "Auto Exit if can't connect");
    programLayout->addWidget(m_chkTray);
    programLayout->addWidget(m_chkAutoMin);
    programLayout->addWidget(m_chkAutoExit);
    // Desktop additions, after the program's own boxes.
    m_chkNotify = NamedCheckBox(program, "chkNotify",
                                "Also announce new mail in the desktop's &notifications");
    programLayout->addWidget(m_chkNotify);
    m_chkTrayCount =
        NamedCheckBox(program, "chkTrayCount", "Show the num&ber of new messages on the tray icon");
    programLayout->addWidget(m_chkTrayCount);
    m_chkAutostart = NamedCheckBox(program, "chkAutostart", "Start Larkwatch when I &log in");
    programLayout->addWidget(m_chkAutostart);
    m_chkKeyring = NamedCheckBox(program, "chkKeyring", "Keep passwords in the desktop &keyring");
    programLayout->addWidget(m_chkKeyring);
    top->addWidget(program);

    m_butOK = NamedButton(this, "butOK", "&OK", "Accept the changes and exit");
    m_butCancel = NamedButton(this, "butCancel", "&Cancel", "Cancel the changes and exit");
    m_butOK->setDefault(true);
    top->addLayout(ButtonRow({m_butOK, m_butCancel}));
    top->setSizeConstraint(QLayout::SetFixedSize);

    // At design time the sound file controls wait for a play mode.
    m_txtWavFile->setEnabled(false);
    m_butSelWAV->setEnabled(false);
    m_butTestWav->setEnabled(false);

    SetTabOrder({m_txtPooling,    m_chkAutoExpand, m_chkShowDialog, m_txtDlgMsg,   m_chkPlayWAV[0],
                 m_chkPlayWAV[1], m_txtWavFile,    m_butSelWAV,     m_butTestWav,  m_chkMark,
                 m_butAdv,        m_chkTray,       m_chkAutoMin,    m_chkAutoExit, m_chkNotify,
                 m_chkTrayCount,  m_chkAutostart,  m_chkKeyring,    m_butOK,       m_butCancel});

    connect(m_chkShowDialog, &QCheckBox::toggled, this, &OptionsDialog::chkShowDialog_Click);
    connect(m_chkAutoMin, &QCheckBox::clicked, this, &OptionsDialog::chkAutoMin_Click);
    for (int i = 0; i < 2; ++i)
        connect(m_chkPlayWAV[i], &QCheckBox::toggled, this, [this, i] { chkPlayWAV_Click(i); });
    connect(m_txtWavFile, &QLineEdit::textChanged, this, &OptionsDialog::txtWavFile_Change);
    connect(m_butSelWAV, &QPushButton::clicked, this, &OptionsDialog::butSelWAV_Click);
    connect(m_butTestWav, &QPushButton::clicked, this, &OptionsDialog::butTestWav_Click);
    connect(m_butAdv, &QPushButton::clicked, this, &OptionsDialog::butAdv_Click);
    connect(m_butOK, &QPushButton::clicked, this, &OptionsDialog::butOK_Click);
    connect(m_butCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void OptionsDialog::LoadFromSettings() {
    m_state.NoDialogOpen = false;
    m_state.DialogAccepted = false;
    const GeneralOptions& o = m_state.AppSettings;
    m_txtPooling->setText(QString::number(o.PoolingTime));
    m_txtDlgMsg->setText(o.DialogMessage);
    m_chosenWavFile = o.WavFile;
    m_chosenWavFolder = o.WavFolder;

    // In this order, each box running its rule when its state changes: a
    // store with both play modes on opens with Single Play alone.
    m_chkAutoExpand->setChecked(o.AutoExpand);
    m_chkShowDialog->setChecked(o.AutoDialog);
    chkShowDialog_Click();
    m_chkPlayWAV[0]->setChecked(o.PlayWav);
    m_chkPlayWAV[1]->setChecked(o.RandomPlayWAV);
    m_chkTray->setChecked(o.RunInTray);
    m_chkMark->setChecked(o.AutoMarkRead);
    m_chkAutoExit->setChecked(o.AutoExit);
    m_chkAutoMin->setChecked(o.AutoMin);
    m_chkNotify->setChecked(o.DesktopNotify);
    m_chkTrayCount->setChecked(o.TrayCount);
    m_chkAutostart->setChecked(o.Autostart);
    m_chkKeyring->setChecked(o.Keyring);
}

bool OptionsDialog::SinglePlay() const {
    return m_chkPlayWAV[0]->isChecked();
}

bool OptionsDialog::RandomPlay() const {
    return m_chkPlayWAV[1]->isChecked();
}

void OptionsDialog::chkShowDialog_Click() {
    const bool on = m_chkShowDialog->isChecked();
    m_lblDlgMsg->setEnabled(on);
    m_txtDlgMsg->setEnabled(on);
}

void OptionsDialog::chkAutoMin_Click() {
    m_state.AppSettings.AutoMin = m_chkAutoMin->isChecked();
    SectionWriter(m_state.Store, ConfigKeys::Section)
        .Write(ConfigKeys::AutoMin, m_state.AppSettings.AutoMin);
}

void OptionsDialog::chkPlayWAV_Click(int index) {
    if (m_chkPlayWAV[index]->isChecked()) {
        // A pair of which at most one is ticked; the mode is in force at once.
        m_chkPlayWAV[1 - index]->setChecked(false);
        m_state.AppSettings.PlayWav = index == 0;
        m_state.AppSettings.RandomPlayWAV = index == 1;
    }
    const bool anyMode = SinglePlay() || RandomPlay();
    if (SinglePlay())
        m_butSelWAV->setText(kSelectFile);
    else if (RandomPlay())
        m_butSelWAV->setText(kSelectFolder);
    for (QWidget* dependent :
         std::initializer_list<QWidget*>{m_butSelWAV, m_txtWavFile, m_butTestWav, m_chkMark})
        dependent->setEnabled(anyMode);
    if (SinglePlay())
        m_txtWavFile->setText(m_chosenWavFile);
    else if (RandomPlay())
        m_txtWavFile->setText(m_chosenWavFolder);
    // Nothing to test while the box is empty, even when its text did not change.
    m_butTestWav->setEnabled(anyMode && !m_txtWavFile->text().isEmpty());
}

void OptionsDialog::txtWavFile_Change() {
    const QString text = m_txtWavFile->text();
    if (SinglePlay())
        m_chosenWavFile = text;
    else if (RandomPlay())
        m_chosenWavFolder = text;
    m_butTestWav->setEnabled(!text.isEmpty());
}

void OptionsDialog::butSelWAV_Click() {
    const QString chosen =
        SinglePlay()
            ? ChooseWavFile(this, m_txtWavFile->text())
            : BrowseForFolder(this, QStringLiteral("Select a WAV Folder"), m_txtWavFile->text());
    if (!chosen.isEmpty())
        m_txtWavFile->setText(chosen);
}

void OptionsDialog::butTestWav_Click() {
    GeneralOptions& o = m_state.AppSettings;
    PlayWithSoundSettings(o, m_playMessage, m_chosenWavFile, m_chosenWavFolder, o.PlayWav);
}

void OptionsDialog::butAdv_Click() {
    AdvanceWavSettingsDialog advanced(m_state, m_playMessage, this);
    advanced.exec();
}

bool OptionsDialog::Refuse(QWidget* field, const QString& message) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Option Error"), message, QMessageBox::Ok,
                    this);
    box.setObjectName(QStringLiteral("OptionError"));
    box.exec();
    field->setFocus();
    return false;
}

void OptionsDialog::butOK_Click() {
    const std::optional<qint32> minutes = PoolingMinutesFromText(m_txtPooling->text());
    if (!minutes) {
        Refuse(m_txtPooling, QStringLiteral("Pooling must not be less then 1 minute"));
        return;
    }
    if (m_chkShowDialog->isChecked() && m_txtDlgMsg->text().isEmpty()) {
        Refuse(m_txtDlgMsg, QStringLiteral("You must enter a dialog message or disable it"));
        return;
    }
    if (m_txtWavFile->text().isEmpty() && (SinglePlay() || RandomPlay())) {
        Refuse(m_txtWavFile, QStringLiteral("You must enter a WAV file name or disable it"));
        return;
    }

    GeneralOptions& o = m_state.AppSettings;
    o.PoolingTime = *minutes;
    o.AutoExpand = m_chkAutoExpand->isChecked();
    o.AutoDialog = m_chkShowDialog->isChecked();
    o.DialogMessage = m_txtDlgMsg->text();
    o.PlayWav = SinglePlay();
    o.RandomPlayWAV = RandomPlay();
    o.WavFile = m_chosenWavFile;
    o.WavFolder = m_chosenWavFolder;
    o.RunInTray = m_chkTray->isChecked();
    o.AutoMarkRead = m_chkMark->isChecked();
    o.AutoExit = m_chkAutoExit->isChecked();
    o.DesktopNotify = m_chkNotify->isChecked();
    o.TrayCount = m_chkTrayCount->isChecked();
    o.Autostart = m_chkAutostart->isChecked();
    o.Keyring = m_chkKeyring->isChecked();
    m_state.DialogAccepted = true;
    accept();
}

void OptionsDialog::done(int result) {
    m_state.NoDialogOpen = true;
    QDialog::done(result);
}
