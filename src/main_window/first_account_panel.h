#pragma once

#include <QWidget>

class AppState;
class MainWindow;
class QAbstractItemModel;
class QAction;

// What the tree area shows while no account is watched: one short line and
// an "Add Account..." button that runs the Add Account command. It lies over
// the empty tree, centred, and goes away with the first account node (and
// comes back when the last one is removed).
class FirstAccountPanel : public QWidget {
    Q_OBJECT
public:
    FirstAccountPanel(const QAbstractItemModel& tree, QAction& addAccount, QWidget& treeArea);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowWhileTreeEmpty();
    void Centre();

    const QAbstractItemModel& m_tree;
};

// True before Larkwatch has ever written its settings file: the first start.
// Asked before the window loads, which may write the file.
bool IsFirstStart(const AppState& state);

// Opens Add Account over the window once the window's event loop runs.
void OfferFirstAccount(MainWindow& window);
