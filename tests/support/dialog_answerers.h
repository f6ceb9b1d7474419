#pragma once

// Answering dialogs in widget tests, where no one sits at the screen. Each
// answerer watches while it lives, answers from inside the dialog's own event
// loop (so exec() returns as after a user's click), and turns a dialog nobody
// expected into a plain test failure and closes it, so a test never hangs on a
// modal dialog.

#include <QFileDialog>
#include <QDeadlineTimer>
#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <initializer_list>
#include <optional>

namespace dialog_answerers_detail {
// Hands every window of one dialog class to Shown() once it is shown,
// queued, so Shown() runs inside the dialog's event loop.
class ShownDialogHook : public QObject {
public:
    explicit ShownDialogHook(const QMetaObject& dialogClass);
    ~ShownDialogHook() override;

protected:
    virtual void Shown(QWidget* dialog) = 0;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const QMetaObject& m_class;
};
} // namespace dialog_answerers_detail

// Answers message boxes with the buttons a test scripted, in order, each
// answer used once:
//
//     MessageBoxAnswerer boxes(QMessageBox::Yes); // or boxes.Answer(...) later
//     window.close();
//     QCOMPARE(boxes.Answered().size(), 1);
//     QCOMPARE(boxes.Answered().at(0).Text, QString("Exit Larkwatch ?"));
//
// A box that appears while no answer is left fails the test with its title and
// text and is closed. Answers still unused when the answerer goes away fail
// the test as well (unless it failed already).
class MessageBoxAnswerer : public dialog_answerers_detail::ShownDialogHook {
public:
    struct Box {
        QString Title;
        QString Text;
        QString InformativeText;
        QMessageBox::Icon Icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons Buttons;
        // The button pressed; NoButton for a box that was not expected.
        QMessageBox::StandardButton Pressed = QMessageBox::NoButton;
    };

    MessageBoxAnswerer();
    MessageBoxAnswerer(std::initializer_list<QMessageBox::StandardButton> answers);
    explicit MessageBoxAnswerer(QMessageBox::StandardButton answer);
    ~MessageBoxAnswerer() override;

    // Presses `button` in the next box that appears.
    void Answer(QMessageBox::StandardButton button);
    // Every box seen, in order, the unexpected ones included.
    const QList<Box>& Answered() const { return m_answered; }
    qsizetype UnusedAnswers() const { return m_script.size(); }

protected:
    void Shown(QWidget* dialog) override;

private:
    QQueue<QMessageBox::StandardButton> m_script;
    QList<Box> m_answered;
};

// Answers file dialogs (open a file, choose a folder, save) as a user would:
// selects the scripted path and accepts, or cancels; each answer used once.
// Meant for the static QFileDialog functions, which show Qt's own dialog under
// the offscreen platform:
//
//     FileDialogAnswerer files;
//     files.AnswerPath(dir.filePath("sound.wav"));
//     const QString chosen = QFileDialog::getOpenFileName(&window, "Sound");
//     QCOMPARE(files.Answered().at(0).Title, QString("Sound"));
//
// A path that the dialog would refuse (a missing file to open, a file where a
// folder is wanted) fails the test and cancels the dialog; so does a dialog
// that appears with no answer left, and an answer never used.
class FileDialogAnswerer : public dialog_answerers_detail::ShownDialogHook {
public:
    struct Dialog {
        QString Title;
        QString Directory; // the folder it opened in
        QFileDialog::FileMode Mode = QFileDialog::AnyFile;
        QFileDialog::AcceptMode AcceptMode = QFileDialog::AcceptOpen;
        QStringList NameFilters;
        std::optional<QString> Chosen; // empty when cancelled or not expected
        bool Expected = true;
    };

    FileDialogAnswerer();
    ~FileDialogAnswerer() override;

    // Selects this file or folder (an absolute path) in the next dialog and accepts it.
    void AnswerPath(const QString& path);
    // Cancels the next dialog.
    void Cancel();
    const QList<Dialog>& Answered() const { return m_answered; }
    qsizetype UnusedAnswers() const { return m_script.size(); }

protected:
    void Shown(QWidget* dialog) override;

private:
    QQueue<std::optional<QString>> m_script; // nullopt: cancel
    QList<Dialog> m_answered;
};

// Answers the next modal dialog of a given objectName, whatever its class:
// `answer` receives the dialog once it is the active modal widget and fills,
// accepts or rejects it (QTest checks inside it fail the test as usual).
//
//     AnswerNextModal account("AccountDialog", [](QWidget* dialog) {
//         dialog->findChild<QLineEdit*>("txtServer")->setText("pop.example.org");
//         qobject_cast<QDialog*>(dialog)->accept();
//     });
//     window.Menus().Action("mnuAddAccount")->trigger();
//     QVERIFY(account.Answered());
//
// Fails the test plainly, and closes whatever modal dialog is open, when the
// dialog is not the active modal widget within `timeoutMs`, or is still open
// `timeoutMs` after `answer` ran; fails when it goes away unanswered.
class AnswerNextModal : public QObject {
public:
    [[nodiscard]] AnswerNextModal(const QString& objectName, std::function<void(QWidget*)> answer,
                                  int timeoutMs = 10000);
    ~AnswerNextModal() override;

    bool Answered() const { return m_answered; }

private:
    void Poll();

    QString m_objectName;
    std::function<void(QWidget*)> m_answer;
    int m_timeoutMs;
    QTimer m_poll;
    QDeadlineTimer m_deadline; // for the dialog to open, then to close
    QPointer<QWidget> m_dialog;
    bool m_answered = false;
    bool m_failed = false;
};
