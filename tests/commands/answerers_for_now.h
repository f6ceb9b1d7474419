#pragma once

// Stand-ins with the names and use of the shared dialog answerers, for the
// time until those are in tests/support: each answers the next modal dialog
// from inside its event loop, and closes and fails a dialog it did not expect
// so that no test hangs.

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QQueue>
#include <QTest>
#include <QTimer>

#include <functional>

class AnswerNextModal : public QObject {
public:
    [[nodiscard]] AnswerNextModal(const QString& objectName, std::function<void(QWidget*)> answer,
                                  int timeoutMs = 20000)
        : m_objectName(objectName), m_answer(std::move(answer)), m_deadline(timeoutMs) {
        m_poll.setInterval(5);
        connect(&m_poll, &QTimer::timeout, this, [this] { Poll(); });
        m_poll.start();
    }
    ~AnswerNextModal() override {
        if (!m_answered && !m_failed)
            QTest::qFail(qPrintable(m_objectName + " never opened"), __FILE__, __LINE__);
    }
    bool Answered() const { return m_answered; }

private:
    void Poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->objectName() == m_objectName) {
            m_poll.stop();
            m_answered = true;
            m_answer(modal);
            return;
        }
        if (m_deadline.hasExpired()) {
            m_poll.stop();
            m_failed = true;
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
            QTest::qFail(qPrintable(m_objectName + " did not open in time"), __FILE__, __LINE__);
        }
    }

    QString m_objectName;
    std::function<void(QWidget*)> m_answer;
    QDeadlineTimer m_deadline;
    QTimer m_poll;
    bool m_answered = false;
    bool m_failed = false;
};

class MessageBoxAnswerer : public QObject {
public:
    struct Box {
        QString Title;
        QString Text;
        QMessageBox::Icon Icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons Buttons;
        QMessageBox::StandardButton Pressed = QMessageBox::NoButton;
    };
    MessageBoxAnswerer() {
        m_poll.setInterval(5);
        connect(&m_poll, &QTimer::timeout, this, [this] { Poll(); });
        m_poll.start();
    }
    explicit MessageBoxAnswerer(QMessageBox::StandardButton answer) : MessageBoxAnswerer() {
        Answer(answer);
    }
    ~MessageBoxAnswerer() override {
        if (!m_script.isEmpty())
            QTest::qFail("a scripted message box never opened", __FILE__, __LINE__);
    }
    void Answer(QMessageBox::StandardButton button) { m_script.enqueue(button); }
    const QList<Box>& Answered() const { return m_answered; }

private:
    void Poll() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || box == m_last)
            return;
        m_last = box;
        Box seen{box->windowTitle(), box->text(), box->icon(), box->standardButtons()};
        if (m_script.isEmpty()) {
            m_answered.append(seen);
            QTest::qFail(qPrintable("unexpected message box: " + seen.Text), __FILE__, __LINE__);
            box->reject();
            return;
        }
        seen.Pressed = m_script.dequeue();
        m_answered.append(seen);
        box->button(seen.Pressed)->click();
    }

    QTimer m_poll;
    QQueue<QMessageBox::StandardButton> m_script;
    QList<Box> m_answered;
    QPointer<QMessageBox> m_last;
};
