// GMime pulls in glib, whose headers use identifiers that Qt's keywords would
// clash with; include it before any Qt header.
#include <gmime/gmime.h>
#include <iconv.h>

#include "engine/mime/mime_message.h"

#include "engine/mime/mime_header_fields.h"
#include "engine/mime/mime_html_text.h"
#include "engine/mime/mime_words.h"

#include <QLocale>

#include <cerrno>
#include <memory>
#include <mutex>

namespace {

constexpr int MaxNesting = 20;

void EnsureGMime() {
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

struct GObjectUnref {
    void operator()(gpointer object) const {
        if (object)
            g_object_unref(object);
    }
};
template <typename T> using GPtr = std::unique_ptr<T, GObjectUnref>;

QString FormatSize(qint64 bytes) {
    QLocale locale(QLocale::English, QLocale::UnitedStates);
    return locale.toString(bytes) + QStringLiteral(" bytes");
}

QByteArray DecodedContent(GMimePart* part) {
    GMimeDataWrapper* content = g_mime_part_get_content(part);
    if (!content)
        return {};
    GPtr<GMimeStream> stream(g_mime_stream_mem_new());
    g_mime_data_wrapper_write_to_stream(content, stream.get());
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream.get()));
    return QByteArray(reinterpret_cast<const char*>(bytes->data), qsizetype(bytes->len));
}

QString PartText(GMimePart* part) {
    const QByteArray bytes = DecodedContent(part);
    const char* charset = g_mime_object_get_content_type_parameter(GMIME_OBJECT(part), "charset");
    if (charset && *charset) {
        if (std::optional<QString> text = MimeConvertCharset(bytes, QByteArray(charset)))
            return *text;
    }
    return MimeBytesToText(bytes);
}

QString NormalizeLineEnds(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QChar(u'\r'), QChar(u'\n'));
    text.replace(QChar(u'\0'), QChar(u' '));
    if (!text.isEmpty() && !text.endsWith(u'\n'))
        text += u'\n';
    return text;
}

QString ContentTypeText(GMimeObject* object) {
    GMimeContentType* type = g_mime_object_get_content_type(object);
    if (!type)
        return QStringLiteral("application/octet-stream");
    return QString::fromUtf8(g_mime_content_type_get_media_type(type)).toLower() + u'/' +
           QString::fromUtf8(g_mime_content_type_get_media_subtype(type)).toLower();
}

bool IsAttachment(GMimeObject* object) {
    GMimeContentDisposition* disposition = g_mime_object_get_content_disposition(object);
    return disposition && g_mime_content_disposition_is_attachment(disposition);
}

QString ReadableText(const QByteArray& raw, int depth);

void RenderObject(GMimeObject* object, QString* out, int depth) {
    if (!object || depth > MaxNesting)
        return;
    if (GMIME_IS_MESSAGE_PART(object)) {
        GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
        if (!inner)
            return;
        char* raw = g_mime_object_to_string(GMIME_OBJECT(inner), nullptr);
        if (!out->isEmpty() && !out->endsWith(QStringLiteral("\n\n")))
            *out += u'\n';
        *out += ReadableText(QByteArray(raw), depth + 1);
        g_free(raw);
        return;
    }
    if (GMIME_IS_MULTIPART(object)) {
        GMimeMultipart* multipart = GMIME_MULTIPART(object);
        const int count = g_mime_multipart_get_count(multipart);
        GMimeContentType* type = g_mime_object_get_content_type(object);
        const bool alternative =
            type &&
            g_ascii_strcasecmp(g_mime_content_type_get_media_subtype(type), "alternative") == 0;
        if (alternative && count > 0) {
            // Prefer the plain text; else the last (richest) alternative.
            GMimeObject* chosen = g_mime_multipart_get_part(multipart, count - 1);
            for (int i = 0; i < count; ++i) {
                GMimeObject* part = g_mime_multipart_get_part(multipart, i);
                if (GMIME_IS_PART(part) && !IsAttachment(part) &&
                    ContentTypeText(part) == QLatin1String("text/plain")) {
                    chosen = part;
                    break;
                }
            }
            RenderObject(chosen, out, depth + 1);
            return;
        }
        for (int i = 0; i < count; ++i)
            RenderObject(g_mime_multipart_get_part(multipart, i), out, depth + 1);
        return;
    }
    if (!GMIME_IS_PART(object))
        return;

    GMimePart* part = GMIME_PART(object);
    const QString type = ContentTypeText(object);
    const char* filename = g_mime_part_get_filename(part);
    const bool text = type.startsWith(QLatin1String("text/"));
    if (text && !(IsAttachment(object) && filename)) {
        if (type == QLatin1String("text/html"))
            *out += NormalizeLineEnds(MimeHtmlToText(PartText(part)));
        else
            *out += NormalizeLineEnds(PartText(part));
        return;
    }
    QString name = filename ? MimeDecodeHeaderValue(QByteArray(filename)) : QString();
    if (name.isEmpty())
        name = QStringLiteral("unnamed");
    name.replace(QChar(u'\n'), QChar(u' ')).replace(QChar(u'\r'), QChar(u' '));
    *out += QStringLiteral("[Attachment: %1, %2, %3]\n")
                .arg(name, type, FormatSize(DecodedContent(part).size()));
}

QString HeaderBlock(const QByteArray& raw) {
    static const char* const shown[] = {"From", "To", "Cc", "Date", "Subject"};
    const QList<HeaderField> fields = MimeParseHeaderFields(MimeHeaderBlock(raw));
    QString block;
    for (const char* name : shown) {
        for (const HeaderField& field : fields) {
            if (field.Name.compare(QLatin1String(name), Qt::CaseInsensitive) == 0) {
                block += QLatin1String(name) + QStringLiteral(": ") + field.Value + u'\n';
                break;
            }
        }
    }
    return block.isEmpty() ? block : block + u'\n';
}

QString ReadableText(const QByteArray& raw, int depth) {
    QString text = HeaderBlock(raw);
    GPtr<GMimeStream> stream(
        g_mime_stream_mem_new_with_buffer(raw.constData(), size_t(raw.size())));
    GPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    GPtr<GMimeMessage> message(g_mime_parser_construct_message(parser.get(), nullptr));
    if (!message) {
        // Not parseable as a message: show what follows the header as text.
        const QByteArray header = MimeHeaderBlock(raw);
        return text + NormalizeLineEnds(MimeBytesToText(raw.mid(header.size())));
    }
    QString body;
    RenderObject(g_mime_message_get_mime_part(message.get()), &body, depth);
    if (body.trimmed().isEmpty()) {
        // No readable part was found (a multipart whose boundary never
        // occurs, a body that follows the header without an empty line):
        // show the body as it came rather than nothing.
        const QByteArray header = MimeHeaderBlock(raw);
        body = NormalizeLineEnds(MimeBytesToText(raw.mid(header.size())));
    }
    return text + body;
}

} // namespace

std::optional<QString> MimeConvertCharset(const QByteArray& bytes, const QByteArray& charset) {
    EnsureGMime();
    const QByteArray lower = charset.toLower();
    if (lower == "us-ascii" || lower == "ascii") {
        // Mislabelled 8-bit text is common; read it rather than refuse it.
        return MimeBytesToText(bytes);
    }
    const char* name = g_mime_charset_iconv_name(charset.constData());
    iconv_t cd = g_mime_iconv_open("UTF-8", name);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;

    QByteArray out;
    QByteArray input = bytes;
    char* in = input.data();
    size_t inLeft = size_t(input.size());
    char buffer[4096];
    bool ok = true;
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof(buffer);
        const size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, qsizetype(sizeof(buffer) - outLeft));
        if (result == size_t(-1) && errno != E2BIG) {
            ok = false;
            break;
        }
    }
    if (ok) {
        // Flush a stateful encoding (ISO-2022-JP) back to its initial state.
        char* outPtr = buffer;
        size_t outLeft = sizeof(buffer);
        iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
        out.append(buffer, qsizetype(sizeof(buffer) - outLeft));
    }
    g_mime_iconv_close(cd);
    if (!ok)
        return std::nullopt;
    return QString::fromUtf8(out);
}

QString MimeReadableMessage(const QByteArray& rawMessage) {
    EnsureGMime();
    return ReadableText(rawMessage, 0);
}
