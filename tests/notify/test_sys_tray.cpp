#include "main_window/larkwatch_icons.h"
#include "main_window/main_menus.h"
#include "main_window/main_window.h"
#include "notify/notifications.h"
#include "notify/sys_tray.h"
#include "notify/tray_commands.h"
#include "support/fail_on_warning.h"
#include "support/temp_state.h"

#include <QMenu>
#include <QSystemTrayIcon>
#include <QTextDocument>
#include <QtTest>

// The tray icon control and the main window's handling of its clicks, on a
// desktop without a notification area (offscreen).
class TestSysTray : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void inTrayRulesWithoutANotificationArea();
    void tipIsCutTo63CharactersAndShownAsText();
    void onlyIconsAreTaken();
    void countText_data();
    void countText();
    void newMailPictureCarriesTheCount_data();
    void newMailPictureCarriesTheCount();
    void picturesFollowTheIconTheme();
    void clicksBecomeMouseEvents_data();
    void clicksBecomeMouseEvents();
    void minimisingNeverLosesTheWindowWithoutAnArea_data();
    void minimisingNeverLosesTheWindowWithoutAnArea();
    void leftClickBringsBackAHiddenWindowInItsState();
    void rightClickOpensTheMonitoringMenuAMomentLater();
    void noMenuWhileACheckHoldsTheMenus();
    void areaGoneShowsAHiddenWindowAgain();

private:
    MainWindow& Load();
    SysTray& Tray() const { return m_notifications->Tray(); }
    QSystemTrayIcon& Icon() const { return const_cast<QSystemTrayIcon&>(Tray().Icon()); }

    std::unique_ptr<TempState> m_temp;
    std::unique_ptr<Notifications> m_notifications;
    std::unique_ptr<MainWindow> m_window;
};

static QImage imageOf(const QIcon& icon) {
    return icon.pixmap(16, 16).toImage();
}

void TestSysTray::init() {
    FailOnUnexpectedWarnings();
    m_temp = std::make_unique<TempState>();
    m_notifications = std::make_unique<Notifications>(*m_temp->State);
}

void TestSysTray::cleanup() {
    m_window.reset();
    m_notifications.reset();
    m_temp.reset();
}

MainWindow& TestSysTray::Load() {
    m_window = std::make_unique<MainWindow>(*m_temp->State, m_notifications->Collaborators());
    m_notifications->Attach(*m_window);
    m_window->Form_Load();
    return *m_window;
}

void TestSysTray::inTrayRulesWithoutANotificationArea() {
    QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
    SysTray& tray = Tray();
    QCOMPARE(tray.objectName(), QString("cSysTray"));
    QVERIFY(!tray.InTray());
    QCOMPARE(tray.TrayTip(), QString("Lark-W"));
    QCOMPARE(imageOf(tray.TrayIcon()), imageOf(LarkwatchIcons::SmallIconPic(0)));

    // Off when never on: only the value.
    tray.SetInTray(false);
    QVERIFY(!tray.InTray());
    QVERIFY(!Icon().isVisible());

    // Wanted twice, then not: one icon, and it is gone. With nowhere to show
    // it, nothing is shown and the window may not hide for it.
    tray.SetInTray(true);
    tray.SetInTray(true);
    QVERIFY(tray.InTray());
    QVERIFY(!Icon().isVisible());
    QVERIFY(!tray.Available());
    tray.SetInTray(false);
    QVERIFY(!tray.InTray());
    QVERIFY(!Icon().isVisible());

    // The properties are kept all along.
    tray.SetPicture(TrayPicture::Suspended);
    QCOMPARE(imageOf(tray.TrayIcon()), imageOf(LarkwatchIcons::SmallIconPic(3)));
    QCOMPARE(imageOf(Icon().icon()), imageOf(LarkwatchIcons::SmallIconPic(3)));
    QCOMPARE(tray.TrayTip(), QString("Lark-W"));
}

void TestSysTray::tipIsCutTo63CharactersAndShownAsText() {
    SysTray& tray = Tray();
    const QString long70 = QString(60, 'x') + "0123456789";
    tray.SetTrayTip(long70);
    QCOMPARE(tray.TrayTip(), long70.left(63));
    QCOMPARE(Icon().toolTip(), long70.left(63));
    tray.SetTrayTip(QString(63, 'y'));
    QCOMPARE(tray.TrayTip(), QString(63, 'y'));

    tray.SetTrayTip("<b>Lark</b> & W");
    QCOMPARE(tray.TrayTip(), QString("<b>Lark</b> & W"));
    QTextDocument shown;
    shown.setHtml(Icon().toolTip());
    QCOMPARE(shown.toPlainText(), QString("<b>Lark</b> & W"));
}

void TestSysTray::onlyIconsAreTaken() {
    SysTray& tray = Tray();
    tray.SetPicture(TrayPicture::NewMail);
    tray.SetTrayIcon(QIcon());
    QCOMPARE(imageOf(tray.TrayIcon()), imageOf(LarkwatchIcons::SmallIconPic(2)));
    tray.SetPicture(TrayPicture(7));
    QCOMPARE(imageOf(tray.TrayIcon()), imageOf(LarkwatchIcons::SmallIconPic(2)));
    tray.SetPicture(TrayPicture::Checking);
    QCOMPARE(imageOf(tray.TrayIcon()), imageOf(LarkwatchIcons::SmallIconPic(1)));
}

void TestSysTray::countText_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("text");
    QTest::newRow("none") << 0 << "";
    QTest::newRow("below none") << -3 << "";
    QTest::newRow("one") << 1 << "1";
    QTest::newRow("two digits") << 12 << "12";
    QTest::newRow("the last number") << 99 << "99";
    QTest::newRow("one more") << 100 << "99+";
    QTest::newRow("many") << 150 << "99+";
    QTest::newRow("the largest count") << 32767 << "99+";
}

void TestSysTray::countText() {
    QFETCH(int, count);
    QFETCH(QString, text);
    QCOMPARE(LarkwatchIcons::CountText(count), text);
}

void TestSysTray::newMailPictureCarriesTheCount_data() {
    QTest::addColumn<int>("size");
    for (int size : {16, 22, 24, 32})
        QTest::addRow("%d px", size) << size;
}

// At each size the tray asks for, the pictures for 1, 12 and 150 differ from
// the plain new-mail picture and from each other; counts of the same text draw
// the same picture; and the tray shows the count only with the new-mail picture.
void TestSysTray::newMailPictureCarriesTheCount() {
    QFETCH(int, size);
    auto drawn = [size](const QIcon& icon) {
        const QPixmap pixmap = icon.pixmap(size, size);
        return pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    };
    const QImage plain = drawn(LarkwatchIcons::SmallIconPic(2));
    const QImage one = drawn(LarkwatchIcons::NewMailPicture(1));
    const QImage twelve = drawn(LarkwatchIcons::NewMailPicture(12));
    const QImage many = drawn(LarkwatchIcons::NewMailPicture(150));
    for (const QImage* image : {&one, &twelve, &many})
        QCOMPARE(image->size(), QSize(size, size));
    const QList<const QImage*> all{&plain, &one, &twelve, &many};
    for (qsizetype i = 0; i < all.size(); ++i)
        for (qsizetype j = i + 1; j < all.size(); ++j)
            QVERIFY2(*all[i] != *all[j], qPrintable(QString("pictures %1 and %2").arg(i).arg(j)));
    QCOMPARE(drawn(LarkwatchIcons::NewMailPicture(100)), many);
    QCOMPARE(drawn(LarkwatchIcons::NewMailPicture(0)), plain);

    SysTray& tray = Tray();
    tray.SetPicture(TrayPicture::NewMail, 12);
    QCOMPARE(drawn(Icon().icon()), twelve);
    tray.SetPicture(TrayPicture::NewMail, 0);
    QCOMPARE(drawn(Icon().icon()), plain);
    tray.SetPicture(TrayPicture::Checking, 12);
    QCOMPARE(drawn(Icon().icon()), drawn(LarkwatchIcons::SmallIconPic(1)));
}

// An icon theme with pictures under two of Larkwatch's names: the tray shows
// them (the new-mail one with the count drawn over it), and its own pictures
// for the rest.
void TestSysTray::picturesFollowTheIconTheme() {
    QTemporaryDir themes;
    const QString folder = themes.path() + "/panel-test/22x22/status/";
    QVERIFY(QDir().mkpath(folder));
    QFile index(themes.path() + "/panel-test/index.theme");
    QVERIFY(index.open(QIODevice::WriteOnly));
    index.write("[Icon Theme]\nName=panel-test\nDirectories=22x22/status\n\n"
                "[22x22/status]\nSize=22\nType=Fixed\n");
    index.close();
    const QColor idle(10, 200, 10), fresh(10, 10, 200);
    for (const auto& [name, color] : {std::pair{QString("larkwatch-tray"), idle},
                                      std::pair{QString("larkwatch-tray-new-mail"), fresh}}) {
        QImage image(22, 22, QImage::Format_ARGB32);
        image.fill(color);
        QVERIFY(image.save(folder + name + ".png"));
    }
    const QStringList searchPaths = QIcon::themeSearchPaths();
    const QString themeName = QIcon::themeName();
    const auto restore = qScopeGuard([&] {
        QIcon::setThemeSearchPaths(searchPaths);
        QIcon::setThemeName(themeName);
    });
    QIcon::setThemeSearchPaths({themes.path()});
    QIcon::setThemeName("panel-test");

    auto shown = [this](TrayPicture picture, int count) {
        Tray().SetPicture(picture, count);
        return Icon().icon().pixmap(22, 22).toImage().convertToFormat(QImage::Format_ARGB32);
    };
    const QImage plainNew = shown(TrayPicture::NewMail, 0);
    QCOMPARE(plainNew.pixelColor(11, 11), fresh);
    QCOMPARE(shown(TrayPicture::NoNewMail, 0).pixelColor(11, 11), idle);
    const QImage counted = shown(TrayPicture::NewMail, 7);
    QCOMPARE(counted.pixelColor(2, 2), fresh); // the theme's picture shows around the count
    QVERIFY(counted != plainNew);
    const QImage drawnCount = LarkwatchIcons::NewMailPicture(7).pixmap(22, 22).toImage();
    // The badge is the one drawn on Larkwatch's own picture.
    QCOMPARE(counted.pixelColor(19, 17), drawnCount.pixelColor(19, 17));
    QCOMPARE(shown(TrayPicture::Checking, 0),
             LarkwatchIcons::SmallIconPic(1).pixmap(22, 22).toImage().convertToFormat(
                 QImage::Format_ARGB32));
}

void TestSysTray::clicksBecomeMouseEvents_data() {
    QTest::addColumn<int>("reason");
    QTest::addColumn<QStringList>("events");
    QTest::newRow("left click") << int(QSystemTrayIcon::Trigger)
                                << QStringList{"MouseDown 1 0", "MouseUp 1 0"};
    QTest::newRow("right click") << int(QSystemTrayIcon::Context)
                                 << QStringList{"MouseDown 2 0", "MouseUp 2 0"};
    QTest::newRow("double click") << int(QSystemTrayIcon::DoubleClick)
                                  << QStringList{"MouseDblClick 1 0"};
    QTest::newRow("middle button raises nothing")
        << int(QSystemTrayIcon::MiddleClick) << QStringList{};
}

void TestSysTray::clicksBecomeMouseEvents() {
    QFETCH(int, reason);
    QFETCH(QStringList, events);
    SysTray& tray = Tray();
    QStringList seen;
    auto note = [&seen](const char* name) {
        return [&seen, name](qint16 button, qint32 id) {
            seen << QString("%1 %2 %3").arg(name).arg(button).arg(id);
        };
    };
    connect(&tray, &SysTray::MouseDown, this, note("MouseDown"));
    connect(&tray, &SysTray::MouseUp, this, note("MouseUp"));
    connect(&tray, &SysTray::MouseDblClick, this, note("MouseDblClick"));
    Q_EMIT Icon().activated(QSystemTrayIcon::ActivationReason(reason));
    QCOMPARE(seen, events);
}

void TestSysTray::minimisingNeverLosesTheWindowWithoutAnArea_data() {
    QTest::addColumn<bool>("autoMin");
    QTest::newRow("minimised by the user") << false;
    QTest::newRow("AutoMin at start-up") << true;
}

void TestSysTray::minimisingNeverLosesTheWindowWithoutAnArea() {
    QFETCH(bool, autoMin);
    m_temp->State->Store.WriteSetting("Config", "RunInTray", "True");
    m_temp->State->Store.WriteSetting("Config", "AutoMin", autoMin ? "True" : "False");
    MainWindow& w = Load();
    QVERIFY(Tray().InTray()); // the option is kept
    if (!autoMin)
        w.showMinimized();
    QVERIFY(w.IsMinimized());
    // Give a deferred hide every chance to happen.
    bool flushed = false;
    QTimer::singleShot(0, this, [&flushed] { flushed = true; });
    QTRY_VERIFY(flushed);
    QVERIFY(w.isVisible());
}

void TestSysTray::leftClickBringsBackAHiddenWindowInItsState() {
    MainWindow& w = Load();
    w.showMaximized();
    w.showMinimized();
    w.hide(); // as in the tray
    Q_EMIT Icon().activated(QSystemTrayIcon::Trigger);
    QVERIFY(w.isVisible());
    QVERIFY(w.isMaximized());
    QVERIFY(!w.IsMinimized());

    w.showNormal();
    w.showMinimized();
    Q_EMIT Icon().activated(QSystemTrayIcon::Trigger);
    QVERIFY(w.isVisible());
    QVERIFY(!w.isMaximized());
    QVERIFY(!w.IsMinimized());
}

void TestSysTray::rightClickOpensTheMonitoringMenuAMomentLater() {
    MainWindow& w = Load();
    auto* timer = w.findChild<QTimer*>("mnuTimer");
    QVERIFY(timer);
    QCOMPARE(timer->interval(), 100);
    QVERIFY(timer->isSingleShot());
    QMenu* monitoring = w.Menus().Monitoring();
    QVERIFY(!monitoring->isVisible());

    Q_EMIT Icon().activated(QSystemTrayIcon::Context);
    QVERIFY(timer->isActive());
    QVERIFY(!monitoring->isVisible()); // not from inside the click
    QTRY_VERIFY(monitoring->isVisible());
    QVERIFY(!timer->isActive());
    QVERIFY(monitoring->actions().contains(w.Menus().Action("mnuExit")));
    monitoring->close();
}

void TestSysTray::noMenuWhileACheckHoldsTheMenus() {
    MainWindow& w = Load();
    auto* commands = w.findChild<TrayCommands*>();
    QVERIFY(commands);
    w.SetTopMenusEnabled(false);
    commands->mnuTimer_Timer();
    QVERIFY(!w.Menus().Monitoring()->isVisible());
    w.SetTopMenusEnabled(true);
    commands->mnuTimer_Timer();
    QVERIFY(w.Menus().Monitoring()->isVisible());
    w.Menus().Monitoring()->close();
}

void TestSysTray::areaGoneShowsAHiddenWindowAgain() {
    MainWindow& w = Load();
    w.showMinimized();
    w.hide(); // as in the tray
    Q_EMIT Tray().AvailabilityChanged(true);
    QVERIFY(!w.isVisible());
    Q_EMIT Tray().AvailabilityChanged(false);
    QVERIFY(w.isVisible());
    QVERIFY(!w.IsMinimized());
}

QTEST_MAIN(TestSysTray)
#include "test_sys_tray.moc"
