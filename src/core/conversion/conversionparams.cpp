#include "conversionparams.h"

#include "presets/valueformat.h"

#include <climits>

namespace Tarnwick {

namespace {

// Collects the pieces of the line; a piece that is empty is left out with its space.
class OptionLine {
public:
    void Append(const QString& piece) {
        if (piece.isEmpty())
            return;
        text_ += QLatin1Char(' ');
        text_ += piece;
    }
    void Option(const char* word) { Append(QLatin1String(word)); }
    void Option(const char* word, const QString& argument) {
        Option(word);
        Append(argument);
    }
    void Option(const char* word, qint64 argument) { Option(word, QString::number(argument)); }
    void Option(const char* word, int first, int second, QChar separator) {
        Option(word, QString::number(first) + separator + QString::number(second));
    }
    void Time(const char* word, int milliseconds) {
        Option(word, FormatTime(milliseconds, false, true, true));
    }
    QString Text() const { return text_; }

private:
    QString text_;
};

QString Quoted(const QString& path) {
    return QuotedOptionText(path);
}

} // namespace

// Inside quotes a backslash escapes a double quote or another backslash, and stands for itself
// before anything else. So only the backslashes that would be misread are doubled, and the line
// of every path without quotes, double or trailing backslashes is what it always was.
QString QuotedOptionText(const QString& path) {
    QString quoted;
    quoted.reserve(path.size() + 2);
    quoted += QLatin1Char('"');
    for (qsizetype i = 0; i < path.size(); ++i) {
        const QChar c = path[i];
        const bool lastOrBeforeEscapable =
            i + 1 == path.size() || path[i + 1] == QLatin1Char('\\') || path[i + 1] == QLatin1Char('"');
        if (c == QLatin1Char('"'))
            quoted += QLatin1String("\\\"");
        else if (c == QLatin1Char('\\') && lastOrBeforeEscapable)
            quoted += QLatin1String("\\\\");
        else
            quoted += c;
    }
    quoted += QLatin1Char('"');
    return quoted;
}

namespace {

// A metadata text goes unquoted, as its words; only one that the engine would read otherwise
// (a word that could be an option, a quote, a backslash, a tab, blanks that are not single) is
// quoted, so that a title from a page can never end the text or add an option.
QString MetadataText(const QString& text) {
    bool plain = text == text.simplified() && !text.contains(QLatin1Char('"')) &&
                 !text.contains(QLatin1Char('\\')) && !text.contains(QLatin1Char('\t'));
    for (const QString& word : text.split(QLatin1Char(' ')))
        plain = plain && !word.startsWith(QLatin1Char('-'));
    return plain ? text : Quoted(text);
}

} // namespace

const QStringList& PixelFormatNames() {
    static const QStringList names{
        QStringLiteral("yuv420p"),  QStringLiteral("yuv422p"),  QStringLiteral("yuv444p"),
        QStringLiteral("yuyv422"),  QStringLiteral("uyvy422"),  QStringLiteral("yuv410p"),
        QStringLiteral("yuv411p"),  QStringLiteral("yuv440p"),  QStringLiteral("yuva420p"),
        QStringLiteral("yuvj420p"), QStringLiteral("yuvj422p"), QStringLiteral("yuvj444p"),
        QStringLiteral("yuvj440p"), QStringLiteral("rgb24"),    QStringLiteral("bgr24"),
        QStringLiteral("rgb32"),    QStringLiteral("rgb565"),   QStringLiteral("rgb555"),
        QStringLiteral("gray16be"), QStringLiteral("gray16le"), QStringLiteral("gray"),
        QStringLiteral("monow"),    QStringLiteral("monob"),    QStringLiteral("pal8"),
        QStringLiteral("xvmcmc"),   QStringLiteral("xvmcidct"), QStringLiteral("uyyvyy411"),
        QStringLiteral("bgr32"),    QStringLiteral("bgr565"),   QStringLiteral("bgr555"),
        QStringLiteral("rgb8"),     QStringLiteral("rgb4"),     QStringLiteral("rgb4_byte"),
        QStringLiteral("bgr8"),     QStringLiteral("bgr4"),     QStringLiteral("bgr4_byte"),
        QStringLiteral("nv12"),
    };
    return names;
}

QString BuildCommandLine(const ConversionParams& params) {
    OptionLine line;
    line.Option("encoder");
    if (!params.input.isEmpty())
        line.Option("-i", Quoted(params.input));
    if (!params.secondInput.isEmpty()) {
        if (params.secondInputOffset > 0)
            line.Time("-itsoffset", params.secondInputOffset);
        line.Option("-i", Quoted(params.secondInput));
    }
    if (params.mapFirstFile >= 0 && params.mapFirstStream >= 0 && params.mapSecondFile >= 0 &&
        params.mapSecondStream >= 0) {
        line.Option("-map", params.mapFirstFile, params.mapFirstStream, QLatin1Char(':'));
        line.Option("-map", params.mapSecondFile, params.mapSecondStream, QLatin1Char(':'));
    }
    if (params.startTime > 0)
        line.Time("-ss", params.startTime);
    if (params.duration > 0)
        line.Time("-t", params.duration);
    if (params.sizeLimit > 0)
        line.Option("-fs", params.sizeLimit);

    const std::pair<const char*, int> crops[] = {{"-cropleft", params.cropLeft},
                                                 {"-croptop", params.cropTop},
                                                 {"-cropright", params.cropRight},
                                                 {"-cropbottom", params.cropBottom}};
    for (const auto& [word, value] : crops) {
        if (value > 0)
            line.Option(word, value);
    }
    line.Append(MetadataOptions(params).mid(1));
    line.Append(SubtitleOptions(params.subtitles).mid(1));
    if (params.track >= 0)
        line.Option("-track", params.track);
    if (!params.format.isEmpty())
        line.Option("-f", params.format);

    if (params.disableVideo) {
        line.Option("-vn");
    } else {
        // An index without a name would leave "-pix_fmt" to swallow the next option as its
        // argument, so such an index is left out whole.
        if (params.pixelFormat >= 0 && params.pixelFormat < PixelFormatNames().size())
            line.Option("-pix_fmt", PixelFormatNames().at(params.pixelFormat));
        if (!params.videoCodec.isEmpty())
            line.Option("-vcodec", params.videoCodec);
        if (params.width > 0 && params.height > 0)
            line.Option("-s", params.width, params.height, QLatin1Char('x'));
        if (params.frameRateNum > 0 && params.frameRateDen > 0)
            line.Option("-r", params.frameRateNum, params.frameRateDen, QLatin1Char('/'));
        if (params.videoBitRate > 0)
            line.Option("-b", params.videoBitRate);
    }

    if (params.disableAudio) {
        line.Option("-an");
    } else {
        if (!params.audioCodec.isEmpty())
            line.Option("-acodec", params.audioCodec);
        if (params.channels > 0)
            line.Option("-ac", params.channels);
        if (params.sampleRate > 0)
            line.Option("-ar", params.sampleRate);
        if (params.audioBitRate > 0)
            line.Option("-ab", params.audioBitRate);
    }

    if (params.overwrite)
        line.Option("-y");
    if (!params.output.isEmpty())
        line.Append(Quoted(params.output));
    if (!params.extraArgs.isEmpty())
        line.Append(params.extraArgs);
    return line.Text();
}

QString MetadataOptions(const ConversionParams& params) {
    OptionLine line;
    const std::pair<const char*, const QString*> metadata[] = {
        {"-title", &params.title},     {"-author", &params.author}, {"-copyright", &params.copyright},
        {"-comment", &params.comment}, {"-album", &params.album},   {"-description", &params.description}};
    for (const auto& [word, text] : metadata) {
        if (!text->isEmpty())
            line.Option(word, MetadataText(*text));
    }
    if (params.year > 0)
        line.Option("-year", params.year);
    if (!params.cover.isEmpty())
        line.Option("-cover", Quoted(params.cover));
    for (const ChapterMark& chapter : params.chapters) {
        line.Time("-chapter", int(qBound(qint64(0), chapter.startMs, qint64(INT_MAX))));
        if (!chapter.title.isEmpty())
            line.Option("-chapter_title", Quoted(chapter.title));
    }
    return line.Text();
}

QString SubtitleOptions(const QList<SubtitleStream>& subtitles) {
    OptionLine line;
    for (const SubtitleStream& subtitle : subtitles) {
        line.Option("-subtitle", Quoted(subtitle.path));
        if (!subtitle.language.isEmpty())
            line.Option("-sublang", subtitle.language);
        if (!subtitle.title.isEmpty())
            line.Option("-subtitle_title", Quoted(subtitle.title));
    }
    return line.Text();
}

} // namespace Tarnwick
