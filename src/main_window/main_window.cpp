#include "main_window/main_window.h"

#include "records/app_state.h"

MainWindow::MainWindow(AppState& state, QWidget* parent) : QMainWindow(parent), m_state(state) {
    setObjectName(QStringLiteral("Main"));
    setWindowTitle(QStringLiteral("Larkwatch"));
}
