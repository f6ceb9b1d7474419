#include "main_window/main_window.h"

#include "engine/fresh_check_triggers.h"
#include "engine/mail_engine.h"
#include "engine/pop/pop_client.h"
#include "engine/scheduler.h"
#include "main_window/default_collaborators.h"
#include "main_window/first_account_panel.h"
#include "main_window/monitoring_commands.h"
#include "tree/account_nodes.h"
#include "main_window/account_tree_handlers.h"
#include "tree/account_tree_model.h"
#include "main_window/account_tree_view.h"
#include "main_window/larkwatch_icons.h"
#include "main_window/main_menus.h"
#include "main_window/window_placement.h"
#include "records/account_store.h"
#include "records/app_state.h"
#include "records/general_options_store.h"
#include "records/rule_store.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QSessionManager>
#include <QTimer>
#include <utility>

namespace {
// The window's size before any placement is stored, in pixels.
constexpr QSize kDesignedSize(640, 420);
// The countdown box sits this far inside the tree's top and right edges.
constexpr int kTimeLeftTopGap = 1;
constexpr int kTimeLeftRightGap = 3;
} // namespace

MainWindow::MainWindow(AppState& state, WindowCollaborators collaborators, QWidget* parent)
    : QMainWindow(parent), m_state(state), m_model(new AccountTreeModel(this)),
      m_pop(new PopClient(this)), m_treeArea(new QWidget(this)),
      m_tree(new AccountTreeView(*m_model, m_treeArea)), m_timeLeft(new QLineEdit(m_treeArea)),
      m_menus(std::make_unique<MainMenus>(*menuBar())), m_poolingEvent(new QTimer(this)),
      m_freshChecks(new FreshCheckTriggers(SystemClocks(), this)) {
    setObjectName(QStringLiteral("Main"));
    setWindowTitle(QStringLiteral("Larkwatch"));
    setWindowIcon(LarkwatchIcons::ApplicationIcon());
    resize(kDesignedSize);

    m_pop->setObjectName(QStringLiteral("POP"));

    // The tree fills the client area; the countdown floats over its corner.
    m_treeArea->setObjectName(QStringLiteral("TreeArea"));
    m_treeArea->installEventFilter(this);
    setCentralWidget(m_treeArea);
    m_timeLeft->setObjectName(QStringLiteral("txtTimeLeft"));
    m_timeLeft->setToolTip(QStringLiteral("Min:Sec left to check email"));
    m_timeLeft->setReadOnly(true);
    m_timeLeft->setFocusPolicy(Qt::NoFocus);
    m_timeLeft->setAlignment(Qt::AlignCenter);
    m_timeLeft->setContextMenuPolicy(Qt::NoContextMenu);
    m_timeLeft->setFixedWidth(m_timeLeft->fontMetrics().horizontalAdvance(QStringLiteral("00:00")) +
                              16);
    m_timeLeft->setFixedHeight(m_timeLeft->sizeHint().height());
    m_timeLeft->raise();

    m_handlers = new AccountTreeHandlers(m_state, *m_tree, *m_menus, this);
    new FirstAccountPanel(*m_model, *m_menus->Action(QStringLiteral("mnuNewAccount")), *m_treeArea);

    connect(m_menus->Action(QStringLiteral("mnuExit")), &QAction::triggered, this,
            &MainWindow::mnuExit_Click);
    // The other menu commands are connected from outside, through
    // Menus().Action("mnu…"): the window does not know who provides them.

    m_poolingEvent->setObjectName(QStringLiteral("PoolingEvent"));
    m_poolingEvent->setInterval(1000);
    m_engine = std::make_unique<MailEngine>(m_state, *m_model, *m_pop, *this);
    m_scheduler = std::make_unique<Scheduler>(m_state, *m_model, *m_engine, *this, *m_poolingEvent);
    // The window alone routes the timer's ticks to the scheduler.
    connect(m_poolingEvent, &QTimer::timeout, this, [this] { m_scheduler->PoolingEvent_Timer(); });
    // After a resume or the network's return the user sees fresh mail state
    // at once, and a connection left over from before the suspend is ended.
    connect(m_freshChecks, &FreshCheckTriggers::ConnectionsStale, this,
            [this] { m_scheduler->DropConnection(); });
    connect(m_freshChecks, &FreshCheckTriggers::CheckSoon, this,
            [this] { m_scheduler->CheckSoon(); });
    ConnectMonitoringCommands(*m_menus, *m_scheduler, this);
    UseCollaborators(collaborators);

    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::commitDataRequest, this, &MainWindow::CloseForSessionEnd);
        connect(app, &QCoreApplication::aboutToQuit, this, [this] {
            // Quitting without the window being closed (the session manager,
            // or any other quit): do the shut-down work without asking.
            if (!m_unloaded)
                FinishUnload();
        });
    }
}

MainWindow::~MainWindow() {
    SetBusyCursor(false);
}

void MainWindow::UseCollaborators(const WindowCollaborators& given) {
    m_parts = given;
    if (!m_parts.Memory) {
        m_ownMemory = std::make_unique<EngineMailMemory>(m_state, *m_engine);
        m_parts.Memory = m_ownMemory.get();
    }
    if (!m_parts.Tray) {
        m_ownTray = std::make_unique<IconlessTrayArea>();
        m_parts.Tray = m_ownTray.get();
    }
    if (!m_parts.NewMail) {
        m_ownNewMail = std::make_unique<SilentNewMailNotice>();
        m_parts.NewMail = m_ownNewMail.get();
    }
    if (!m_parts.Sounds) {
        m_ownSounds = std::make_unique<SilentSoundOutput>();
        m_parts.Sounds = m_ownSounds.get();
    }
}

void MainWindow::Form_Load() {
    m_state.ExitPending = false;
    m_state.ViewingMessage = false;
    // The single-instance test ran before this window was made (see main), and
    // the random generator was seeded from the clock when the state was made.
    m_startingUp = true;
    LoadAccounts(m_state);
    ShowAccountsUnchecked(m_state, *m_model);
    m_state.CurrentAccount = 0;
    m_state.CurrentMessage = 0;
    m_state.SeenHeaders.Clear();
    m_state.AcknowledgedHeaders.Clear();
    m_state.NewMailDialogOpen = false;
    m_tag = QStringLiteral("0");
    CenterForm(*this);
    WindowPlacement::Restore(m_state.Store, *this);
    LoadGeneralOptions(m_state);
    // Passwords move to the keyring, or back, as the Keyring option says.
    MovePasswordsAsChosen(m_state);

    show();
    m_startingUp = false;
    UpdateMenus();
    m_state.NoDialogOpen = true;
    HideSelection();

    LoadFilters(m_state);
    LoadWavActions(m_state);
    m_parts.Tray->SetInTray(m_state.AppSettings.RunInTray);
    m_parts.Memory->LoadHistory();
    Form_Resize();
    if (m_state.AppSettings.AutoMin)
        showMinimized();

    m_state.SecondsLeft = 5;
    m_state.PollMinutes = m_state.AppSettings.PoolingTime;
    m_poolingEvent->setInterval(1000);
    m_poolingEvent->start();
    m_freshChecks->Start();
}

void MainWindow::LayOutTreeArea() {
    const QSize inner = m_treeArea->size();
    m_tree->setGeometry(0, 0, inner.width(), inner.height());
    m_timeLeft->move(m_tree->x() + m_tree->width() - m_timeLeft->width() - kTimeLeftRightGap,
                     m_tree->y() + kTimeLeftTopGap);
}

void MainWindow::Form_Resize() {
    if (!isMinimized())
        LayOutTreeArea();
    if (m_startingUp)
        return;
    SaveWindowPlacement();
    if (!isMinimized()) {
        if (m_state.NewMailDialogOpen)
            m_parts.NewMail->Close();
        m_tag = (windowState() & Qt::WindowMaximized) ? QStringLiteral("2") : QStringLiteral("0");
    } else {
        // Off the task bar into the tray, but only where a tray exists to
        // bring the window back from. Hidden once the minimise has finished:
        // showMinimized() shows the window again after this state change.
        if (m_state.AppSettings.RunInTray && TrayAvailable())
            QTimer::singleShot(0, this, [this] {
                if (IsMinimized() && m_state.AppSettings.RunInTray && TrayAvailable())
                    hide();
            });
        // Not while a check or a command holds the menus (a view's message
        // window open, a deletion at work): their messages stay new.
        if (AccountsMenuEnabled())
            m_parts.Memory->MarkAllRead();
    }
    m_parts.Tray->SetPicture(TrayPicture::NoNewMail, 0);
    LayOutTreeArea();
    HideSelection();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_treeArea && event->type() == QEvent::Resize)
        LayOutTreeArea();
    return QMainWindow::eventFilter(watched, event);
}

bool MainWindow::TrayAvailable() const {
    return m_parts.Tray->Available();
}

bool MainWindow::PopHoldsConnection() const {
    return m_pop->LogonState() != PopClient::NotConnected ||
           m_pop->ConnectionState() != PopClient::ConnectionClosed;
}

void MainWindow::SaveWindowPlacement() {
    WindowPlacement::Save(m_state.Store, *this);
}

bool MainWindow::Form_QueryUnload(UnloadMode mode) {
    if ((mode != FormControlMenu && mode != FormCode) || m_state.ExitPending)
        return false;
    QMessageBox question(QMessageBox::Information, QStringLiteral("Larkwatch"),
                         QStringLiteral("Exit Larkwatch ?"), QMessageBox::Yes | QMessageBox::No,
                         this);
    question.setObjectName(QStringLiteral("ExitQuestion"));
    question.setDefaultButton(QMessageBox::Yes);
    return question.exec() != QMessageBox::Yes;
}

bool MainWindow::Form_Unload(UnloadMode mode) {
    if (!m_state.ExitPending && PopHoldsConnection()) {
        // End the conversation with the server; the user closes again once it
        // has ended. Errors of the client while doing so are of no interest.
        if (m_pop->Busy())
            m_pop->Cancel();
        else
            m_pop->Quit();
        // The session is ending: nothing can be refused any more.
        if (mode != AppWindows) {
            QApplication::beep();
            SaveWindowPlacement();
            return true;
        }
    }
    FinishUnload();
    return false;
}

void MainWindow::FinishUnload() {
    m_unloaded = true;
    m_poolingEvent->stop();
    SaveWindowPlacement();
    m_parts.Memory->AcknowledgeShownMessages();
    m_parts.Memory->SaveHistory();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    const UnloadMode mode = std::exchange(m_pendingUnloadMode, FormControlMenu);
    if (m_unloaded) {
        event->accept();
        return;
    }
    if (Form_QueryUnload(mode) || Form_Unload(mode)) {
        event->ignore();
        return;
    }
    event->accept();
    Q_EMIT Unloaded();
}

void MainWindow::mnuExit_Click() {
    Unload();
}

void MainWindow::Unload() {
    m_pendingUnloadMode = FormCode;
    close();
    m_pendingUnloadMode = FormControlMenu;
}

void MainWindow::CloseForSessionEnd() {
    m_pendingUnloadMode = AppWindows;
    close();
    m_pendingUnloadMode = FormControlMenu;
}

void MainWindow::SetTopMenusEnabled(bool enabled) {
    m_menus->SetTopMenusEnabled(enabled);
}

bool MainWindow::AccountsMenuEnabled() const {
    return MainMenus::IsMenuEnabled(m_menus->Accounts());
}

void MainWindow::SetBusyCursor(bool busy) {
    if (busy == m_busyCursor)
        return;
    m_busyCursor = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else
        QApplication::restoreOverrideCursor();
}

void MainWindow::UpdateMenus() {
    m_handlers->UpdateMenus();
}

void MainWindow::HideSelection() {
    m_handlers->HideSelection();
}

void MainWindow::SetUpdateNowEnabled(bool enabled) {
    m_menus->Action(QStringLiteral("mnuUpdateNow"))->setEnabled(enabled);
}

void MainWindow::AnnounceNewMail() {
    if (m_state.NewMailCount >= 1)
        Q_EMIT NewMailFound(m_state.NewMailCount);
    if (!m_parts.Desktop || !m_state.AppSettings.DesktopNotify || m_state.NewMailCount < 1)
        return;
    // The new messages in the order of the tree, as many as the notice lists.
    QList<NoticeMessage> messages;
    for (int position = 1; position <= m_state.AccountCount(); ++position) {
        for (const QString& key : m_model->ChildKeys(m_state.Account(position).NodeKey)) {
            if (m_model->Image(key) != NodeImage::NewMail)
                continue;
            const MessageReport report = m_engine->Reports.value(key);
            messages.append({report.From, report.Subject});
        }
    }
    m_parts.Desktop->Announce(m_state.NewMailCount, messages);
}

void MainWindow::SetTimeLeftText(const QString& text) {
    m_timeLeft->setText(text);
}

void MainWindow::SetCaption(const QString& caption) {
    setWindowTitle(caption);
}

bool MainWindow::IsMinimized() const {
    return windowState() & Qt::WindowMinimized;
}

void MainWindow::ShowInRecordedState() {
    if (m_tag == QStringLiteral("2"))
        showMaximized();
    else
        showNormal();
    raise();
    activateWindow();
    m_tree->setFocus();
}

void MainWindow::SetTrayPicture(TrayPicture picture) {
    // The count of the pass just made, where the user wants it on the icon.
    const int newMessages = m_state.AppSettings.TrayCount ? m_state.NewMailCount : 0;
    m_parts.Tray->SetPicture(picture, newMessages);
}

void MainWindow::BringBackWindow() {
    ShowInRecordedState();
}

void MainWindow::ShowNewMailDialog(bool focusOpenDialog) {
    m_parts.NewMail->Show(focusOpenDialog);
}

void MainWindow::PlaySounds(const QStringList& wavFiles) {
    m_parts.Sounds->PlaySounds(wavFiles);
}

void MainWindow::CloseProgram() {
    Unload();
}
