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

// The application's icon: a lark perched on a letter.
QIcon ApplicationIcon();
// The application's picture at one size (square), for the installed icon theme.
QImage ApplicationPicture(int size);

} // namespace LarkwatchIcons
