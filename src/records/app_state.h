#pragma once

#include "records/filter_rule.h"
#include "records/general_options.h"
#include "records/header_list.h"
#include "records/mail_account.h"
#include "records/password_vault.h"
#include "records/seen_header_list.h"
#include "records/settings_store.h"

#include <QList>
#include <QRandomGenerator>
#include <QString>
#include <QDateTime>
#include <QHash>
#include <functional>
#include <memory>

// Where Larkwatch keeps its files: the settings file and the data folder (the
// history file "log.tmp" and the default mail log folder).
struct StatePaths {
    QString SettingsFile;
    QString DataFolder; // ends with "/"

    static StatePaths Standard();
    // Both under one folder; used by tests and by anyone who wants a private set.
    static StatePaths Under(const QString& folder);
};

// Everything Larkwatch shares between its parts for one run: the records and
// their stores, the engine's flags and counters, the seen-message lists and
// the selection state. The application owns exactly one and passes it by
// reference; every test builds a fresh one.
class AppState {
public:
    explicit AppState(StatePaths paths = StatePaths::Standard());
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;

    const StatePaths Paths;
    SettingsStore Store;
    GeneralOptions AppSettings;

    // Accounts, numbered from 1 without gaps.
    QList<MailAccount> Accounts;
    qint16 AccountCount() const { return qint16(Accounts.size()); }
    MailAccount& Account(int position) { return Accounts[position - 1]; }
    const MailAccount& Account(int position) const { return Accounts[position - 1]; }
    qint16 CurrentAccount = 0;
    MailAccount EditAccount;
    // Where account passwords are kept when the Keyring option is on; none:
    // there is no keyring and passwords stay in the settings file. The
    // program sets the desktop's keyring; tests set a fake or none.
    std::unique_ptr<PasswordVault> Vault;
    // The keyring entries this run has read or written, by entry name, with
    // the password each holds: a save writes only what changed and removes
    // only entries it knows to be Larkwatch's and no longer used.
    QHash<QString, QString> KeyringEntries;

    // OAuth2 access tokens of this run, by the account's token entry name
    // (see keyring_passwords.h); never stored.
    struct AccessToken {
        QString Token;
        QDateTime Expires;
    };
    QHash<QString, AccessToken> AccessTokens;

    // Filter rules and WAV actions, numbered from 1 without gaps.
    QList<FilterRule> FilterList;
    qint16 FilterCount() const { return qint16(FilterList.size()); }
    QList<WavAction> WavActionList;
    qint16 WavActionCount() const { return qint16(WavActionList.size()); }
    FilterRule EditFilter;
    WavAction EditWavAction;
    bool AutoPrompt = true;
    bool UseFieldTO = false;
    QString FilterTO;

    // The engine's countdown and flags.
    qint32 SecondsLeft = 5;
    qint32 PollMinutes = 5;
    bool MonitoringSuspended = false;
    bool ExitPending = false;
    bool NewMailDialogOpen = false;
    qint16 NewMailCount = 0;
    SeenHeaderList SeenHeaders;
    // A failed write of the history file was reported; cleared by the next good one.
    bool HistoryFailureReported = false;
    HeaderList AcknowledgedHeaders;

    // Selection and dialog state.
    qint16 CurrentMessage = 0;
    bool NoDialogOpen = true;
    bool DialogAccepted = false;
    bool ViewingMessage = false;
    QString ViewedText;

    // Pseudo-random numbers, seeded from the clock; tests may reseed.
    QRandomGenerator Random;
    double Rnd() { return Random.generateDouble(); }

    // Called after the countdown was restarted by saving the general options;
    // the scheduler hooks its timer here.
    std::function<void()> CountdownRestarted;
};
