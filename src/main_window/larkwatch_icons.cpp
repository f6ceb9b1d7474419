#include "main_window/larkwatch_icons.h"

#include "tree/account_nodes.h"

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <algorithm>
#include <cmath>
#include <functional>

namespace {

// Every picture is drawn on a 16 x 16 grid and scaled to the sizes asked for.
using Drawing = std::function<void(QPainter&)>;

QImage picture(const Drawing& draw, int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    draw(p);
    p.end();
    return image;
}

QIcon render(const Drawing& draw, std::initializer_list<int> sizes) {
    QIcon icon;
    for (int size : sizes)
        icon.addPixmap(QPixmap::fromImage(picture(draw, size)));
    return icon;
}

QPen outline(const QColor& color, qreal width = 1.0) {
    QPen pen(color, width);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    return pen;
}

const QColor kInk(40, 48, 64);

// A closed letter: body and the flap's V.
void letter(QPainter& p, const QColor& paper, const QRectF& r = QRectF(1.5, 4.5, 13, 9)) {
    p.setPen(outline(kInk));
    p.setBrush(paper);
    p.drawRoundedRect(r, 1, 1);
    QPainterPath flap;
    flap.moveTo(r.topLeft());
    flap.lineTo(r.center().x(), r.top() + r.height() * 0.58);
    flap.lineTo(r.topRight());
    p.setBrush(Qt::NoBrush);
    p.drawPath(flap);
}

// An opened letter: the flap folded up behind, a sheet showing.
void openLetter(QPainter& p, const QColor& paper) {
    p.setPen(outline(kInk));
    p.setBrush(paper.darker(115));
    QPolygonF back{{1.5, 7.5}, {8, 2.5}, {14.5, 7.5}};
    p.drawPolygon(back);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3.5, 4.5, 9, 6));
    p.setBrush(paper);
    QPolygonF front{{1.5, 7.5}, {8, 11.5}, {14.5, 7.5}, {14.5, 14.5}, {1.5, 14.5}};
    p.drawPolygon(front);
}

// A mailbox on its post: the account. Open shows letters standing in it.
void mailbox(QPainter& p, const QColor& body, bool open, bool flagUp) {
    p.setPen(outline(kInk));
    p.setBrush(QColor(120, 90, 60));
    p.drawRect(QRectF(6.5, 10.5, 3, 5)); // post
    QPainterPath box;
    box.moveTo(1.5, 11.5);
    box.lineTo(1.5, 6.5);
    box.arcTo(QRectF(1.5, 2.5, 8, 8), 180, -180);
    box.lineTo(14.5, 2.5 + 4);
    box.lineTo(14.5, 11.5);
    box.closeSubpath();
    p.setBrush(body);
    p.drawPath(box);
    if (open) {
        p.setBrush(Qt::white);
        p.drawRect(QRectF(3, 3.5, 4, 5));
        p.setBrush(QColor(255, 236, 150));
        p.drawRect(QRectF(5, 4.5, 4, 5));
        p.setBrush(QColor(30, 30, 30));
        p.drawEllipse(QRectF(2.5, 7.5, 1.5, 1.5));
    } else {
        p.setBrush(body.darker(140));
        p.drawEllipse(QRectF(2.5, 5.5, 4, 5.5));
    }
    if (flagUp) {
        p.setPen(outline(QColor(150, 20, 20)));
        p.setBrush(QColor(220, 40, 40));
        p.drawRect(QRectF(11.5, 1.0, 3, 2));
        p.drawLine(QPointF(11.5, 1.0), QPointF(11.5, 6.0));
    }
}

void cross(QPainter& p, const QRectF& r) {
    p.setPen(outline(QColor(200, 20, 20), 2.0));
    p.drawLine(r.topLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomLeft());
}

void padlock(QPainter& p) {
    p.setPen(outline(kInk));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(9.5, 7.0, 5, 6), 0, 180 * 16);
    p.setBrush(QColor(230, 180, 40));
    p.drawRoundedRect(QRectF(8.5, 10.0, 7, 5.5), 1, 1);
}

void star(QPainter& p, const QPointF& c, qreal r) {
    QPolygonF points;
    for (int i = 0; i < 10; ++i) {
        const qreal radius = (i % 2 == 0) ? r : r * 0.45;
        const qreal angle = -M_PI / 2 + i * M_PI / 5;
        points << QPointF(c.x() + radius * std::cos(angle), c.y() + radius * std::sin(angle));
    }
    p.setPen(outline(QColor(170, 90, 0), 0.8));
    p.setBrush(QColor(255, 200, 0));
    p.drawPolygon(points);
}

// The lark: a small brown bird with a crest, standing on a letter.
void lark(QPainter& p) {
    letter(p, QColor(235, 240, 250), QRectF(1.5, 8.5, 13, 7));
    p.setPen(outline(QColor(70, 45, 20), 0.8));
    p.setBrush(QColor(170, 120, 70));
    QPainterPath body;
    body.moveTo(2.5, 5.0); // tail tip
    body.lineTo(5.5, 6.5);
    body.cubicTo(6.0, 9.5, 11.0, 10.0, 12.0, 6.5);
    body.lineTo(11.5, 4.5);
    body.cubicTo(10.0, 5.5, 7.5, 6.0, 5.5, 5.0);
    body.closeSubpath();
    p.drawPath(body);
    p.drawEllipse(QRectF(9.5, 1.5, 4, 4)); // head
    QPolygonF crest{{10.0, 2.2}, {9.2, 0.6}, {11.2, 1.6}};
    p.drawPolygon(crest);
    p.setBrush(QColor(230, 160, 40));
    QPolygonF beak{{13.3, 3.0}, {15.5, 3.7}, {13.3, 4.3}};
    p.drawPolygon(beak);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawEllipse(QRectF(11.6, 2.6, 1.0, 1.0)); // eye
}

void badge(QPainter& p, const QColor& color) {
    p.setPen(outline(Qt::white, 0.8));
    p.setBrush(color);
    p.drawEllipse(QRectF(9.0, 9.0, 6.5, 6.5));
}

// The new-mail picture at one size with the count in a red badge across its
// lower right. The text is drawn in pixels of that size, not scaled from the
// 16 x 16 grid, so that it stays sharp. The badge leaves a margin of red
// around the digits: with digits nearly as tall as the badge, the white
// strokes outweigh the red between them and the count reads as a red figure
// on white. Text too wide for the picture ("99+" at 16 px) is narrowed to
// fit.
QPixmap countPicture(QImage image, const QString& text, int size) {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const qreal height = std::round(size * 0.6875);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    font.setPixelSize(std::max(8, int(std::lround(height * 0.68))));
    p.setFont(font);
    const QFontMetricsF metrics(font);
    const qreal textWidth = metrics.horizontalAdvance(text);
    const qreal margin = std::max(2.0, size / 8.0);
    const qreal width = std::min<qreal>(size, std::max(height, textWidth + margin));
    const QRectF badgeRect(size - width, size - height, width, height);
    p.setPen(size >= 22 ? QPen(Qt::white, 1.0) : Qt::NoPen);
    p.setBrush(QColor(210, 20, 20));
    p.drawRoundedRect(badgeRect.adjusted(0.5, 0.5, -0.5, -0.5), height / 2.0, height / 2.0);
    p.setPen(Qt::white);
    const qreal room = width - margin / 2.0;
    p.translate(badgeRect.center());
    if (textWidth > room)
        p.scale(room / textWidth, 1.0);
    const QPointF baseline(-textWidth / 2.0, metrics.capHeight() / 2.0);
    p.drawText(baseline, text);
    p.end();
    return QPixmap::fromImage(image);
}

} // namespace

namespace LarkwatchIcons {

QString CountText(int count) {
    if (count < 1)
        return QString();
    return count > 99 ? QStringLiteral("99+") : QString::number(count);
}

QIcon NewMailPicture(int count) {
    const QString text = CountText(count);
    if (text.isEmpty())
        return SmallIconPic(2);
    QIcon icon;
    for (int size : {16, 22, 24, 32})
        icon.addPixmap(countPicture(picture(lark, size), text, size));
    return icon;
}

QIcon WithCount(const QIcon& base, int count) {
    const QString text = CountText(count);
    if (text.isEmpty())
        return base;
    QIcon icon;
    for (int size : {16, 22, 24, 32}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        base.paint(&p, QRect(0, 0, size, size));
        p.end();
        icon.addPixmap(countPicture(image, text, size));
    }
    return icon;
}

QIcon TreeImage(const QString& imageKey) {
    static const QHash<QString, Drawing> drawings = {
        {NodeImage::NoMail, [](QPainter& p) { mailbox(p, QColor(70, 110, 190), false, false); }},
        {NodeImage::HaveMail, [](QPainter& p) { mailbox(p, QColor(70, 110, 190), true, true); }},
        {NodeImage::Closed,
         [](QPainter& p) {
             mailbox(p, QColor(150, 150, 150), false, false);
             padlock(p);
         }},
        {NodeImage::Mail, [](QPainter& p) { openLetter(p, QColor(225, 225, 215)); }},
        {NodeImage::NewMail,
         [](QPainter& p) {
             letter(p, QColor(255, 236, 150));
             star(p, QPointF(12.5, 3.5), 3.3);
         }},
        {NodeImage::Deleted,
         [](QPainter& p) {
             letter(p, QColor(210, 210, 210));
             cross(p, QRectF(4, 5.5, 8, 7));
         }},
    };
    const auto drawing = drawings.constFind(imageKey);
    return drawing == drawings.constEnd() ? QIcon() : render(*drawing, {16, 32});
}

QIcon SmallIconPic(int index) {
    switch (index) {
    case 0:
        return render(lark, {16, 22, 32});
    case 1: // checking: a turning arrow
        return render(
            [](QPainter& p) {
                lark(p);
                badge(p, QColor(40, 140, 60));
                p.setPen(outline(Qt::white, 1.0));
                p.setBrush(Qt::NoBrush);
                p.drawArc(QRectF(10.3, 10.3, 3.9, 3.9), 90 * 16, 270 * 16);
                p.drawLine(QPointF(12.25, 10.3), QPointF(13.3, 9.6));
                p.drawLine(QPointF(12.25, 10.3), QPointF(13.2, 11.2));
            },
            {16, 22, 32});
    case 2: // new mail: a red dot
        return render(
            [](QPainter& p) {
                lark(p);
                badge(p, QColor(220, 30, 30));
                p.setPen(outline(Qt::white, 1.2));
                p.drawLine(QPointF(12.25, 10.4), QPointF(12.25, 12.8));
                p.drawPoint(QPointF(12.25, 14.2));
            },
            {16, 22, 32});
    case 3: // suspended: a pause sign
        return render(
            [](QPainter& p) {
                lark(p);
                badge(p, QColor(110, 110, 110));
                p.setPen(outline(Qt::white, 1.2));
                p.drawLine(QPointF(11.3, 10.6), QPointF(11.3, 13.9));
                p.drawLine(QPointF(13.2, 10.6), QPointF(13.2, 13.9));
            },
            {16, 22, 32});
    default:
        return QIcon();
    }
}

QIcon ApplicationIcon() {
    return render(lark, {16, 24, 32, 48, 64, 128});
}

QImage ApplicationPicture(int size) {
    return picture(lark, size);
}

} // namespace LarkwatchIcons
