#pragma once

#include <QDialog>
#include <QString>

class AppState;
class MainWindow;
class QLabel;
class QPushButton;
class QTimer;

// The sentence of the new-mail dialog from its template: the first "#" stands
// for the count; when the first "]" comes after the first "[", they enclose a
// plural ending, kept (without the brackets) for a count of 2 or more and
// dropped with them otherwise. Without "#" the caption shown so far is kept
// and only the brackets are worked on, so a sentence without a number keeps
// its first singular or plural choice.
QString FormatDialogText(const QString& templateText, const QString& caption, qint32 count);

// "NewMail": the modeless window that tells how many new messages there are.
// It belongs to the main window (it goes with it) but is a window of its own,
// so it shows while the main window is minimised or in the tray. Only one
// exists at a time; NewMailDialogOpen says whether it does.
class NewMailDialog final : public QDialog {
    Q_OBJECT
public:
    // The sentence when DialogMessage is empty.
    static QString DesignSentence() { return QStringLiteral("You have # message[s]"); }

    NewMailDialog(AppState& state, MainWindow& main);
    ~NewMailDialog() override;

    // Takes the sentence from DialogMessage, sizes the window to it (at least
    // 3615 twips wide), puts OK and View Mail in one row and centres the window.
    void Form_Load();
    // The sentence for the current NewMailCount; a count of 0 closes the dialog.
    void Update();
    void ButOK_Click();
    // Brings the main window back in its last normal or maximised state.
    void butView_Click();
    // Once, 100 ms after the load: the dialog takes the input focus.
    void Timer1_Timer();
    // Closes the dialog for good; it is deleted once control returns to the
    // event loop.
    void Unload();

    QString Sentence() const;
    // True from Form_Load until Unload.
    bool IsLoaded() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void done(int result) override;

private:
    void FormatDialogText();

    AppState& m_state;
    MainWindow& m_main;
    QLabel* m_image;
    QLabel* m_lblMsg;
    QPushButton* m_butOK;
    QPushButton* m_butView;
    QTimer* m_timer1;
    // The label's Tag: the template of the sentence.
    QString m_template;
    bool m_unloaded = false;
};
