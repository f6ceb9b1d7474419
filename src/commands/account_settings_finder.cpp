#include "commands/account_settings_finder.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
const QString kFindCaption = QStringLiteral("&Find settings");
const QString kStopCaption = QStringLiteral("Stop");
} // namespace

AccountSettingsFinder::AccountSettingsFinder(const Fields& fields, QObject* parent)
    : QObject(parent), m_fields(fields), m_lookup(new SettingsLookup(this)) {
    setObjectName(QStringLiteral("SettingsFinder"));
    QPushButton& find = m_fields.Find;
    find.setText(kFindCaption);
    find.setToolTip(QStringLiteral("Look up the server settings for the address in Username"));
    find.setAutoDefault(false);
    // Wide enough for either caption, so the row does not move.
    find.setMinimumWidth(
        std::max(find.sizeHint().width(), find.fontMetrics().horizontalAdvance(kStopCaption) + 24));
    m_fields.Hint.setTextFormat(Qt::PlainText);
    m_fields.Hint.setWordWrap(true);
    SetHint(QString());

    connect(&m_fields.User, &QLineEdit::editingFinished, this, &AccountSettingsFinder::OnUserLeft);
    connect(&find, &QPushButton::clicked, this, &AccountSettingsFinder::OnFindClicked);
    // Typing into Mail Host, or another address into Username, makes the
    // answer under way one nobody asked for.
    for (QLineEdit* box : {&m_fields.Host, &m_fields.User}) {
        connect(box, &QLineEdit::textEdited, this, [this] {
            if (m_lookup->Running())
                Stop(QString());
        });
    }
    connect(&m_fields.Port, &QLineEdit::textEdited, this, [this] { m_userSetPort = true; });
    connect(&m_fields.Security, &QComboBox::activated, this, [this] { m_userSetSecurity = true; });
    connect(m_lookup, &SettingsLookup::Finished, this, &AccountSettingsFinder::OnFinished);
}

void AccountSettingsFinder::OnUserLeft() {
    // Left for the button: its click does the asking.
    if (QApplication::focusWidget() == &m_fields.Find)
        return;
    if (m_fields.Host.text().isEmpty() && !m_lookup->Running())
        Start();
}

void AccountSettingsFinder::OnFindClicked() {
    if (m_lookup->Running())
        Stop(QString());
    else
        Start();
}

void AccountSettingsFinder::Start() {
    const auto address = SplitMailAddress(m_fields.User.text());
    if (!address)
        return;
    m_domain = address->Domain;
    SetHint(LookingUpHint(m_domain));
    ShowRunning(true);
    m_lookup->Start(*address);
}

void AccountSettingsFinder::Stop(const QString& hint) {
    m_lookup->Cancel();
    ShowRunning(false);
    SetHint(hint);
}

void AccountSettingsFinder::SetHint(const QString& text) {
    // The dialog keeps its designed look until there is something to say.
    QLabel& hint = m_fields.Hint;
    hint.setText(text);
    hint.setVisible(!text.isEmpty());
    // As wide as the fields above it and as high as its lines there need:
    // the dialog, of fixed size, grows around it and cuts nothing off.
    const int width = m_fields.Find.geometry().right() - m_fields.Host.geometry().left() + 1;
    if (!text.isEmpty() && width > 1) {
        hint.setFixedWidth(width);
        hint.setFixedHeight(hint.heightForWidth(width));
    }
}

void AccountSettingsFinder::ShowRunning(bool running) {
    m_fields.Find.setText(running ? kStopCaption : kFindCaption);
}

void AccountSettingsFinder::OnFinished(const FoundSettings& found) {
    ShowRunning(false);
    SetHint(SettingsHint(found, m_domain));
    if (found.Found)
        Fill(found);
}

void AccountSettingsFinder::Fill(const FoundSettings& found) {
    const QString host = m_fields.Host.text();
    // A server of the user's own: nothing of another goes beside it.
    if (!host.isEmpty() && host != m_filledHost)
        return;
    m_fields.Host.setText(found.Host);
    m_filledHost = found.Host;
    // The security first: its choice moves the port to the usual one.
    if (!m_userSetSecurity) {
        const int index = m_fields.Security.findData(found.Security);
        if (index >= 0)
            m_fields.Security.setCurrentIndex(index);
    }
    if (!m_userSetPort)
        m_fields.Port.setText(QString::number(found.Port));
    m_signIn = found.SignIn;
    m_oauthProvider = found.OAuthProvider;
    Q_EMIT SignInFound(m_signIn, m_oauthProvider);
}
