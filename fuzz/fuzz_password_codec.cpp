// The password decoders on any stored text a hand-edited settings file may
// hold, in the current and the older keyed form; and the current form of any
// password decodes to that password again.

#include "fuzz_check.h"
#include "records/password_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes = FuzzBytes(data, size);
    const QString utf8 = QString::fromUtf8(bytes);
    const QString units(reinterpret_cast<const QChar*>(bytes.constData()), bytes.size() / 2);

    for (const QString& stored : {utf8, units}) {
        const QByteArray decoded = DecodePasswordBytes(stored);
        FUZZ_CHECK(decoded.size() <= stored.size());
        DecodePassword(stored);
        IsLegacyPasswordForm(stored);
        // The key is the application's name; any key must do.
        DecodeLegacyPassword(stored, QStringLiteral("Larkwatch"));
        DecodeLegacyPassword(stored, stored.left(stored.size() / 3));
    }

    const QString stored = EncodePasswordBytes(bytes);
    FUZZ_CHECK(!IsLegacyPasswordForm(stored));
    FUZZ_CHECK(DecodePasswordBytes(stored) == bytes);
    FUZZ_CHECK(DecodePassword(EncodePassword(utf8)) == utf8);
    return 0;
}
