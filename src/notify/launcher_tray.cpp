#include "notify/launcher_tray.h"

#include "notify/launcher_count.h"

void LauncherTray::SetPicture(TrayPicture picture, int newMessages) {
    m_tray.SetPicture(picture, newMessages);
    if (picture != TrayPicture::Checking)
        m_launcher.Show(picture == TrayPicture::NewMail ? newMessages : 0);
    if (PictureSet)
        PictureSet();
}
