#include "commands/message_numbering.h"

#include "tree/account_tree_model.h"
#include "tree/node_texts.h"

namespace {

// The text from its first blank on (empty when it has none).
QString fromFirstBlank(const QString& text) {
    const qsizetype blank = text.indexOf(QLatin1Char(' '));
    return blank < 0 ? QString() : text.mid(blank);
}

} // namespace

qint16 MessageNumberOf(const QString& nodeText) {
    qint32 number = 0;
    for (qsizetype i = 1; i < nodeText.size(); ++i) {
        const QChar c = nodeText.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        number = number * 10 + (c.unicode() - '0');
        if (number > 32767)
            return 0;
    }
    return qint16(number);
}

void MarkDeletedAndRenumber(AccountTreeModel& tree, const QString& messageKey, qint16 number) {
    tree.SetImage(messageKey, NodeImage::Deleted);
    tree.SetText(messageKey, MessageStatus::DeletedMark + fromFirstBlank(tree.Text(messageKey)));

    const QStringList siblings = tree.ChildKeys(tree.ParentKey(messageKey));
    qsizetype next = siblings.indexOf(messageKey) + 1;
    int skip = 1; // the message just deleted
    const int limit = int(siblings.size());
    for (int j = number + 1; j <= limit; ++j, ++next) {
        if (next <= 0 || next >= siblings.size())
            break;
        const QString& key = siblings.at(next);
        if (tree.Image(key) == NodeImage::Deleted) {
            ++skip;
            continue;
        }
        tree.SetText(key,
                     QLatin1Char('#') + QString::number(j - skip) + fromFirstBlank(tree.Text(key)));
    }
}
