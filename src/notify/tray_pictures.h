#pragma once

#include "engine/monitor_host.h"

#include <QIcon>
#include <QString>

// The pictures of the notification-area icon. Where the desktop's icon theme
// has a picture under Larkwatch's name for it, the theme's picture is used
// (a theme made for a dark or a light panel knows best what reads there),
// with the count of new mail drawn on it; elsewhere Larkwatch's own.
namespace TrayPictures {

// The theme's name of each picture: "larkwatch-tray", "larkwatch-tray-checking",
// "larkwatch-tray-new-mail", "larkwatch-tray-suspended".
QString ThemeName(TrayPicture picture);

// The picture, with newMessages on the new-mail picture when 1 or more.
QIcon Icon(TrayPicture picture, int newMessages);

} // namespace TrayPictures
