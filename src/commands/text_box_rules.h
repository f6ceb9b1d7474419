#pragma once

class QLineEdit;

// Two rules the text boxes of Larkwatch's dialogs follow.

// Puts the caret at the start and selects the whole text, so that typing
// replaces it.
void SelectAllOnFocus(QLineEdit& box);

// Swallows a typed blank (key code 32, set to 0) when only blanks, or nothing,
// stand before the caret (the start of the selection). Any other key, and a
// blank typed after some other character, passes unchanged. Only typed blanks
// are refused: text pasted or set by code is not filtered.
void RefuseLeadingSpace(const QLineEdit& box, int& keyAscii);

// Makes a text box follow both rules: SelectAllOnFocus whenever it gains the
// focus, RefuseLeadingSpace for every key typed into it.
void ApplyTextBoxRules(QLineEdit& box);
