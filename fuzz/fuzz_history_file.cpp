// The history file "log.tmp" as the program loads it at start: any bytes (a
// damaged or hand-edited file) must load without fault, and what loads must
// be written back and read again unchanged.

#include "engine/header_text.h"
#include "engine/history_file.h"
#include "fuzz_check.h"
#include "records/app_state.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
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

// In memory where the system offers it: rewriting a file on ext4 waits for
// the disk each time.
QString FolderTemplate() {
    const QString memory = QStringLiteral("/dev/shm");
    const QString root = QFileInfo(memory).isWritable() ? memory : QDir::tempPath();
    return root + QStringLiteral("/larkwatch-fuzz-XXXXXX");
}

struct LoadFolder {
    QTemporaryDir Dir{FolderTemplate()};
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

    // The loader on the file itself, then on the file as a save writes it
    // (the save's own writing, with its flush to disk, is left out for speed).
    auto load = [&state](const QByteArray& fileBytes) {
        QFile file(HistoryFilePath(state));
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(fileBytes) == fileBytes.size());
        file.close();
        LoadHistory(state);
        return state.SeenHeaders.Texts();
    };
    const QStringList loaded = load(bytes);
    // One entry per message: texts of the same message (the same Message-Id)
    // load as the first of them.
    QSet<QString> identities;
    for (const QString& text : texts) {
        if (!text.isEmpty())
            identities.insert(MessageIdentity(text));
    }
    FUZZ_CHECK(loaded.size() == identities.size());
    FUZZ_CHECK(load(EncodeHistory(loaded)) == Writable(loaded));
    return 0;
}
