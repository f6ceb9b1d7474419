#include "notify/new_mail_dialog.h"

#include "main_window/larkwatch_icons.h"
#include "main_window/main_window.h"
#include "main_window/window_placement.h"
#include "records/app_state.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace {
// The window's measures in twips (1/1440 inch).
constexpr double kMinimumWidth = 3615;
constexpr double kWidthBesideLabel = 1335; // the picture and the margins
constexpr double kMargin = 240;
constexpr double kImageSize = 480;
constexpr double kLabelLeft = 840;
constexpr double kButtonWidth = 1215;
constexpr double kButtonHeight = 375;
} // namespace

QString FormatDialogText(const QString& templateText, const QString& caption, qint32 count) {
    QString text = caption;
    const qsizetype hash = templateText.indexOf(QLatin1Char('#'));
    if (hash >= 0)
        text = templateText.left(hash) + QString::number(count) + templateText.mid(hash + 1);
    const qsizetype open = text.indexOf(QLatin1Char('['));
    const qsizetype close = text.indexOf(QLatin1Char(']'));
    if (open >= 0 && close > open) {
        const QString ending = count >= 2 ? text.mid(open + 1, close - open - 1) : QString();
        text = text.left(open) + ending + text.mid(close + 1);
    }
    return text;
}

NewMailDialog::NewMailDialog(AppState& state, MainWindow& main)
    : QDialog(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                           Qt::CustomizeWindowHint),
      m_state(state), m_main(main), m_image(new QLabel(this)), m_lblMsg(new QLabel(this)),
      m_butOK(new QPushButton(QStringLiteral("OK"), this)),
      m_butView(new QPushButton(QStringLiteral("View Mail"), this)), m_timer1(new QTimer(this)) {
    setObjectName(QStringLiteral("NewMail"));
    setWindowTitle(QStringLiteral("Larkwatch"));
    setModal(false);
    // A window of its own rather than a transient of the main window: window
    // managers minimise transients with their owner, and the notice must be
    // seen while the main window is minimised or hidden in the tray. It still
    // goes with the main window.
    connect(&main, &QObject::destroyed, this, [this] { delete this; });

    m_image->setObjectName(QStringLiteral("Image1"));
    m_lblMsg->setObjectName(QStringLiteral("lblMsg"));
    // The sentence is the user's own text: shown as it reads, never as markup.
    m_lblMsg->setTextFormat(Qt::PlainText);
    m_lblMsg->setText(DesignSentence());
    m_butOK->setObjectName(QStringLiteral("ButOK"));
    m_butOK->setToolTip(QStringLiteral("Click here to return"));
    m_butOK->setDefault(true);
    m_butView->setObjectName(QStringLiteral("butView"));
    m_butView->setToolTip(QStringLiteral("View the message window"));
    connect(m_butOK, &QPushButton::clicked, this, &NewMailDialog::ButOK_Click);
    connect(m_butView, &QPushButton::clicked, this, &NewMailDialog::butView_Click);

    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(100);
    connect(m_timer1, &QTimer::timeout, this, &NewMailDialog::Timer1_Timer);
}

NewMailDialog::~NewMailDialog() {
    // Gone with its owner without being unloaded first.
    if (!m_unloaded)
        m_state.NewMailDialogOpen = false;
}

void NewMailDialog::Form_Load() {
    m_state.NewMailDialogOpen = true;
    if (!m_state.AppSettings.DialogMessage.isEmpty())
        m_lblMsg->setText(m_state.AppSettings.DialogMessage);
    m_template = m_lblMsg->text();
    FormatDialogText();

    const double tx = WindowPlacement::TwipsPerPixelX(*this);
    const double ty = WindowPlacement::TwipsPerPixelY(*this);
    auto px = [](double twips, double perPixel) { return int(std::lround(twips / perPixel)); };

    const int imageSize = std::max(px(kImageSize, tx), px(kImageSize, ty));
    m_image->setPixmap(LarkwatchIcons::SmallIconPic(2).pixmap(imageSize, imageSize));
    m_image->setGeometry(px(kMargin, tx), px(kMargin, ty), imageSize, imageSize);
    const int textHeight = m_lblMsg->sizeHint().height();
    m_lblMsg->move(px(kLabelLeft, tx), m_image->y() + std::max(0, (imageSize - textHeight) / 2));

    const int width =
        std::max(m_lblMsg->width() + px(kWidthBesideLabel, tx), px(kMinimumWidth, tx));
    // Buttons wide enough for their captions in any font.
    const int buttonHeight = std::max(px(kButtonHeight, ty), m_butOK->sizeHint().height());
    m_butOK->resize(std::max(px(kButtonWidth, tx), m_butOK->sizeHint().width()), buttonHeight);
    m_butView->resize(std::max(px(kButtonWidth, tx), m_butView->sizeHint().width()), buttonHeight);
    const int gap = (width - m_butOK->width() - m_butView->width()) / 3;
    const int buttonTop =
        std::max(m_image->geometry().bottom(), m_lblMsg->geometry().bottom()) + 1 + px(kMargin, ty);
    m_butOK->move(gap, buttonTop);
    m_butView->move(m_butOK->x() + m_butOK->width() + gap, buttonTop);
    setFixedSize(width, buttonTop + buttonHeight + px(kMargin, ty));

    CenterForm(*this);
    m_timer1->start();
}

bool NewMailDialog::IsLoaded() const {
    return m_state.NewMailDialogOpen && !m_unloaded;
}

QString NewMailDialog::Sentence() const {
    return m_lblMsg->text();
}

void NewMailDialog::FormatDialogText() {
    m_lblMsg->setText(::FormatDialogText(m_template, m_lblMsg->text(), m_state.NewMailCount));
    m_lblMsg->adjustSize();
}

void NewMailDialog::Update() {
    if (m_state.NewMailCount >= 1)
        FormatDialogText();
    else
        Unload();
}

void NewMailDialog::Timer1_Timer() {
    m_timer1->stop();
    activateWindow();
    m_butOK->setFocus();
}

void NewMailDialog::ButOK_Click() {
    Unload();
}

void NewMailDialog::butView_Click() {
    // Shown again if hidden in the tray, in the state of the window's Tag.
    m_main.ShowInRecordedState();
    m_main.HideSelection();
    Unload();
}

void NewMailDialog::Unload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_state.NewMailDialogOpen = false;
    m_timer1->stop();
    hide();
    deleteLater();
}

void NewMailDialog::closeEvent(QCloseEvent* event) {
    event->accept();
    Unload();
}

void NewMailDialog::done(int result) {
    // Escape and the like end the dialog as OK does.
    QDialog::done(result);
    Unload();
}
