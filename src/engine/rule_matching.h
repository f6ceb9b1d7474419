#pragma once

#include "records/app_state.h"

#include <QString>
#include <optional>

// The two decisions made on a message's header text: whether the filter rules
// want it deleted on the server, and which WAV action names a sound for it.
// Both read the rule lists as they stand at the moment of the call.

// The values a rule is compared with: everything after "From : " and after
// "Subject : ", in capitals; empty when the line is missing.
struct RuleSubjectMatter {
    QString Sender;
    QString Subject;
    static RuleSubjectMatter FromHeader(const QString& headerText);
};

// Whether one rule (or action) matches, ignoring its Active flag: a text
// compared exactly or found anywhere, ignoring letter case; both conditions
// when both texts are filled in and AND is set, either one otherwise; never
// when both texts are empty.
bool RuleMatches(const FilterRule& rule, const RuleSubjectMatter& message);

// True when the message is to be deleted: its To line contains none of the
// address fragments of FilterTO (when that test is on), or an active filter
// rule matches.
bool MatchFilters(const AppState& state, const QString& headerText);

// The WavFile of the first active WAV action that matches, or nothing.
std::optional<QString> MatchWavAction(const AppState& state, const QString& headerText);
