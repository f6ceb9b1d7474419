#include "dialogs/rule_description.h"

#include "records/filter_rule.h"

namespace {
QString quoted(const QString& text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}
} // namespace

QString DescribeRule(const FilterRule& rule) {
    QString text;
    if (!rule.SenderText.isEmpty())
        text += (rule.SenderMatch ? QStringLiteral("Sender equal ")
                                  : QStringLiteral("Sender include ")) +
                quoted(rule.SenderText);
    if (!rule.SenderText.isEmpty() && !rule.SubjectText.isEmpty())
        text += rule.AND ? QStringLiteral(" AND ") : QStringLiteral(" OR ");
    if (!rule.SubjectText.isEmpty())
        text += (rule.SubjectMatch ? QStringLiteral("Subject equal ")
                                   : QStringLiteral("Subject include ")) +
                quoted(rule.SubjectText);
    return text;
}

QString DescribeWavAction(const WavAction& action) {
    QString text = DescribeRule(action);
    if (!action.WavFile.isEmpty())
        text += QStringLiteral(" Play ") + quoted(action.WavFile);
    return text;
}
