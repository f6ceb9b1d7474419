#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

// Larkwatch's own pictures, drawn at run time.
namespace LarkwatchIcons {

// The six tree images by key ("NoMail", "HaveMail", "Closed", "Mail",
// "NewMail", "Deleted"); a null icon for any other key.
QIcon TreeImage(const QString& imageKey);

// The notification-area pictures SmallIconPic: 0 no new mail, 1 checking,
// 2 new mail, 3 suspended. A null icon for any other index.
QIcon SmallIconPic(int index);

// The text the new-mail picture carries for a count of new messages: "1" to
// "99", then "99+"; empty below 1.
QString CountText(int count);
// The new-mail picture with CountText(count) on it, drawn for 16 to 32 px;
// the plain new-mail picture when the count is below 1.
QIcon NewMailPicture(int count);
// The same count drawn over another picture (an icon theme's), at 16 to 32 px;
// the picture itself when the count is below 1.
QIcon WithCount(const QIcon& base, int count);

// The application's icon: a lark perched on a letter.
QIcon ApplicationIcon();
// The application's picture at one size (square), for the installed icon theme.
QImage ApplicationPicture(int size);

} // namespace LarkwatchIcons
