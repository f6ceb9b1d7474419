#pragma once

#include <QList>
#include <QString>
#include <initializer_list>

class QCheckBox;
class QHBoxLayout;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

// Small builders for the controls of Larkwatch's dialogs: each control carries
// its name as objectName, its caption and its tool tip.

QLineEdit* NamedLineEdit(QWidget* parent, const char* name, const char* toolTip = "");
QCheckBox* NamedCheckBox(QWidget* parent, const char* name, const char* caption,
                         const char* toolTip = "");
QPushButton* NamedButton(QWidget* parent, const char* name, const QString& caption,
                         const char* toolTip = "");
QRadioButton* NamedOption(QWidget* parent, const char* name, const char* caption,
                          const char* toolTip = "");

// The buttons at the foot of a dialog, pushed to the right.
QHBoxLayout* ButtonRow(std::initializer_list<QWidget*> buttons);

// A dialog's frame: title and close button, no minimise or maximise.
void UseDialogFrame(QWidget& dialog);

// Tab order in the given sequence.
void SetTabOrder(const QList<QWidget*>& widgets);
