#include "codeccatalog.h"

#include <algorithm>

namespace Tarnwick {

namespace {

// A default is given separately from its list: it need not be in it (mpeg2's size is not).
struct AudioCodecRow {
    const char* key;
    const char* displayName;
    const char* engineName;
    std::vector<int> channels;
    int defaultChannels;
    std::vector<int> sampleRates;
    int defaultSampleRate;
    std::vector<int> bitRates;
    int defaultBitRate;
};

struct VideoCodecRow {
    const char* key;
    const char* displayName;
    const char* engineName;
    int freedom;
    std::vector<PictureSize> sizes;
    PictureSize defaultSize;
    std::vector<FrameRate> frameRates;
    FrameRate defaultFrameRate;
    int defaultBitRate;
};

const std::vector<int> AacRates9{8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
const std::vector<int> AacBitRates8{24000, 32000, 48000, 56000, 64000, 96000, 112000, 128000};
const std::vector<int> AacBitRates19{8000,   16000,  20000,  24000,  28000, 32000,  40000,
                                     48000,  56000,  64000,  80000,  96000, 112000, 128000,
                                     160000, 192000, 224000, 256000, 320000};
const std::vector<int> AdpcmRates{8000, 11025, 22050, 44100};
const std::vector<int> WmaRates{22050, 32000, 44100, 48000};
const std::vector<int> WmaBitRates{32000, 48000, 64000, 80000, 96000, 128000, 160000, 192000};
const std::vector<int> Mp2BitRates{32000,  48000,  56000,  64000,  80000,  96000,  112000,
                                   128000, 160000, 192000, 224000, 256000, 320000, 384000};

const std::vector<AudioCodecRow>& AudioRows() {
    // Key, display name, engine name, channels (default), sample rates (default), bit rates (default).
    static const std::vector<AudioCodecRow> rows{
        {"3g2.aac", "AAC", "libfaac", {1, 2}, 2, AacRates9, 22050, AacBitRates8, 48000},
        {"3gp.aac", "AAC", "libfaac", {1, 2}, 2, AacRates9, 22050, AacBitRates8, 48000},
        {"aac", "AAC", "libfaac", {1, 2}, 2, AacRates9, 44100, AacBitRates19, 128000},
        {"adpcm_ima_wav", "ADPCM IMA", "adpcm_ima_wav", {1, 2}, 2, AdpcmRates, 44100, {44000}, 44000},
        {"adpcm_ms", "ADPCM Microsoft", "adpcm_ms", {1, 2}, 2, AdpcmRates, 44100, {44000}, 44000},
        {"adpcm_swf",
         "ADPCM",
         "adpcm_swf",
         {1, 2},
         1,
         {11025, 22050, 44100},
         11025,
         {8000, 16000, 32000, 48000, 56000, 64000, 96000, 112000, 128000, 160000, 192000, 224000, 256000},
         48000},
        {"amr_nb",
         "AMR Narrow-Band",
         "libamr_nb",
         {1},
         1,
         {8000},
         8000,
         {4750, 5150, 5900, 6700, 7400, 7950, 10200, 12200},
         12200},
        {"amr_wb",
         "AMR Wide-Band",
         "libamr_wb",
         {1},
         1,
         {16000},
         16000,
         {6600, 8850, 12650, 14250, 15850, 18250, 19850, 23050, 23850},
         15850},
        {"avi.adpcm_ima_wav", "ADPCM IMA", "adpcm_ima_wav", {1, 2}, 2, AdpcmRates, 44100, {22000}, 22000},
        {"avi.adpcm_ms", "ADPCM Microsoft", "adpcm_ms", {1, 2}, 2, AdpcmRates, 44100, {22000}, 22000},
        {"avi.pcm_s16le", "PCM S16LE", "pcm_s16le", {1, 2}, 2, AacRates9, 44100, {705000}, 705000},
        {"BlackBerry.aac",
         "AAC",
         "libfaac",
         {1, 2},
         2,
         {11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000},
         22050,
         AacBitRates8,
         48000},
        {"flv.mp3",
         "MP3",
         "libmp3lame",
         {1, 2},
         1,
         {0, 11025, 22050, 44100},
         22050,
         {16000, 32000, 40000, 48000, 56000, 64000, 80000, 96000, 112000, 128000, 160000, 192000, 224000,
          256000, 320000},
         96000},
        {"iPhone.aac", "AAC", "libfaac", {1, 2}, 2, AacRates9, 44100, AacBitRates19, 128000},
        {"iPod.aac",
         "AAC",
         "libfaac",
         {1, 2},
         2,
         {11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000},
         44100,
         {24000, 32000, 48000, 56000, 64000, 96000, 112000, 128000, 160000, 192000, 224000, 256000},
         128000},
        {"iPod55G.aac",
         "AAC",
         "libfaac",
         {1, 2},
         2,
         {22050, 24000, 44100, 48000},
         48000,
         {56000, 64000, 96000, 112000, 128000, 160000},
         128000},
        {"mov.pcm_s16be", "PCM S16BE", "pcm_s16be", {1, 2}, 2, AacRates9, 44100, {705000}, 705000},
        {"mov.pcm_s16le", "PCM S16LE", "pcm_s16le", {1, 2}, 2, AacRates9, 44100, {705000}, 705000},
        {"mp2",
         "MP2",
         "mp2",
         {1, 2},
         2,
         {16000, 22050, 24000, 32000, 44100, 48000},
         44100,
         Mp2BitRates,
         224000},
        {"mp3",
         "MP3",
         "libmp3lame",
         {0, 1, 2},
         2,
         {0, 8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000},
         44100,
         {16000, 24000, 32000, 40000, 48000, 56000, 64000, 80000, 96000, 112000, 128000, 160000, 192000,
          224000, 256000, 320000},
         128000},
        {"pcm_alaw",
         "ALaw",
         "pcm_alaw",
         {0, 1, 2},
         2,
         {0, 8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000},
         44100,
         {352000},
         352000},
        {"pcm_s16le", "PCM S16LE", "pcm_s16le", {1, 2}, 2, AacRates9, 44100, {1411000}, 1411000},
        {"pcm_u8", "PCM U8", "pcm_u8", {1, 2}, 2, AacRates9, 44100, {705000}, 705000},
        {"PSP.h264.aac", "AAC", "libfaac", {1, 2}, 2, {24000, 48000}, 24000, AacBitRates8, 96000},
        {"PSP.mpeg4.aac", "AAC", "libfaac", {1, 2}, 2, {24000}, 24000, AacBitRates8, 96000},
        {"vob.ac3",
         "AC3",
         "ac3",
         {1, 2, 6},
         2,
         {32000, 44100, 48000},
         48000,
         {32000, 48000, 56000, 64000, 80000, 96000, 112000, 128000, 160000, 192000, 224000, 256000, 320000,
          384000, 448000},
         224000},
        {"wmav1", "WMA V1", "wmav1", {1, 2}, 2, WmaRates, 44100, WmaBitRates, 64000},
        {"wmav2", "WMA V2", "wmav2", {1, 2}, 2, WmaRates, 44100, WmaBitRates, 64000},
    };
    return rows;
}

// The recurring size lists.
const std::vector<PictureSize> SizesA{{0, 0},     {128, 96},  {176, 144}, {240, 176}, {240, 192}, {320, 176},
                                      {320, 240}, {352, 240}, {352, 288}, {368, 208}, {384, 288}, {416, 176},
                                      {480, 272}, {480, 320}, {560, 304}, {608, 336}, {624, 352}, {640, 368},
                                      {640, 480}, {704, 480}, {704, 576}, {720, 480}, {720, 576}, {768, 576},
                                      {960, 528}, {960, 720}, {1280, 720}};
const std::vector<PictureSize> SizesB{
    {0, 0},     {128, 96},  {160, 128}, {176, 144}, {240, 176},  {240, 192},   {320, 176},  {320, 240},
    {352, 240}, {352, 288}, {368, 208}, {384, 288}, {416, 176},  {480, 272},   {480, 320},  {560, 304},
    {608, 336}, {624, 352}, {640, 368}, {640, 480}, {704, 480},  {704, 576},   {720, 480},  {720, 576},
    {768, 576}, {800, 720}, {960, 528}, {960, 720}, {1280, 800}, {1440, 1024}, {1920, 1088}};

std::vector<PictureSize> WithUnknownSize(std::vector<PictureSize> sizes) {
    sizes.push_back({-1, -1});
    return sizes;
}

const std::vector<PictureSize> Sizes3g2{{128, 96},  {176, 144}, {220, 176},
                                        {240, 192}, {320, 240}, {352, 288}};
const std::vector<PictureSize> SizesH261{{128, 96}, {176, 144}, {352, 288}};
const std::vector<PictureSize> SizesPsp{{176, 120}, {240, 176}, {320, 176}, {320, 240}, {368, 208},
                                        {364, 160}, {400, 192}, {416, 176}, {480, 160}, {480, 272}};

// The recurring frame-rate lists.
const std::vector<FrameRate> RatesR15{{0, 0},        {6000, 1001},  {625, 100},    {75, 10}, {10, 1},
                                      {12000, 1001}, {125, 10},     {15000, 1001}, {15, 1},  {24000, 1001},
                                      {25, 1},       {30000, 1001}, {30, 1},       {50, 1},  {60, 1}};
const std::vector<FrameRate> RatesR14(RatesR15.begin() + 1, RatesR15.end());
const std::vector<FrameRate> RatesR12{{6000, 1001},  {625, 100}, {75, 10},      {10, 1},
                                      {12000, 1001}, {125, 10},  {15000, 1001}, {15, 1},
                                      {24000, 1001}, {25, 1},    {30000, 1001}, {30, 1}};
const std::vector<FrameRate> RatesH263{{12000, 1001}, {125, 10}, {15000, 1001}, {15, 1}};
const std::vector<FrameRate> RatesH261{{12000, 1001}, {125, 10}, {15000, 1001}, {15, 1},
                                       {24000, 1001}, {25, 1},   {30000, 1001}, {30, 1}};
const std::vector<FrameRate> RatesMpeg{{24000, 1001}, {24, 1}, {25, 1}, {30000, 1001}, {30, 1}};

constexpr int B = VideoCodec::FreeBitRate;
constexpr int BS = VideoCodec::FreeBitRate | VideoCodec::FreeSize;
constexpr int FBS = VideoCodec::FreeFrameRate | VideoCodec::FreeBitRate | VideoCodec::FreeSize;

const std::vector<VideoCodecRow>& VideoRows() {
    // Key, display name, engine name, free settings, sizes (default), frame rates (default),
    // default bit rate.
    static const std::vector<VideoCodecRow> rows{
        {"3g2.h263", "H.263", "h263", B, Sizes3g2, {176, 144}, RatesH263, {15, 1}, 128000},
        {"3g2.h264", "H.264", "libx264", B, Sizes3g2, {176, 144}, RatesR15, {25, 1}, 144000},
        {"3g2.mpeg4", "MPEG4", "mpeg4", B, Sizes3g2, {176, 144}, RatesR14, {25, 1}, 144000},
        {"3gp.h263", "H.263", "h263", B, {{128, 96}, {176, 144}}, {176, 144}, RatesH263, {15, 1}, 128000},
        {"3gp.h264", "H.264", "libx264", B, Sizes3g2, {176, 144}, RatesR15, {25, 1}, 144000},
        {"3gp.mpeg4", "MPEG4", "mpeg4", B, Sizes3g2, {176, 144}, RatesR15, {25, 1}, 128000},
        {"BlackBerry.mpeg4", "MPEG4", "mpeg4", B, Sizes3g2, {176, 144}, RatesR14, {25, 1}, 144000},
        {"flv", "FLV", "flv", FBS, SizesA, {0, 0}, RatesR15, {15000, 1001}, 400000},
        {"h261", "H.261", "h261", B, SizesH261, {352, 288}, RatesH261, {25, 1}, 128000},
        {"h263", "H.263", "h263", B, SizesH261, {352, 288}, RatesH261, {25, 1}, 128000},
        {"h264", "H.264", "libx264", FBS, SizesA, {320, 240}, RatesR15, {25, 1}, 300000},
        {"iPhone.mpeg4",
         "MPEG4",
         "mpeg4",
         B,
         {{160, 120}, {320, 180}, {320, 240}, {480, 320}, {640, 480}},
         {480, 320},
         RatesR12,
         {25, 1},
         1000000},
        {"iPod.h264",
         "H.264",
         "libx264",
         B,
         {{240, 176},
          {320, 176},
          {320, 240},
          {368, 208},
          {384, 160},
          {400, 192},
          {416, 176},
          {480, 272},
          {480, 320}},
         {320, 240},
         RatesR12,
         {25, 1},
         572000},
        {"iPod.mpeg4",
         "MPEG4",
         "mpeg4",
         B,
         {{160, 120},
          {320, 180},
          {320, 240},
          {480, 320},
          {544, 416},
          {640, 272},
          {640, 360},
          {720, 306},
          {720, 320}},
         {320, 240},
         RatesR12,
         {25, 1},
         572000},
        {"iPod55G.h264",
         "H.264",
         "libx264",
         B,
         {{640, 256}, {640, 272}, {640, 288}, {640, 352}, {640, 368}, {640, 480}},
         {640, 480},
         RatesR12,
         {25, 1},
         572000},
        {"mjpeg", "M-JPEG", "mjpeg", FBS, WithUnknownSize(SizesA), {320, 240}, RatesR15, {25, 1}, 1248000},
        {"mpeg1", "MPEG1", "mpeg1video", BS, SizesB, {352, 288}, RatesMpeg, {25, 1}, 1150000},
        // The default size is not in the list; it only shows while the size is free.
        {"mpeg2", "MPEG2", "mpeg2video", BS, SizesB, {480, 576}, RatesMpeg, {25, 1}, 2415000},
        {"mpeg4", "MPEG4", "mpeg4", FBS, SizesA, {320, 240}, RatesR15, {25, 1}, 2500000},
        {"msmpeg4v1",
         "MS MPEG4 V1",
         "msmpeg4v1",
         FBS,
         WithUnknownSize(SizesA),
         {320, 240},
         RatesR15,
         {25, 1},
         1248000},
        {"msmpeg4v2",
         "MS MPEG4 V2",
         "msmpeg4v2",
         FBS,
         WithUnknownSize(SizesA),
         {320, 240},
         RatesR15,
         {25, 1},
         1248000},
        {"PSP.h264", "H.264/AVC", "libx264", B, SizesPsp, {368, 208}, {{30000, 1001}}, {30000, 1001}, 300000},
        {"PSP.mpeg4",
         "MPEG4",
         "mpeg4",
         B,
         SizesPsp,
         {368, 208},
         {{15000, 1001}, {30000, 1001}},
         {30000, 1001},
         504000},
        {"vob.mpeg2",
         "MPEG2",
         "mpeg2video",
         B,
         {{352, 240}, {352, 288}, {352, 480}, {352, 576}, {704, 480}, {704, 576}, {720, 480}, {720, 576}},
         {720, 576},
         {{25, 1}, {30000, 1001}},
         {25, 1},
         40250000},
        {"wmv2",
         "WMV2",
         "wmv2",
         BS,
         SizesA,
         {0, 0},
         {{24000, 1001}, {25, 1}, {30000, 1001}, {30, 1}},
         {30000, 1001},
         768000},
        {"xvid", "XviD", "libxvid", FBS, SizesA, {0, 0}, RatesR15, {25, 1}, 1248000},
    };
    return rows;
}

std::vector<int> MakeStandardVideoBitRates() {
    std::vector<int> rates{0,      40000,  64000,  75000,  85000,  96000,  128000, 144000, 150000,
                           160000, 192000, 240000, 288000, 300000, 336000, 384000, 432000, 400000};
    // From here on ascending: the multiples of 48000 merged with six rates that are not.
    std::vector<int> ascending{572000, 700000, 1150000, 2415000, 2500000, 4025000};
    for (int rate = 480000; rate <= 9792000; rate += 48000)
        ascending.push_back(rate);
    std::sort(ascending.begin(), ascending.end());
    rates.insert(rates.end(), ascending.begin(), ascending.end());
    rates.push_back(29040000);
    return rates;
}

} // namespace

const std::vector<int>& StandardVideoBitRates() {
    static const std::vector<int> rates = MakeStandardVideoBitRates();
    return rates;
}

std::unique_ptr<AudioCodec> MakeAudioCodec(const QString& key) {
    for (const AudioCodecRow& row : AudioRows()) {
        if (key != QLatin1String(row.key))
            continue;
        auto codec = std::make_unique<AudioCodec>();
        codec->key = QString::fromLatin1(row.key);
        codec->displayName = QString::fromLatin1(row.displayName);
        codec->engineName = QString::fromLatin1(row.engineName);
        codec->allowedChannels = row.channels;
        codec->defaultChannels = row.defaultChannels;
        codec->allowedSampleRates = row.sampleRates;
        codec->defaultSampleRate = row.defaultSampleRate;
        codec->allowedBitRates = row.bitRates;
        codec->defaultBitRate = row.defaultBitRate;
        return codec;
    }
    return nullptr;
}

std::unique_ptr<VideoCodec> MakeVideoCodec(const QString& key) {
    for (const VideoCodecRow& row : VideoRows()) {
        if (key != QLatin1String(row.key))
            continue;
        auto codec = std::make_unique<VideoCodec>();
        codec->key = QString::fromLatin1(row.key);
        codec->displayName = QString::fromLatin1(row.displayName);
        codec->engineName = QString::fromLatin1(row.engineName);
        codec->freedom = row.freedom;
        codec->allowedSizes = row.sizes;
        codec->defaultSize = row.defaultSize;
        codec->allowedFrameRates = row.frameRates;
        codec->defaultFrameRate = row.defaultFrameRate;
        codec->allowedBitRates = StandardVideoBitRates();
        codec->defaultBitRate = row.defaultBitRate;
        return codec;
    }
    return nullptr;
}

QStringList AudioCodecKeys() {
    QStringList keys;
    for (const AudioCodecRow& row : AudioRows())
        keys << QString::fromLatin1(row.key);
    return keys;
}

QStringList VideoCodecKeys() {
    QStringList keys;
    for (const VideoCodecRow& row : VideoRows())
        keys << QString::fromLatin1(row.key);
    return keys;
}

} // namespace Tarnwick
