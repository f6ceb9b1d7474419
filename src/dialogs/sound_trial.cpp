#include "dialogs/sound_trial.h"

#include "records/general_options.h"

#include <utility>

void PlayWithSoundSettings(GeneralOptions& options, const PlayMessageFn& playMessage,
                           const QString& wavFile, const QString& wavFolder, bool playWav) {
    const QString keptFile = std::exchange(options.WavFile, wavFile);
    const QString keptFolder = std::exchange(options.WavFolder, wavFolder);
    const bool keptPlayWav = std::exchange(options.PlayWav, playWav);
    if (playMessage)
        playMessage();
    options.WavFile = keptFile;
    options.WavFolder = keptFolder;
    options.PlayWav = keptPlayWav;
}
