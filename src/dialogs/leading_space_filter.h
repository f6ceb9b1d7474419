#pragma once

class QLineEdit;

// Passes every key typed into the box through RefuseLeadingSpace, so a rule
// text or a file name cannot be begun with a typed blank. (The rule dialogs
// keep the caret where the user puts it: no select-all on focus.)
void RefuseLeadingSpaceWhileTyping(QLineEdit& box);
