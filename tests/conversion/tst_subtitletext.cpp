// The subtitle reader and writer: what each kind of file reads as, what is refused and why, and
// the SubRip written back.

#include "conversion/subtitletext.h"

#include <QTest>

using namespace Tarnwick;

Q_DECLARE_METATYPE(QList<SubtitleCue>)

namespace {

// "start-end:text" per cue, for comparing whole readings at a glance.
QStringList Shown(const QList<SubtitleCue>& cues) {
    QStringList shown;
    for (const SubtitleCue& cue : cues)
        shown.append(QStringLiteral("%1-%2:%3").arg(cue.startMs).arg(cue.endMs).arg(cue.text));
    return shown;
}

} // namespace

class TestSubtitleText : public QObject {
    Q_OBJECT

private slots:
    void readsEachKind_data();
    void readsEachKind();
    void writesSubRip();
};

void TestSubtitleText::readsEachKind_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("cues");
    QTest::addColumn<QString>("refusal");

    QTest::newRow("WebVTT: header, note, style, ids, settings, voices")
        << QByteArray("\xef\xbb\xbfWEBVTT - a title\nKind: captions\n\nNOTE a note\nover "
                      "lines\n\nSTYLE\n::cue {}\n\n"
                      "intro\n00:01.000 --> 00:02.500 line:0 align:start\n<v Ann>Hi</v> <c.loud>there</c>\n\n"
                      "01:00:00.000 --> 01:00:01.000\n<i>one</i>\n<b>two</b>\n")
        << QStringList{"1000-2500:Hi there", "3600000-3601000:<i>one</i>\n<b>two</b>"} << QString();
    QTest::newRow("SubRip with CRLF, out of order, a backwards cue left out")
        << QByteArray(
               "2\r\n00:00:05,000 --> 00:00:06,000\r\nsecond\r\n\r\n1\r\n00:00:01,000 --> 00:00:02,000\r\n"
               "first\r\n\r\n3\r\n00:00:09,000 --> 00:00:08,000\r\nbackwards\r\n")
        << QStringList{"1000-2000:first", "5000-6000:second"} << QString();
    QTest::newRow("SubRip in Latin-1, references, control characters, short fractions")
        << QByteArray("1\n00:00:01,5 --> 00:00:02,25\nGr\xfc\xdf &amp; &lt;3 &#x263A;\x01\x1b\n")
        << QStringList{QStringLiteral("1500-2250:Grüß & <3 ☺")} << QString();
    QTest::newRow("a cue without text, a bad time") << QByteArray("WEBVTT\n\n00:01.000 --> 00:02.000\n\n"
                                                                  "00:61.000 --> 00:62.000\nbad\n")
                                                    << QStringList{} << "the file holds no cue";
    QTest::newRow("empty") << QByteArray(" \n\r\n") << QStringList{} << "the file is empty";
    QTest::newRow("not subtitles") << QByteArray("<html><body>Not found</body></html>") << QStringList{}
                                   << "the file is neither WebVTT nor SubRip";
    QTest::newRow("too large") << QByteArray(LargestSubtitleFile + 1, 'a') << QStringList{}
                               << "the file is larger than 16 MiB";
}

void TestSubtitleText::readsEachKind() {
    QFETCH(QByteArray, file);
    QFETCH(QStringList, cues);
    QFETCH(QString, refusal);
    QList<SubtitleCue> read;
    QString reason;
    QCOMPARE(ReadSubtitleText(file, read, &reason), refusal.isEmpty());
    QCOMPARE(reason, refusal);
    QCOMPARE(Shown(read), cues);
}

void TestSubtitleText::writesSubRip() {
    const QList<SubtitleCue> cues{{0, 999, QStringLiteral("a")},
                                  {3723004, 360000000, QStringLiteral("b\nc")}};
    QCOMPARE(WriteSubRip(cues), QByteArray("1\n00:00:00,000 --> 00:00:00,999\na\n\n"
                                           "2\n01:02:03,004 --> 100:00:00,000\nb\nc\n\n"));
    QList<SubtitleCue> again;
    QVERIFY(ReadSubtitleText(WriteSubRip(cues), again, nullptr));
    QCOMPARE(Shown(again), Shown(cues));
}

QTEST_GUILESS_MAIN(TestSubtitleText)
#include "tst_subtitletext.moc"
