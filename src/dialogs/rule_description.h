#pragma once

#include <QString>

struct FilterRule;
struct WavAction;

// The one-line text of a rule in the rule lists, for example
//   Sender include "news" OR Subject equal "Offer"
// with "equal" for an exact match and "include" for a contained one; the
// connector only when both texts are given.
QString DescribeRule(const FilterRule& rule);

// A WAV action: its rule, then ' Play "file"' when it names a sound file.
QString DescribeWavAction(const WavAction& action);
