#include "engine/mime/mime_html_text.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>

namespace {

const QHash<QString, char32_t>& NamedEntities() {
    static const QHash<QString, char32_t> entities = [] {
        QHash<QString, char32_t> table = {
            {QStringLiteral("amp"), U'&'},         {QStringLiteral("lt"), U'<'},
            {QStringLiteral("gt"), U'>'},          {QStringLiteral("quot"), U'"'},
            {QStringLiteral("apos"), U'\''},       {QStringLiteral("nbsp"), U'\u00A0'},
            {QStringLiteral("euro"), U'€'},        {QStringLiteral("ndash"), U'–'},
            {QStringLiteral("mdash"), U'—'},       {QStringLiteral("lsquo"), U'‘'},
            {QStringLiteral("rsquo"), U'’'},       {QStringLiteral("sbquo"), U'‚'},
            {QStringLiteral("ldquo"), U'“'},       {QStringLiteral("rdquo"), U'”'},
            {QStringLiteral("bdquo"), U'„'},       {QStringLiteral("hellip"), U'…'},
            {QStringLiteral("bull"), U'•'},        {QStringLiteral("trade"), U'™'},
            {QStringLiteral("dagger"), U'†'},      {QStringLiteral("permil"), U'‰'},
            {QStringLiteral("lsaquo"), U'‹'},      {QStringLiteral("rsaquo"), U'›'},
            {QStringLiteral("oelig"), U'œ'},       {QStringLiteral("OElig"), U'Œ'},
            {QStringLiteral("scaron"), U'š'},      {QStringLiteral("Scaron"), U'Š'},
            {QStringLiteral("zwnj"), U'\u200C'},   {QStringLiteral("zwj"), U'\u200D'},
            {QStringLiteral("thinsp"), U'\u2009'},
        };
        // The Latin-1 entities in code point order, from U+00A1.
        static const char* const latin1[] = {
            "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",
            "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",
            "plusmn", "sup2",   "sup3",   "acute",  "micro",  "para",   "middot", "cedil",
            "sup1",   "ordm",   "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave",
            "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave",
            "Eacute", "Ecirc",  "Euml",   "Igrave", "Iacute", "Icirc",  "Iuml",   "ETH",
            "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",   "times",  "Oslash",
            "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",  "szlig",  "agrave",
            "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil", "egrave",
            "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",
            "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash",
            "ugrave", "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};
        char32_t code = 0xA1;
        for (const char* name : latin1)
            table.insert(QString::fromLatin1(name), code++);
        return table;
    }();
    return entities;
}

QString DecodeEntities(const QString& text) {
    static const QRegularExpression entity(
        QStringLiteral("&(#[0-9]{1,7}|#[xX][0-9a-fA-F]{1,6}|[A-Za-z][A-Za-z0-9]{1,10});"));
    QString out;
    qsizetype last = 0;
    auto it = entity.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        out += QStringView(text).mid(last, match.capturedStart() - last);
        const QString name = match.captured(1);
        char32_t code = 0;
        bool known = false;
        if (name.startsWith(u'#')) {
            const bool hex = name.size() > 1 && (name.at(1) == u'x' || name.at(1) == u'X');
            const uint value = hex ? name.mid(2).toUInt(&known, 16) : name.mid(1).toUInt(&known);
            known =
                known && value > 0 && value <= 0x10FFFF && !(value >= 0xD800 && value <= 0xDFFF);
            code = value;
        } else {
            const auto found = NamedEntities().constFind(name);
            known = found != NamedEntities().constEnd();
            if (known)
                code = found.value();
        }
        if (known)
            out += QString::fromUcs4(&code, 1);
        else
            out += match.captured(0);
        last = match.capturedEnd();
    }
    out += QStringView(text).mid(last);
    return out;
}

bool IsBlockElement(const QString& name) {
    static const QSet<QString> blocks = {
        QStringLiteral("p"),          QStringLiteral("div"),    QStringLiteral("br"),
        QStringLiteral("tr"),         QStringLiteral("li"),     QStringLiteral("ul"),
        QStringLiteral("ol"),         QStringLiteral("table"),  QStringLiteral("h1"),
        QStringLiteral("h2"),         QStringLiteral("h3"),     QStringLiteral("h4"),
        QStringLiteral("h5"),         QStringLiteral("h6"),     QStringLiteral("hr"),
        QStringLiteral("blockquote"), QStringLiteral("pre"),    QStringLiteral("section"),
        QStringLiteral("article"),    QStringLiteral("header"), QStringLiteral("footer"),
        QStringLiteral("body"),       QStringLiteral("title"),  QStringLiteral("dt"),
        QStringLiteral("dd")};
    return blocks.contains(name);
}

bool IsHiddenElement(const QString& tag) {
    static const QRegularExpression hidden(
        QStringLiteral("style\\s*=\\s*[\"'][^\"']*display\\s*:\\s*none"),
        QRegularExpression::CaseInsensitiveOption);
    return tag.contains(hidden) ||
           tag.contains(QRegularExpression(QStringLiteral("\\shidden(\\s|=|/|$)"),
                                           QRegularExpression::CaseInsensitiveOption));
}

bool IsVoidElement(const QString& name) {
    static const QSet<QString> voids = {QStringLiteral("br"),   QStringLiteral("img"),
                                        QStringLiteral("hr"),   QStringLiteral("meta"),
                                        QStringLiteral("link"), QStringLiteral("input"),
                                        QStringLiteral("base"), QStringLiteral("col"),
                                        QStringLiteral("area"), QStringLiteral("wbr")};
    return voids.contains(name);
}

// Skips from `pos` past the element's closing tag, counting nested ones.
qsizetype SkipElement(const QString& html, qsizetype pos, const QString& name) {
    static const QRegularExpression tagRe(QStringLiteral("<(/?)([A-Za-z][A-Za-z0-9]*)[^>]*>"));
    int depth = 1;
    auto it = tagRe.globalMatch(html, pos);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(2).compare(name, Qt::CaseInsensitive) != 0)
            continue;
        depth += m.captured(1).isEmpty() ? 1 : -1;
        if (depth == 0)
            return m.capturedEnd();
    }
    return html.size();
}

QString CollapseWhiteSpace(const QString& text) {
    QString out;
    out.reserve(text.size());
    bool pendingSpace = false;
    int pendingBreaks = 0;
    for (const QChar c : text) {
        if (c == u'\x01') { // a block boundary
            pendingSpace = false;
            pendingBreaks = std::min(pendingBreaks + 1, 2);
            continue;
        }
        if (c.isSpace() && c != QChar(0xA0)) {
            pendingSpace = true;
            continue;
        }
        if (!out.isEmpty()) {
            if (pendingBreaks > 0)
                out += QString(pendingBreaks, u'\n');
            else if (pendingSpace)
                out += u' ';
        }
        pendingSpace = false;
        pendingBreaks = 0;
        out += c == QChar(0xA0) ? QChar(u' ') : c;
    }
    if (!out.isEmpty())
        out += u'\n';
    return out;
}

} // namespace

QString MimeHtmlToText(const QString& html) {
    static const QRegularExpression tagRe(
        QStringLiteral("<(/?)([A-Za-z][A-Za-z0-9]*)((?:[^>\"']|\"[^\"]*\"|'[^']*')*)>"));
    static const QSet<QString> skipped = {QStringLiteral("head"),     QStringLiteral("script"),
                                          QStringLiteral("style"),    QStringLiteral("noscript"),
                                          QStringLiteral("template"), QStringLiteral("object")};
    QString text;
    qsizetype pos = 0;
    while (pos < html.size()) {
        const qsizetype lt = html.indexOf(u'<', pos);
        if (lt < 0) {
            text += DecodeEntities(html.mid(pos));
            break;
        }
        text += DecodeEntities(html.mid(pos, lt - pos));
        if (html.mid(lt, 4) == QLatin1String("<!--")) {
            const qsizetype end = html.indexOf(QLatin1String("-->"), lt + 4);
            pos = end < 0 ? html.size() : end + 3;
            continue;
        }
        if (html.mid(lt, 2) == QLatin1String("<!") || html.mid(lt, 2) == QLatin1String("<?")) {
            const qsizetype end = html.indexOf(u'>', lt);
            pos = end < 0 ? html.size() : end + 1;
            continue;
        }
        const QRegularExpressionMatch m =
            tagRe.match(html, lt, QRegularExpression::NormalMatch,
                        QRegularExpression::AnchorAtOffsetMatchOption);
        if (!m.hasMatch()) {
            text += u'<';
            pos = lt + 1;
            continue;
        }
        const bool closing = !m.captured(1).isEmpty();
        const QString name = m.captured(2).toLower();
        pos = m.capturedEnd();
        const bool selfClosing = m.captured(3).endsWith(u'/');
        if (!closing && !selfClosing && !IsVoidElement(name) &&
            (skipped.contains(name) || IsHiddenElement(m.captured(3)))) {
            pos = SkipElement(html, pos, name);
            continue;
        }
        if (IsBlockElement(name))
            text += u'\x01';
        if (name == QLatin1String("td") || name == QLatin1String("th"))
            text += u' ';
    }
    return CollapseWhiteSpace(text);
}
