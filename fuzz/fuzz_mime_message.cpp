// A message as the program shows it when asked to view it: any bytes a server
// may send must give readable text, lines ended by LF alone, without fault
// and in bounded time.

#include "engine/mime/mime_message.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = MimeReadableMessage(FuzzBytes(data, size));
    FUZZ_CHECK(!text.contains(QChar(u'\r')));
    FUZZ_CHECK(text.isEmpty() || text.endsWith(QChar(u'\n')));
    return 0;
}
