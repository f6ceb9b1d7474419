#pragma once

#include "dialogs/sound_trial.h"

#include <QDialog>

class AppState;
class QLineEdit;
class QPushButton;
class RuleFields;

// "Larkwatch --- Add WAV Action" / "Larkwatch --- Modify WAV Action": the
// rule of the filter dialog plus the sound file to play when it matches, for
// AppState::EditWavAction. OK needs a text and a sound file; Test WAV plays
// the file in the box whatever the general sound options say.
class WavActionEditDialog : public QDialog {
    Q_OBJECT
public:
    WavActionEditDialog(AppState& state, PlayMessageFn playMessage, QWidget* parent = nullptr);

private:
    void UpdateControls();
    bool CanAccept() const;
    void butSelWAV_Click();
    void butTestWav_Click();
    void ButOK_Click();

    AppState& m_state;
    PlayMessageFn m_playMessage;
    RuleFields* m_fields;
    QLineEdit* m_txtWavFile;
    QPushButton* m_butTestWav;
    QPushButton* m_butOK;
};
