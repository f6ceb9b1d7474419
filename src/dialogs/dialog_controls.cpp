#include "dialogs/dialog_controls.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {
template <typename Control> Control* named(Control* control, const char* name, const char* tip) {
    control->setObjectName(QLatin1String(name));
    if (*tip)
        control->setToolTip(QString::fromUtf8(tip));
    return control;
}
} // namespace

QLineEdit* NamedLineEdit(QWidget* parent, const char* name, const char* toolTip) {
    return named(new QLineEdit(parent), name, toolTip);
}

QCheckBox* NamedCheckBox(QWidget* parent, const char* name, const char* caption,
                         const char* toolTip) {
    return named(new QCheckBox(QString::fromUtf8(caption), parent), name, toolTip);
}

QPushButton* NamedButton(QWidget* parent, const char* name, const QString& caption,
                         const char* toolTip) {
    return named(new QPushButton(caption, parent), name, toolTip);
}

QRadioButton* NamedOption(QWidget* parent, const char* name, const char* caption,
                          const char* toolTip) {
    return named(new QRadioButton(QString::fromUtf8(caption), parent), name, toolTip);
}

QHBoxLayout* ButtonRow(std::initializer_list<QWidget*> buttons) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QWidget* button : buttons)
        row->addWidget(button);
    return row;
}

void UseDialogFrame(QWidget& dialog) {
    dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
}

void SetTabOrder(const QList<QWidget*>& widgets) {
    QWidget* previous = nullptr;
    for (QWidget* widget : widgets) {
        if (previous)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}
