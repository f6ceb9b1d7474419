#pragma once

#include <QString>
#include <functional>

struct GeneralOptions;

// Plays the new-mail sound as the general options describe it (single play of
// WavFile, or random play from WavFolder). The dialogs are given it by the
// main window.
using PlayMessageFn = std::function<void()>;

// A Test button: plays with WavFile, WavFolder and PlayWav set as given for
// the duration of the call, and puts the three settings back afterwards.
void PlayWithSoundSettings(GeneralOptions& options, const PlayMessageFn& playMessage,
                           const QString& wavFile, const QString& wavFolder, bool playWav);
