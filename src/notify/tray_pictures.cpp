#include "notify/tray_pictures.h"

#include "main_window/larkwatch_icons.h"

QString TrayPictures::ThemeName(TrayPicture picture) {
    switch (picture) {
    case TrayPicture::NoNewMail:
        break;
    case TrayPicture::Checking:
        return QStringLiteral("larkwatch-tray-checking");
    case TrayPicture::NewMail:
        return QStringLiteral("larkwatch-tray-new-mail");
    case TrayPicture::Suspended:
        return QStringLiteral("larkwatch-tray-suspended");
    }
    return QStringLiteral("larkwatch-tray");
}

QIcon TrayPictures::Icon(TrayPicture picture, int newMessages) {
    const bool counted = picture == TrayPicture::NewMail && newMessages >= 1;
    const QString name = ThemeName(picture);
    if (QIcon::hasThemeIcon(name)) {
        const QIcon themed = QIcon::fromTheme(name);
        return counted ? LarkwatchIcons::WithCount(themed, newMessages) : themed;
    }
    return counted ? LarkwatchIcons::NewMailPicture(newMessages)
                   : LarkwatchIcons::SmallIconPic(int(picture));
}
