#include "engine/rule_matching.h"

#include "engine/header_text.h"

static QString withoutBlanksAtEnds(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == QLatin1Char(' '))
        ++first;
    while (last > first && text[last - 1] == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

// The line's value after its field prefix; empty when the line is missing.
static QString lineValue(const QString& prefix, const QString& headerText) {
    return GetHeaderLine(prefix, headerText).mid(prefix.size());
}

RuleSubjectMatter RuleSubjectMatter::FromHeader(const QString& headerText) {
    return {lineValue(QStringLiteral("From : "), headerText).toUpper(),
            lineValue(QStringLiteral("Subject : "), headerText).toUpper()};
}

static bool textCondition(const QString& ruleText, bool wholeText, const QString& value) {
    if (ruleText.isEmpty())
        return false;
    if (wholeText)
        return value.compare(ruleText, Qt::CaseInsensitive) == 0;
    return value.contains(ruleText, Qt::CaseInsensitive);
}

bool RuleMatches(const FilterRule& rule, const RuleSubjectMatter& message) {
    const bool sender = textCondition(rule.SenderText, rule.SenderMatch, message.Sender);
    const bool subject = textCondition(rule.SubjectText, rule.SubjectMatch, message.Subject);
    if (rule.AND && !rule.SenderText.isEmpty() && !rule.SubjectText.isEmpty())
        return sender && subject;
    return sender || subject;
}

// The To test: the fragments of FilterTO, separated by single blanks, are
// looked for in the To value one after the other; an empty fragment (two
// blanks in a row) ends the walk. Fails when no fragment looked at occurs.
// A FilterTO that yields no fragment at all (it begins with a blank) holds no
// address, so it is no test, as an empty FilterTO is: it must not delete every
// message that has a To line.
static bool failsToTest(const AppState& state, const QString& headerText) {
    if (state.FilterTO.isEmpty() || !state.UseFieldTO)
        return false;
    const QString toValue =
        withoutBlanksAtEnds(GetHeaderLine(QStringLiteral("To : "), headerText).mid(4));
    if (toValue.isEmpty())
        return false;
    const QString& fragments = state.FilterTO;
    qsizetype start = 0;
    bool lookedAtAny = false;
    while (start <= fragments.size()) {
        qsizetype blank = fragments.indexOf(QLatin1Char(' '), start);
        if (blank < 0)
            blank = fragments.size(); // the blank imagined after the last fragment
        const QString fragment = fragments.mid(start, blank - start);
        if (fragment.isEmpty())
            break;
        lookedAtAny = true;
        if (toValue.contains(fragment, Qt::CaseInsensitive))
            return false;
        start = blank + 1;
    }
    return lookedAtAny;
}

bool MatchFilters(const AppState& state, const QString& headerText) {
    if (failsToTest(state, headerText))
        return true;
    const RuleSubjectMatter message = RuleSubjectMatter::FromHeader(headerText);
    for (const FilterRule& rule : state.FilterList) {
        if (rule.Active && RuleMatches(rule, message))
            return true;
    }
    return false;
}

std::optional<QString> MatchWavAction(const AppState& state, const QString& headerText) {
    const RuleSubjectMatter message = RuleSubjectMatter::FromHeader(headerText);
    for (const WavAction& action : state.WavActionList) {
        if (action.Active && RuleMatches(action, message))
            return action.WavFile;
    }
    return std::nullopt;
}
