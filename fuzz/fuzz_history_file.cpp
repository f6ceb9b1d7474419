// The history file "log.tmp" as the program loads it at start: any bytes (a
// damaged or hand-edited file) must load without fault, and what loads must
// be written back and read again unchanged.

#include "engine/history_file.h"
#include "fuzz_check.h"
#include "records/app_state.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

namespace {

// The texts a save keeps: those whose length field can say their length.
QStringList Writable(const QStringList& texts) {
    QStringList kept;
    for (const QString& text : texts) {
        if (text.toUtf8().size() <= HistoryFieldLimit)
            kept.append(text);
    }
    return kept;
}

struct LoadFolder {
    QTemporaryDir Dir;
    std::unique_ptr<AppState> State;
    LoadFolder() : State(std::make_unique<AppState>(StatePaths::Under(Dir.path()))) {
        FUZZ_CHECK(Dir.isValid() && QDir().mkpath(State->Paths.DataFolder));
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static LoadFolder folder;
    AppState& state = *folder.State;
    const QByteArray bytes = FuzzBytes(data, size);

    const QStringList texts = DecodeHistory(bytes);
    FUZZ_CHECK(texts.size() <= HistoryFieldLimit);
    FUZZ_CHECK(DecodeHistory(EncodeHistory(texts)) == Writable(texts));

    // The loader on the file itself, then a save and a load again.
    QFile file(HistoryFilePath(state));
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(bytes) == bytes.size());
    file.close();
    LoadHistory(state);
    qsizetype nonEmpty = 0;
    for (const QString& text : texts)
        nonEmpty += text.isEmpty() ? 0 : 1;
    FUZZ_CHECK(state.SeenHeaders.Size() == nonEmpty);
    const QStringList loaded = state.SeenHeaders.Texts();
    FUZZ_CHECK(SaveHistory(state));
    LoadHistory(state);
    FUZZ_CHECK(state.SeenHeaders.Texts() == Writable(loaded));
    return 0;
}
