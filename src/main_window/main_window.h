#pragma once

#include "engine/monitor_host.h"
#include "main_window/window_collaborators.h"

#include <QMainWindow>
#include <memory>

class AccountTreeHandlers;
class AccountTreeModel;
class AccountTreeView;
class AppState;
class FreshCheckTriggers;
class MailEngine;
class MainMenus;
class PopClient;
class Scheduler;
class QLineEdit;
class QTimer;

// The program's one window, "Main": the account tree filling the client
// area, the countdown box at its top-right corner, and the menus. Loading it
// (Form_Load) starts the program; unloading it ends the program. It owns the
// tree, the POP client, the polling timer, the engine and the scheduler, and
// is the engine's host: a thin one that hands the work to its collaborators.
class MainWindow : public QMainWindow, public MonitorHost {
    Q_OBJECT
public:
    // Why the window is being closed.
    enum UnloadMode : qint16 {
        FormControlMenu = 0, // the user closed the window
        FormCode = 1,        // the program closes itself (Exit, ExitPending)
        AppWindows = 2,      // the desktop session is ending
    };

    // Collaborators not given are the window's own defaults: the engine's
    // memory, an icon-less tray area, no new-mail dialog and no sound.
    explicit MainWindow(AppState& state, WindowCollaborators collaborators = {},
                        QWidget* parent = nullptr);
    ~MainWindow() override;

    // The start-up sequence: accounts, tree, placement, options, shown window,
    // rules, tray, history, layout, AutoMin, the first check in 5 seconds.
    void Form_Load();
    // Keeps the layout and acts on state changes (minimise, restore, maximise).
    void Form_Resize();
    // "Exit Larkwatch ?": true when the answer keeps the program running.
    bool Form_QueryUnload(UnloadMode mode);
    // The busy test and the shut-down work: true when the exit is refused.
    bool Form_Unload(UnloadMode mode);
    void mnuExit_Click();
    // The desktop session is ending: close without the question, and end a
    // server conversation instead of refusing.
    void CloseForSessionEnd();
    void SaveWindowPlacement();

    // The window state to come back to: "0" normal, "2" maximised.
    QString Tag() const { return m_tag; }
    bool StartingUp() const { return m_startingUp; }

    AccountTreeModel& Model() const { return *m_model; }
    AccountTreeView& Tree() const { return *m_tree; }
    QLineEdit& TimeLeftBox() const { return *m_timeLeft; }
    MainMenus& Menus() const { return *m_menus; }
    AccountTreeHandlers& TreeHandlers() const { return *m_handlers; }
    PopClient& POP() const { return *m_pop; }
    AppState& State() const { return m_state; }
    MailEngine& Engine() const { return *m_engine; }
    Scheduler& Passes() const { return *m_scheduler; }
    // The one-second polling timer "PoolingEvent".
    QTimer& PoolingEvent() const { return *m_poolingEvent; }
    // What asks for a check within seconds after a resume or the network's
    // return; listening from Form_Load on.
    FreshCheckTriggers& FreshChecks() const { return *m_freshChecks; }
    // The icon in the notification area.
    TrayArea& Tray() const { return *m_parts.Tray; }

    // Whether "&Accounts" is enabled (false while a check runs, and while a
    // view or deletion of a message holds the menus).
    bool AccountsMenuEnabled() const;
    // Brings the window back in the state recorded when it was last not
    // minimised (normal or maximised), shows it if hidden, and gives the tree
    // the input focus.
    void ShowInRecordedState();
    // Closes the program as the program's own code does (the exit question is
    // skipped while ExitPending is set).
    void Unload();

    // MonitorHost
    void SetTopMenusEnabled(bool enabled) override;
    void SetBusyCursor(bool busy) override;
    void SetCaption(const QString& caption) override;
    void SetTimeLeftText(const QString& text) override;
    void SetTrayPicture(TrayPicture picture) override;
    bool IsMinimized() const override;
    void BringBackWindow() override;
    void HideSelection() override;
    void SetUpdateNowEnabled(bool enabled) override;
    void AnnounceNewMail() override;
    void UpdateMenus() override;
    void ShowNewMailDialog(bool focusOpenDialog) override;
    void PlaySounds(const QStringList& wavFiles) override;
    void CloseProgram() override;

Q_SIGNALS:
    // The window has been unloaded: the program is to end.
    void Unloaded();
    // A pass met mail not seen before; count is the new mail it announces.
    void NewMailFound(int count);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LayOutTreeArea();
    void UseCollaborators(const WindowCollaborators& given);
    bool TrayAvailable() const;
    bool PopHoldsConnection() const;
    void FinishUnload();

    AppState& m_state;
    AccountTreeModel* m_model;
    PopClient* m_pop;
    QWidget* m_treeArea;
    AccountTreeView* m_tree;
    QLineEdit* m_timeLeft;
    std::unique_ptr<MainMenus> m_menus;
    AccountTreeHandlers* m_handlers;
    QTimer* m_poolingEvent;
    FreshCheckTriggers* m_freshChecks;
    std::unique_ptr<MailEngine> m_engine;
    std::unique_ptr<Scheduler> m_scheduler;

    // The collaborators in use, and the defaults that stand in for those not given.
    WindowCollaborators m_parts;
    std::unique_ptr<MailMemory> m_ownMemory;
    std::unique_ptr<TrayArea> m_ownTray;
    std::unique_ptr<NewMailNotice> m_ownNewMail;
    std::unique_ptr<SoundOutput> m_ownSounds;

    QString m_tag = QStringLiteral("0");
    bool m_startingUp = false;
    bool m_busyCursor = false;
    bool m_unloaded = false;
    UnloadMode m_pendingUnloadMode = FormControlMenu;
};
