#include "support/dialog_answerers.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QFileInfo>
#include <QMetaEnum>
#include <QTest>

#include <cstdio>

namespace {

// A failure of the running test; outside any test function (a dialog left
// over after the last one) at least a plain message.
void Fail(const QString& message) {
    if (QTest::currentTestFunction())
        QTest::qFail(qPrintable(message), __FILE__, __LINE__);
    else
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

// Failing again in a test that has already failed only repeats the news.
bool StillPassing() {
    return QTest::currentTestFunction() && !QTest::currentTestFailed();
}

// "Yes|No" for a box's buttons.
QString ButtonNames(QMessageBox::StandardButtons buttons) {
    const QMetaEnum names = QMetaEnum::fromType<QMessageBox::StandardButtons>();
    QStringList found;
    for (int i = 0; i < names.keyCount(); ++i) {
        const int value = names.value(i);
        const QLatin1String name(names.key(i));
        // One bit each; FirstButton and LastButton are other names for Ok and Help.
        if (value != 0 && (value & (value - 1)) == 0 && (buttons & value) &&
            !name.startsWith(QLatin1String("First")) && !name.startsWith(QLatin1String("Last")))
            found << name;
    }
    return found.join(QLatin1Char('|'));
}

QString Quoted(const QString& text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// Closes a dialog that no answer fits, as its window's close button would
// (a message box then reports its Escape button), so that its exec() returns.
void CloseUnanswered(QWidget* dialog) {
    dialog->close();
    auto* asDialog = qobject_cast<QDialog*>(dialog);
    if (asDialog && asDialog->isVisible())
        asDialog->reject(); // a message box without an Escape button ignores close()
}

} // namespace

namespace dialog_answerers_detail {

ShownDialogHook::ShownDialogHook(const QMetaObject& dialogClass) : m_class(dialogClass) {
    qApp->installEventFilter(this);
}

ShownDialogHook::~ShownDialogHook() {
    qApp->removeEventFilter(this);
}

bool ShownDialogHook::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && watched->isWidgetType() && m_class.cast(watched)) {
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->isWindow()) {
            // Queued: a dialog closed before its exec() has started its own
            // event loop would leave that loop running for ever.
            QTimer::singleShot(0, this, [this, dialog = QPointer<QWidget>(widget)] {
                if (dialog && dialog->isVisible())
                    Shown(dialog);
            });
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace dialog_answerers_detail

// ---- MessageBoxAnswerer ------------------------------------------------------

MessageBoxAnswerer::MessageBoxAnswerer() : ShownDialogHook(QMessageBox::staticMetaObject) {}

MessageBoxAnswerer::MessageBoxAnswerer(std::initializer_list<QMessageBox::StandardButton> answers)
    : MessageBoxAnswerer() {
    for (const QMessageBox::StandardButton answer : answers)
        Answer(answer);
}

MessageBoxAnswerer::MessageBoxAnswerer(QMessageBox::StandardButton answer)
    : MessageBoxAnswerer({answer}) {}

MessageBoxAnswerer::~MessageBoxAnswerer() {
    if (m_script.isEmpty() || !StillPassing())
        return;
    QStringList unused;
    for (const QMessageBox::StandardButton answer : m_script)
        unused << ButtonNames(answer);
    Fail(QStringLiteral("Scripted message box answer(s) never used: %1 (no box appeared)")
             .arg(unused.join(QStringLiteral(", "))));
}

void MessageBoxAnswerer::Answer(QMessageBox::StandardButton button) {
    m_script.enqueue(button);
}

void MessageBoxAnswerer::Shown(QWidget* dialog) {
    auto* box = static_cast<QMessageBox*>(dialog);
    Box seen;
    seen.Title = box->windowTitle();
    seen.Text = box->text();
    seen.InformativeText = box->informativeText();
    seen.Icon = box->icon();
    seen.Buttons = box->standardButtons();
    const QString described = Quoted(seen.Title) + QStringLiteral(": ") + Quoted(seen.Text);

    if (m_script.isEmpty()) {
        m_answered.append(seen);
        Fail(QStringLiteral("Unexpected message box %1 (no answer was scripted)").arg(described));
        CloseUnanswered(box);
        return;
    }
    const QMessageBox::StandardButton answer = m_script.dequeue();
    QAbstractButton* button = box->button(answer);
    if (!button) {
        m_answered.append(seen);
        Fail(QStringLiteral("Message box %1 has no %2 button, only %3")
                 .arg(described, ButtonNames(answer), ButtonNames(seen.Buttons)));
        CloseUnanswered(box);
        return;
    }
    seen.Pressed = answer;
    m_answered.append(seen);
    button->click();
}

// ---- FileDialogAnswerer ------------------------------------------------------

FileDialogAnswerer::FileDialogAnswerer() : ShownDialogHook(QFileDialog::staticMetaObject) {}

FileDialogAnswerer::~FileDialogAnswerer() {
    if (!m_script.isEmpty() && StillPassing())
        Fail(QStringLiteral("%1 scripted file dialog answer(s) never used (no dialog appeared)")
                 .arg(m_script.size()));
}

void FileDialogAnswerer::AnswerPath(const QString& path) {
    m_script.enqueue(path);
}

void FileDialogAnswerer::Cancel() {
    m_script.enqueue(std::nullopt);
}

void FileDialogAnswerer::Shown(QWidget* widget) {
    QPointer<QFileDialog> dialog = static_cast<QFileDialog*>(widget);
    Dialog seen;
    seen.Title = dialog->windowTitle();
    seen.Directory = dialog->directory().absolutePath();
    seen.Mode = dialog->fileMode();
    seen.AcceptMode = dialog->acceptMode();
    seen.NameFilters = dialog->nameFilters();

    if (m_script.isEmpty()) {
        seen.Expected = false;
        m_answered.append(seen);
        Fail(QStringLiteral("Unexpected file dialog %1 in %2 (no answer was scripted)")
                 .arg(Quoted(seen.Title), seen.Directory));
        CloseUnanswered(dialog);
        return;
    }
    const std::optional<QString> answer = m_script.dequeue();
    if (!answer) {
        m_answered.append(seen);
        dialog->reject();
        return;
    }

    // Refuse what the dialog itself would answer with a warning box of its
    // own, which nobody would be there to close.
    const QFileInfo target(*answer);
    QString refusal;
    if (!target.isAbsolute())
        refusal = QStringLiteral("is not an absolute path");
    else if (seen.Mode == QFileDialog::Directory && !target.isDir())
        refusal = QStringLiteral("is no folder");
    else if ((seen.Mode == QFileDialog::ExistingFile || seen.Mode == QFileDialog::ExistingFiles) &&
             !target.isFile())
        refusal = QStringLiteral("is no existing file");
    if (!refusal.isEmpty()) {
        m_answered.append(seen);
        Fail(QStringLiteral("File dialog %1: the scripted answer %2 %3")
                 .arg(Quoted(seen.Title), Quoted(*answer), refusal));
        dialog->reject();
        return;
    }

    seen.Chosen = *answer;
    m_answered.append(seen);
    dialog->selectFile(*answer);
    // What the dialog's Open or Choose button does (protected in QFileDialog).
    static_cast<QDialog*>(dialog.data())->accept();
    if (dialog && dialog->isVisible()) {
        m_answered.last().Chosen.reset();
        Fail(QStringLiteral("File dialog %1 did not accept %2")
                 .arg(Quoted(seen.Title), Quoted(*answer)));
        dialog->reject();
    }
}

// ---- AnswerNextModal ---------------------------------------------------------

AnswerNextModal::AnswerNextModal(const QString& objectName, std::function<void(QWidget*)> answer,
                                 int timeoutMs)
    : m_objectName(objectName), m_answer(std::move(answer)), m_timeoutMs(timeoutMs),
      m_deadline(timeoutMs) {
    // A light poll: a dialog of any class, shown by exec() or open(), is
    // found the same way, and a short interval costs nothing noticeable.
    m_poll.setInterval(10);
    connect(&m_poll, &QTimer::timeout, this, &AnswerNextModal::Poll);
    m_poll.start();
}

AnswerNextModal::~AnswerNextModal() {
    if (!m_answered && !m_failed && StillPassing())
        Fail(QStringLiteral("Modal dialog %1 never opened").arg(Quoted(m_objectName)));
}

void AnswerNextModal::Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!m_answered) {
        if (modal && modal->objectName() == m_objectName) {
            m_answered = true;
            m_dialog = modal;
            m_deadline.setRemainingTime(m_timeoutMs);
            m_answer(modal);
            return;
        }
        if (!m_deadline.hasExpired())
            return;
        m_poll.stop();
        if (modal) {
            Fail(QStringLiteral("Modal dialog %1 did not open within %2 ms; %3 %4 was open "
                                "instead and is closed")
                     .arg(Quoted(m_objectName))
                     .arg(m_timeoutMs)
                     .arg(QString::fromLatin1(modal->metaObject()->className()),
                          Quoted(modal->objectName())));
            CloseUnanswered(modal);
        } else {
            Fail(QStringLiteral("Modal dialog %1 did not open within %2 ms")
                     .arg(Quoted(m_objectName))
                     .arg(m_timeoutMs));
        }
        m_failed = true;
        return;
    }
    // Answered: watch that the answer closed it.
    if (!m_dialog || !m_dialog->isVisible()) {
        m_poll.stop();
        return;
    }
    if (!m_deadline.hasExpired())
        return;
    m_poll.stop();
    m_failed = true;
    Fail(QStringLiteral("Modal dialog %1 still open %2 ms after it was answered; it is closed")
             .arg(Quoted(m_objectName))
             .arg(m_timeoutMs));
    CloseUnanswered(m_dialog);
}
