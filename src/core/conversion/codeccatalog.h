#pragma once

#include "audiocodec.h"
#include "videocodec.h"

#include <QStringList>
#include <memory>
#include <vector>

namespace Tarnwick {

// The bit rates every video codec entry lists, in their fixed order (432000 comes before
// 400000): 220 entries.
const std::vector<int>& StandardVideoBitRates();

// A new entry for the catalogue key, or null for a key the catalogue does not hold. Each
// output format makes its own entries, so two formats never share one.
std::unique_ptr<AudioCodec> MakeAudioCodec(const QString& key);
std::unique_ptr<VideoCodec> MakeVideoCodec(const QString& key);

// Every key, in table order.
QStringList AudioCodecKeys();
QStringList VideoCodecKeys();

} // namespace Tarnwick
