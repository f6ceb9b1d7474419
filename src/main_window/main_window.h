#pragma once

#include <QMainWindow>

class AppState;

// The program's one window, "Main": the account tree, the countdown and the menus.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(AppState& state, QWidget* parent = nullptr);

private:
    AppState& m_state;
};
