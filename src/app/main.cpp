#include "main_window/main_window.h"
#include "records/app_state.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Larkwatch"));
    QApplication::setApplicationVersion(QStringLiteral(LARKWATCH_VERSION));
    AppState state;
    MainWindow window(state);
    window.show();
    return app.exec();
}
