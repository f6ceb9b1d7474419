#pragma once

#include "records/settings_keys.h"

#include <QString>

// A sender/subject rule. Filter rules delete matching mail on the server; WAV
// actions add a sound file to play for matching new mail.
struct FilterRule {
    QString SenderText;                                 // empty: no sender condition
    bool SenderMatch = RuleKeys::SenderMatch.Default;   // true: exact; false: contained
    QString SubjectText;                                // empty: no subject condition
    bool SubjectMatch = RuleKeys::SubjectMatch.Default; // true: exact; false: contained
    bool AND = RuleKeys::AND.Default;                   // true: both conditions; false: either
    // Stored under "Disabled"n, where "True" means in force.
    bool Active = RuleKeys::Disabled.Default;

    bool operator==(const FilterRule&) const = default;
};

struct WavAction : FilterRule {
    QString WavFile; // full path of the sound, may be empty

    bool operator==(const WavAction&) const = default;
};
