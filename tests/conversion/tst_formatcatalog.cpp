#include "conversion/codeccatalog.h"
#include "conversion/conversionparams.h"
#include "conversion/formatcatalog.h"

#include "catalogtesting.h"

#include <QTest>
#include <clocale>

using namespace Tarnwick;
using TestSupport::FactoryCatalog;
using TestSupport::FindFormat;
using TestSupport::PresetNames;

namespace {} // namespace

class TestFormatCatalog : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void groupsAndFormatsInOrder();
    void formatsOfferTheirCodecs_data();
    void formatsOfferTheirCodecs();
    void everyFactoryRowApplies();
    void factoryDefaultsAndCustomPreset_data();
    void factoryDefaultsAndCustomPreset();
    void resetToFactoryKeepsTheCustomPreset();
    void applyBindsOrFails_data();
    void applyBindsOrFails();
    void videoCodecWithItsOwnAudioList();
    void findPresetIgnoresNamesAndMarks();
    void sameSettings_data();
    void sameSettings();
    void describe_data();
    void describe();
    void displayText();
    void resolve_data();
    void resolve();
    void fillParamsOnlySets();

private:
    Catalog catalog_;
};

void TestFormatCatalog::initTestCase() {
    std::setlocale(LC_ALL, "C");
}

void TestFormatCatalog::init() {
    catalog_ = FactoryCatalog();
}

void TestFormatCatalog::groupsAndFormatsInOrder() {
    Catalog fresh = BuildCatalog();
    QStringList groups;
    QStringList formats;
    for (const auto& group : fresh) {
        groups << group->name;
        QCOMPARE(group->defaultFormat, 0);
        for (const auto& format : group->formats) {
            formats << format->displayName;
            QVERIFY(format->presets.empty());
            QCOMPARE(format->customIndex, -1);
            QCOMPARE(format->currentIndex, 0);
        }
    }
    QCOMPARE(groups, (QStringList{"Devices", "Flash", "Videos", "Audios"}));
    QCOMPARE(formats, (QStringList{"Apple iPod - MPEG-4",
                                   "Apple iPod - H.264",
                                   "Apple iPod 5.5G - H.264",
                                   "Apple iPhone - MPEG-4",
                                   "Sony PSP - MPEG-4",
                                   "Sony PSP - H.264",
                                   "Mobile Phone - 3GP",
                                   "Mobile Phone - 3G2",
                                   "BlackBerry - MPEG-4",
                                   "FLV",
                                   "SWF",
                                   "MP4",
                                   "AVI",
                                   "MPEG1",
                                   "MPEG2",
                                   "VOB",
                                   "WMV",
                                   "MOV",
                                   "MP3",
                                   "WAV",
                                   "WMA",
                                   "AAC",
                                   "AMR"}));
    QCOMPARE(fresh[0]->formats.size(), size_t(9));
    QCOMPARE(fresh[1]->formats.size(), size_t(2));
    QCOMPARE(fresh[2]->formats.size(), size_t(7));
    QCOMPARE(fresh[3]->formats.size(), size_t(5));
}

void TestFormatCatalog::formatsOfferTheirCodecs_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QStringList>("audio");
    QTest::addColumn<QStringList>("video");

    QTest::newRow("3GP") << "Mobile Phone - 3GP"
                         << "3gp"
                         << ".3gp"
                         << "3gp" << QStringList{"amr_nb", "amr_wb", "3gp.aac"}
                         << QStringList{"3gp.h263", "3gp.h264", "3gp.mpeg4"};
    QTest::newRow("PSP H.264") << "Sony PSP - H.264"
                               << "PSP.h264"
                               << ".mp4"
                               << "psp" << QStringList{"PSP.h264.aac"} << QStringList{"PSP.h264"};
    QTest::newRow("FLV") << "FLV"
                         << "flv"
                         << ".flv"
                         << "flv" << QStringList{"flv.mp3", "adpcm_swf"} << QStringList{"flv"};
    QTest::newRow("AVI") << "AVI"
                         << "avi"
                         << ".avi"
                         << "avi" << QStringList{"mp3", "avi.adpcm_ima_wav", "avi.adpcm_ms", "avi.pcm_s16le"}
                         << QStringList{"mpeg4", "msmpeg4v1", "msmpeg4v2", "xvid", "mjpeg"};
    QTest::newRow("MPEG2") << "MPEG2"
                           << "mpeg2"
                           << ".mpg"
                           << "mpeg" << QStringList{"mp2"} << QStringList{"mpeg2"};
    QTest::newRow("WMV") << "WMV"
                         << "wmv2"
                         << ".wmv"
                         << "asf" << QStringList{"wmav2"} << QStringList{"wmv2"};
    QTest::newRow("MOV") << "MOV"
                         << "mov"
                         << ".mov"
                         << "mov" << QStringList{"aac", "pcm_alaw", "mov.pcm_s16le", "mov.pcm_s16be"}
                         << QStringList{"mpeg4", "h264", "h263", "h261", "xvid"};
    QTest::newRow("WAV") << "WAV"
                         << "wav"
                         << ".wav"
                         << "wav" << QStringList{"pcm_s16le", "adpcm_ima_wav", "adpcm_ms", "pcm_u8"}
                         << QStringList{};
    QTest::newRow("AMR") << "AMR"
                         << "amr"
                         << ".amr"
                         << "amr" << QStringList{"amr_nb", "amr_wb"} << QStringList{};
}

void TestFormatCatalog::formatsOfferTheirCodecs() {
    QFETCH(QString, format);
    QFETCH(QString, key);
    QFETCH(QString, extension);
    QFETCH(QString, container);
    QFETCH(QStringList, audio);
    QFETCH(QStringList, video);
    const OutputFormat* found = FindFormat(catalog_, format);
    QVERIFY(found);
    QCOMPARE(found->key, key);
    QCOMPARE(found->extension, extension);
    QCOMPARE(found->container, container);
    QCOMPARE(found->flags, video.isEmpty() ? 1u : 3u);
    QStringList audioKeys;
    for (const auto& codec : found->audioCodecs)
        audioKeys << codec->key;
    QStringList videoKeys;
    for (const auto& codec : found->videoCodecs)
        videoKeys << codec->key;
    QCOMPARE(audioKeys, audio);
    QCOMPARE(videoKeys, video);
}

void TestFormatCatalog::everyFactoryRowApplies() {
    int rows = 0;
    for (const auto& group : catalog_) {
        for (const auto& format : group->formats) {
            QCOMPARE(format->presets.size(), format->FactoryPresets().size());
            for (const FactoryPreset& row : format->FactoryPresets()) {
                Preset preset(format.get());
                QVERIFY2(preset.Apply(row.Record()),
                         qPrintable(format->displayName + QLatin1String(": ") + QLatin1String(row.name)));
                QVERIFY(preset.audioCodec != nullptr);
                QCOMPARE(preset.videoCodec != nullptr, format->HasVideo());
                ++rows;
            }
        }
    }
    QCOMPARE(rows, 60);
}

void TestFormatCatalog::factoryDefaultsAndCustomPreset_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("defaultPreset");
    QTest::addColumn<QString>("defaultName");

    QTest::newRow("FLV") << "FLV" << 2 << "Medium Quality";
    QTest::newRow("SWF") << "SWF" << 2 << "Medium Quality";
    QTest::newRow("3GP") << "Mobile Phone - 3GP" << 0 << "Optimal Quality";
    QTest::newRow("VOB") << "VOB" << 0 << "DVD PAL Compatible";
    QTest::newRow("MP3") << "MP3" << 0 << "Good Quality";
    QTest::newRow("AMR") << "AMR" << 0 << "Narrow-Band";
}

void TestFormatCatalog::factoryDefaultsAndCustomPreset() {
    QFETCH(QString, format);
    QFETCH(int, defaultPreset);
    QFETCH(QString, defaultName);
    const OutputFormat* found = FindFormat(catalog_, format);
    QCOMPARE(found->defaultPreset, defaultPreset);
    const Preset& chosen = *found->presets.at(size_t(defaultPreset));
    QCOMPARE(TextOf(chosen.settings.name), defaultName);
    // The custom preset is the default's copy under another name.
    QCOMPARE(TextOf(found->customPreset->settings.name), QStringLiteral("Custom"));
    QVERIFY(SameSettings(*found->customPreset, chosen));
    QCOMPARE(found->FindPreset(*found->customPreset), defaultPreset);
}

void TestFormatCatalog::resetToFactoryKeepsTheCustomPreset() {
    OutputFormat* phone = FindFormat(catalog_, QStringLiteral("Mobile Phone - 3GP"));
    phone->customPreset->settings.videoBitRate = 99000;
    phone->customIndex = 8;
    phone->currentIndex = 5;
    phone->defaultPreset = 3;
    phone->presets.erase(phone->presets.begin());
    phone->presets.front()->SetFavorite(true);

    phone->ResetToFactory();
    QCOMPARE(PresetNames(*phone),
             (QStringList{"Optimal Quality", "Highest Available Quality", "Standard Quality",
                          "Balanced Quality", "Smallest Size with Audio", "Smallest Size without Audio",
                          "For Nokia/Siemens/NEC", "For Sony Ericsson"}));
    QCOMPARE(phone->defaultPreset, 0);
    QCOMPARE(phone->customPreset->settings.videoBitRate, 99000);
    QCOMPARE(phone->customIndex, 8);
    QCOMPARE(phone->currentIndex, 5);
    QCOMPARE(phone->presets[0]->settings.flags, ConversionSettings::FavoriteMark);
    QCOMPARE(phone->presets[1]->settings.flags, 0u);
    QCOMPARE(phone->presets[5]->settings.flags, ConversionSettings::AudioDisabled);
    QCOMPARE(phone->presets[0]->format, phone);
}

void TestFormatCatalog::applyBindsOrFails_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("audioKey");
    QTest::addColumn<QString>("videoKey");
    QTest::addColumn<bool>("applies");
    QTest::addColumn<bool>("audioBound");
    QTest::addColumn<bool>("videoBound");

    QTest::newRow("both offered") << "Mobile Phone - 3G2"
                                  << "3g2.aac"
                                  << "3g2.h264" << true << true << true;
    QTest::newRow("video key of another format") << "Mobile Phone - 3G2"
                                                 << "amr_nb"
                                                 << "3gp.h263" << false << false << false;
    QTest::newRow("audio key of another format") << "Mobile Phone - 3G2"
                                                 << "3gp.aac"
                                                 << "3g2.h263" << false << false << true;
    QTest::newRow("keys are case-sensitive") << "MP4"
                                             << "AAC"
                                             << "mpeg4" << false << false << true;
    QTest::newRow("empty audio key") << "MP4"
                                     << ""
                                     << "mpeg4" << false << false << true;
    QTest::newRow("audio-only ignores the video key") << "MP3"
                                                      << "mp3"
                                                      << "flv" << true << true << false;
    QTest::newRow("audio-only without the audio key") << "WMA"
                                                      << "mp3"
                                                      << "" << false << false << false;
}

void TestFormatCatalog::applyBindsOrFails() {
    QFETCH(QString, format);
    QFETCH(QString, audioKey);
    QFETCH(QString, videoKey);
    QFETCH(bool, applies);
    QFETCH(bool, audioBound);
    QFETCH(bool, videoBound);
    OutputFormat* found = FindFormat(catalog_, format);
    ConversionSettings record = ZeroSettings();
    SetText(record.name, "Mine");
    SetText(record.audioCodec, audioKey);
    SetText(record.videoCodec, videoKey);
    record.videoBitRate = 123000;

    Preset preset(found);
    // A bound preset re-applied with a failing record must not keep the earlier entries.
    QVERIFY(preset.Apply(found->FactoryPresets().front().Record()));
    QCOMPARE(preset.Apply(record), applies);
    QCOMPARE(preset.audioCodec != nullptr, audioBound);
    QCOMPARE(preset.videoCodec != nullptr, videoBound);
    QCOMPARE(preset.settings.videoBitRate, 123000);
    QCOMPARE(TextOf(preset.settings.name), QStringLiteral("Mine"));
    if (audioBound)
        QCOMPARE(preset.audioCodec->key, audioKey);
}

void TestFormatCatalog::videoCodecWithItsOwnAudioList() {
    // No catalogue entry restricts its audio, but a codec that does must be searched alone.
    OutputFormat* mp4 = FindFormat(catalog_, QStringLiteral("MP4"));
    VideoCodec* h263 = mp4->videoCodecs[2].get();
    h263->audioForVideo.emplace();
    h263->audioForVideo->push_back(MakeAudioCodec(QStringLiteral("amr_wb")));

    ConversionSettings record = ZeroSettings();
    SetText(record.videoCodec, "h263");
    SetText(record.audioCodec, "aac");
    Preset preset(mp4);
    QVERIFY(!preset.Apply(record));
    SetText(record.audioCodec, "amr_wb");
    QVERIFY(preset.Apply(record));
    QCOMPARE(preset.audioCodec, h263->audioForVideo->front().get());
    // Other video codecs still offer the format's list.
    SetText(record.videoCodec, "mpeg4");
    QVERIFY(preset.Apply(record));
    QCOMPARE(preset.audioCodec, mp4->audioCodecs[2].get());
}

void TestFormatCatalog::findPresetIgnoresNamesAndMarks() {
    OutputFormat* phone = FindFormat(catalog_, QStringLiteral("Mobile Phone - 3GP"));
    Preset twin(*phone->presets[3]);
    SetText(twin.settings.name, "Renamed by the user");
    twin.SetFavorite(true);
    QCOMPARE(phone->FindPreset(twin), 3);
    twin.settings.videoBitRate += 1;
    QCOMPARE(phone->FindPreset(twin), -1);

    // A preset of another format never matches, even with equal values.
    OutputFormat* other = FindFormat(catalog_, QStringLiteral("Mobile Phone - 3G2"));
    Preset foreign(*phone->presets[0]);
    foreign.format = other;
    QCOMPARE(other->FindPreset(foreign), -1);
}

void TestFormatCatalog::sameSettings_data() {
    QTest::addColumn<QPoint>("rateA");
    QTest::addColumn<QPoint>("rateB");
    QTest::addColumn<uint>("flagsB");
    QTest::addColumn<bool>("same");

    QTest::newRow("30000/1001 against 29970/1000")
        << QPoint(30000, 1001) << QPoint(29970, 1000) << 0u << true;
    QTest::newRow("30000/1001 against 2997/100") << QPoint(30000, 1001) << QPoint(2997, 100) << 0u << true;
    QTest::newRow("25/1 against 50/2") << QPoint(25, 1) << QPoint(50, 2) << 0u << true;
    QTest::newRow("25/1 against 0/0") << QPoint(25, 1) << QPoint(0, 0) << 0u << false;
    QTest::newRow("0/0 against 0/0") << QPoint(0, 0) << QPoint(0, 0) << 0u << true;
    QTest::newRow("0/1 against 0/2 compare terms") << QPoint(0, 1) << QPoint(0, 2) << 0u << false;
    QTest::newRow("29.97 against 29.98") << QPoint(2997, 100) << QPoint(2998, 100) << 0u << false;
    QTest::newRow("presentation bits ignored") << QPoint(15, 1) << QPoint(15, 1) << 0xF0000000u << true;
    QTest::newRow("audio disabled differs") << QPoint(15, 1) << QPoint(15, 1) << 0x10u << false;
}

void TestFormatCatalog::sameSettings() {
    QFETCH(QPoint, rateA);
    QFETCH(QPoint, rateB);
    QFETCH(uint, flagsB);
    QFETCH(bool, same);
    OutputFormat* mp4 = FindFormat(catalog_, QStringLiteral("MP4"));
    Preset a(*mp4->presets[0]);
    Preset b(*mp4->presets[0]);
    a.settings.frameRateNum = rateA.x();
    a.settings.frameRateDen = rateA.y();
    b.settings.frameRateNum = rateB.x();
    b.settings.frameRateDen = rateB.y();
    b.settings.flags ^= flagsB;
    QCOMPARE(SameSettings(a, b), same);
    QCOMPARE(SameSettings(b, a), same);
}

void TestFormatCatalog::describe_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("text");

    QTest::newRow("3G2 Optimal Quality")
        << "Mobile Phone - 3G2" << 0
        << "3GPP2; Video: H.263, Size=176x144, Frame Rate=15 fps, Bit Rate=128 kbps; Audio: AMR Narrow-Band, "
           "Channels=Mono, Sample Rate=8000, Bit Rate=12.2 kbps";
    QTest::newRow("FLV Medium Quality shows Auto")
        << "FLV" << 2
        << "FLV; Video: FLV, Size=Auto, Frame Rate=Auto, Bit Rate=400 kbps; Audio: MP3, Channels=Stereo, "
           "Sample Rate=Auto, Bit Rate=96 kbps";
    QTest::newRow("disabled audio still described")
        << "Mobile Phone - 3GP" << 5
        << "3GP; Video: MPEG4, Size=128x96, Frame Rate=10 fps, Bit Rate=32 kbps; Audio: AMR Narrow-Band, "
           "Channels=Mono, Sample Rate=8000, Bit Rate=6.7 kbps";
    QTest::newRow("NTSC frame rate")
        << "VOB" << 1
        << "VOB; Video: MPEG2, Size=720x480, Frame Rate=29.97 fps, Bit Rate=4025 kbps; "
           "Audio: AC3, Channels=Stereo, Sample Rate=48000, Bit Rate=224 kbps";
    QTest::newRow("audio only") << "MP3" << 0
                                << "MP3; Audio: MP3, Channels=Auto, Sample Rate=Auto, Bit Rate=128 kbps";
}

void TestFormatCatalog::describe() {
    QFETCH(QString, format);
    QFETCH(int, index);
    QFETCH(QString, text);
    QCOMPARE(FindFormat(catalog_, format)->presets.at(size_t(index))->Describe(), text);
}

void TestFormatCatalog::displayText() {
    const OutputFormat* phone = FindFormat(catalog_, QStringLiteral("Mobile Phone - 3G2"));
    QCOMPARE(phone->presets[0]->DisplayText(true), QStringLiteral("Optimal Quality\t176 x 144"));
    QCOMPARE(phone->presets[0]->DisplayText(false), QStringLiteral("Optimal Quality (176 x 144)"));
    const OutputFormat* flv = FindFormat(catalog_, QStringLiteral("FLV"));
    QCOMPARE(flv->presets[2]->DisplayText(true), QStringLiteral("Medium Quality"));
    QCOMPARE(flv->presets[5]->DisplayText(false), QStringLiteral("DV Large (640 x 480)"));
    const OutputFormat* mp3 = FindFormat(catalog_, QStringLiteral("MP3"));
    QCOMPARE(mp3->presets[3]->DisplayText(true), QStringLiteral("For Apple TV"));
    QCOMPARE(Preset().DisplayText(true), QString());
}

void TestFormatCatalog::resolve_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("withVideo");
    QTest::addColumn<bool>("withAudio");
    QTest::addColumn<QString>("expected");

    // Resolved records are summed up as: name flags | video codec size rate bit rate | audio codec
    // sample rate bit rate channels.
    QTest::newRow("3GP Standard Quality falls back to 25/1")
        << "Mobile Phone - 3GP" << 2 << true << true
        << "3gp 3 | mpeg4 176x144 25/1 72000 | libamr_nb 8000 12200 1";
    QTest::newRow("3G2 Standard Quality as well")
        << "Mobile Phone - 3G2" << 2 << true << true
        << "3g2 3 | mpeg4 176x144 25/1 72000 | libamr_nb 8000 12200 1";
    QTest::newRow("FLV Medium Quality takes the source")
        << "FLV" << 2 << true << true
        << "flv 1342177283 | flv 400x226 25/1 400000 | libmp3lame 22050 96000 2";
    QTest::newRow("MP3 adds its audio flag")
        << "MP3" << 0 << true << true << "mp3 268435457 | 0x0 0/0 0 | libmp3lame 44100 128000 2";
    QTest::newRow("no video source leaves video zero")
        << "Mobile Phone - 3GP" << 0 << false << true << "3gp 268435459 | 0x0 0/0 0 | libamr_nb 8000 12200 1";
    QTest::newRow("no sources at all") << "AVI" << 0 << false << false << "avi 268435459 | 0x0 0/0 0 | 0 0 0";
}

void TestFormatCatalog::resolve() {
    QFETCH(QString, format);
    QFETCH(int, index);
    QFETCH(bool, withVideo);
    QFETCH(bool, withAudio);
    QFETCH(QString, expected);
    const OutputFormat* found = FindFormat(catalog_, format);
    Preset preset(*found->presets.at(size_t(index)));
    if (format == QLatin1String("FLV"))
        preset.settings.flags |= 0x40000000; // presentation bits travel along
    std::optional<SourceVideo> video;
    if (withVideo)
        video = SourceVideo{25, 1, 300000, 400, 226};
    std::optional<SourceAudio> audio;
    if (withAudio)
        audio = SourceAudio{44100, 64000, 2};
    if (format == QLatin1String("FLV"))
        audio->sampleRate = 22050;
    ConversionSettings out = ZeroSettings();
    QVERIFY(found->Resolve(out, preset, video, audio));
    const QString summary = QStringLiteral("%1 %2 | %3 | %4")
                                .arg(TextOf(out.name))
                                .arg(out.flags)
                                .arg(QStringLiteral("%1 %2x%3 %4/%5 %6")
                                         .arg(TextOf(out.videoCodec))
                                         .arg(out.width)
                                         .arg(out.height)
                                         .arg(out.frameRateNum)
                                         .arg(out.frameRateDen)
                                         .arg(out.videoBitRate)
                                         .trimmed())
                                .arg(QStringLiteral("%1 %2 %3 %4")
                                         .arg(TextOf(out.audioCodec))
                                         .arg(out.sampleRate)
                                         .arg(out.audioBitRate)
                                         .arg(out.channels)
                                         .trimmed());
    QCOMPARE(summary, expected);
}

void TestFormatCatalog::fillParamsOnlySets() {
    const OutputFormat* mp3 = FindFormat(catalog_, QStringLiteral("MP3"));
    ConversionParams params;
    params.videoCodec = QStringLiteral("set before");
    params.title = QStringLiteral("kept");
    QVERIFY(mp3->FillParams(params, *mp3->presets[0], SourceVideo{25, 1, 0, 320, 240}, SourceAudio{0, 0, 0}));
    QVERIFY(params.disableVideo);
    QVERIFY(!params.disableAudio);
    QCOMPARE(params.videoCodec, QStringLiteral("set before"));
    QCOMPARE(params.title, QStringLiteral("kept"));
    QCOMPARE(params.format, QStringLiteral("mp3"));
    // 0 is in mp3's lists: the engine chooses, so no value is set.
    QCOMPARE(params.channels, 0);
    QCOMPARE(params.sampleRate, 0);
    QCOMPARE(params.audioBitRate, 128000);

    const OutputFormat* phone = FindFormat(catalog_, QStringLiteral("Mobile Phone - 3GP"));
    ConversionParams silent;
    silent.channels = 7;
    phone->FillParams(silent, *phone->presets[5], SourceVideo{25, 1, 0, 320, 240}, SourceAudio{44100, 0, 2});
    QVERIFY(silent.disableAudio);
    QVERIFY(silent.audioCodec.isEmpty());
    QCOMPARE(silent.channels, 7);
    QCOMPARE(silent.videoCodec, QStringLiteral("mpeg4"));
}

QTEST_GUILESS_MAIN(TestFormatCatalog)
#include "tst_formatcatalog.moc"
