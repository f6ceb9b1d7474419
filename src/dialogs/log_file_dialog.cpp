#include "dialogs/log_file_dialog.h"

#include "dialogs/dialog_controls.h"
#include "dialogs/file_choosers.h"
#include "records/app_state.h"
#include "records/settings_section.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

LogFileDialog::LogFileDialog(AppState& state, QWidget* parent) : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("Logs"));
    UseDialogFrame(*this);
    setWindowTitle(QStringLiteral("Larkwatch --- Log File"));

    m_txtLogLoc = NamedLineEdit(this, "txtLogLoc", "Log folder location");
    m_txtLogLoc->setMinimumWidth(m_txtLogLoc->fontMetrics().averageCharWidth() * 48);
    auto* label = new QLabel(QStringLiteral("&Log Files Location : "), this);
    label->setBuddy(m_txtLogLoc);
    auto* butBrowse = NamedButton(this, "butBrowse", QStringLiteral("&Browse..."),
                                  "Click here to select a folder");
    m_chkDisLog = NamedCheckBox(this, "chkDisLog", "&Disable Mail Log",
                                "Check this box to disable log keeping");
    m_chkOneLog = NamedCheckBox(this, "chkOneLog", "&Use one Master log file for all accounts",
                                "Check this box to use one Master log file");
    auto* butOK =
        NamedButton(this, "butOK", QStringLiteral("&OK"), "Click here to accept and return");
    auto* butCancel = NamedButton(this, "butCancel", QStringLiteral("&Cancel"),
                                  "Click here to Cancel and return");
    butOK->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    auto* folder = new QGridLayout;
    folder->addWidget(label, 0, 0, 1, 2);
    folder->addWidget(m_txtLogLoc, 1, 0);
    folder->addWidget(butBrowse, 1, 1);
    folder->setColumnStretch(0, 1);
    layout->addLayout(folder);
    layout->addWidget(m_chkDisLog);
    layout->addWidget(m_chkOneLog);
    layout->addLayout(ButtonRow({butOK, butCancel}));
    layout->setSizeConstraint(QLayout::SetFixedSize);
    SetTabOrder({m_txtLogLoc, butBrowse, m_chkDisLog, m_chkOneLog, butOK, butCancel});

    m_state.DialogAccepted = false;
    m_txtLogLoc->setText(m_state.AppSettings.LogFilesPath);
    m_chkDisLog->setChecked(m_state.AppSettings.LogDisabled);
    m_chkOneLog->setChecked(m_state.AppSettings.LogAllInOne);

    connect(butBrowse, &QPushButton::clicked, this, &LogFileDialog::butBrowse_Click);
    connect(butOK, &QPushButton::clicked, this, &LogFileDialog::butOK_Click);
    connect(butCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void LogFileDialog::butBrowse_Click() {
    const QString chosen =
        BrowseForFolder(this, QStringLiteral("Select Log Files Location"), m_txtLogLoc->text());
    if (!chosen.isEmpty())
        m_txtLogLoc->setText(chosen);
}

void LogFileDialog::butOK_Click() {
    GeneralOptions& o = m_state.AppSettings;
    QString folder = m_txtLogLoc->text();
    if (!folder.isEmpty()) {
        if (!folder.endsWith(QLatin1Char('/')))
            folder += QLatin1Char('/');
        o.LogFilesPath = folder;
    }
    o.LogDisabled = m_chkDisLog->isChecked();
    o.LogAllInOne = m_chkOneLog->isChecked();
    {
        SettingsStore::Batch batch(m_state.Store);
        SectionWriter config(m_state.Store, ConfigKeys::Section);
        config.Write(ConfigKeys::LogFilesPath, o.LogFilesPath);
        config.Write(ConfigKeys::LogDisabled, o.LogDisabled);
        config.Write(ConfigKeys::LogAllInOne, o.LogAllInOne);
    }
    m_state.DialogAccepted = true;
    accept();
}
