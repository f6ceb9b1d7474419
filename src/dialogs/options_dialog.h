#pragma once

#include "dialogs/sound_trial.h"

#include <QDialog>

class AppState;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "Larkwatch --- Options": the general options (checking interval, new-mail
// dialog, new-mail sound, tray, start minimised, exit when a server cannot be
// reached). OK validates the fields and puts them into AppSettings, sets
// DialogAccepted and closes; storing them is the Options command's work.
// Two things take effect at once and are not undone by Cancel: the start-
// minimised box ("AutoMin" is stored at each click) and the play mode chosen
// with the Single Play / Random Play pair (in memory).
class OptionsDialog : public QDialog {
    Q_OBJECT
public:
    // playMessage plays the new-mail sound for the Test buttons (this dialog's
    // and the WAV action dialog's).
    OptionsDialog(AppState& state, PlayMessageFn playMessage, QWidget* parent = nullptr);
    ~OptionsDialog() override;

    // The single-play file and the random-play folder being edited.
    QString ChosenWavFile() const { return m_chosenWavFile; }
    QString ChosenWavFolder() const { return m_chosenWavFolder; }

    void done(int result) override;

private:
    void BuildControls();
    void LoadFromSettings();
    void chkShowDialog_Click();
    void chkAutoMin_Click();
    void chkPlayWAV_Click(int index);
    void txtWavFile_Change();
    void butSelWAV_Click();
    void butTestWav_Click();
    void butAdv_Click();
    void butOK_Click();
    bool Refuse(QWidget* field, const QString& message);
    bool SinglePlay() const;
    bool RandomPlay() const;

    AppState& m_state;
    PlayMessageFn m_playMessage;
    QString m_chosenWavFile;
    QString m_chosenWavFolder;

    QLineEdit* m_txtPooling;
    QCheckBox* m_chkAutoExpand;
    QCheckBox* m_chkShowDialog;
    QLabel* m_lblDlgMsg;
    QLineEdit* m_txtDlgMsg;
    QCheckBox* m_chkPlayWAV[2];
    QLineEdit* m_txtWavFile;
    QPushButton* m_butSelWAV;
    QPushButton* m_butTestWav;
    QCheckBox* m_chkMark;
    QPushButton* m_butAdv;
    QCheckBox* m_chkTray;
    QCheckBox* m_chkAutoMin;
    QCheckBox* m_chkAutoExit;
    QCheckBox* m_chkTrayCount;
    QCheckBox* m_chkAutostart;
    QCheckBox* m_chkKeyring;
    QCheckBox* m_chkNotify;
    QPushButton* m_butOK;
    QPushButton* m_butCancel;
};
