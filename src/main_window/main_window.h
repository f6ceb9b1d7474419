#pragma once

#include "main_window/engine_window.h"
#include "main_window/main_window_hooks.h"

#include <QMainWindow>
#include <memory>

class AccountTreeHandlers;
class AccountTreeModel;
class AccountTreeView;
class AppState;
class MainMenus;
class PopClient;
class QLineEdit;
class QTimer;

// The program's one window, "Main": the account tree filling the client
// area, the countdown box at its top-right corner, and the menus. Loading it
// (Form_Load) starts the program; unloading it ends the program.
class MainWindow : public QMainWindow, public EngineWindow {
    Q_OBJECT
public:
    // Why the window is being closed.
    enum UnloadMode : qint16 {
        FormControlMenu = 0, // the user closed the window
        FormCode = 1,        // the program closes itself (Exit, ExitPending)
        AppWindows = 2,      // the desktop session is ending
    };

    explicit MainWindow(AppState& state, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Fill before Form_Load.
    MainWindowHooks Hooks;

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

    // EngineWindow
    void SetTopMenusEnabled(bool enabled) override;
    bool AccountsMenuEnabled() const override;
    void SetBusyCursor(bool busy) override;
    void UpdateMenus() override;
    void HideSelection() override;
    void SetUpdateNowEnabled(bool enabled) override;
    void SetTimeLeftText(const QString& text) override;
    void SetCaption(const QString& caption) override;
    bool IsMinimized() const override;
    void ShowInRecordedState() override;
    void Unload() override;
    QTimer& PoolingEvent() override { return *m_poolingEvent; }

Q_SIGNALS:
    // The window has been unloaded: the program is to end.
    void Unloaded();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LayOutTreeArea();
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

    QString m_tag = QStringLiteral("0");
    bool m_startingUp = false;
    bool m_busyCursor = false;
    bool m_unloaded = false;
    UnloadMode m_pendingUnloadMode = FormControlMenu;
};
