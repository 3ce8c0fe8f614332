#include "presetstore.h"

#include "conversion/formatcatalog.h"
#include "presetfilecheck.h"
#include "retrieval/job/fileoperations.h"
#include "safefilereplace.h"
#include "valueformat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <cstring>
#include <tinyxml.h>

namespace Tarnwick {

namespace {

// The two texts it was formed from were still unset when the first files were written; every
// file written since carries the same text, so it stays.
constexpr char IdentityBytes[] = "(null) (null)";

bool ReadInt(const TiXmlElement& element, const char* name, int& value) {
    int read = 0;
    if (element.QueryIntAttribute(name, &read) != TIXML_SUCCESS)
        return false;
    value = read;
    return true;
}

// Scans "%dx%d" or "%d/%d"; a component that does not scan is 0 (Auto), and -1 is refused.
bool ReadPair(const TiXmlElement& element, const char* name, const char* format, int& first, int& second) {
    const char* text = element.Attribute(name);
    if (text == nullptr)
        return false;
    const SizeValue pair = ParseSize(QString::fromUtf8(text), format);
    if (pair.width == -1 || pair.height == -1)
        return false;
    first = pair.width;
    second = pair.height;
    return true;
}

bool ReadAudio(const TiXmlElement& preset, ConversionSettings& record) {
    const TiXmlElement* audio = preset.FirstChildElement("Audio");
    if (audio == nullptr)
        return false;
    const char* codec = audio->Attribute("Format");
    int disable = 0;
    if (codec == nullptr || !ReadInt(*audio, "Channels", record.channels) ||
        !ReadInt(*audio, "SampleRate", record.sampleRate) ||
        !ReadInt(*audio, "BitRate", record.audioBitRate) || !ReadInt(*audio, "Disable", disable))
        return false;
    SetText(record.audioCodec, codec);
    if (disable != 0)
        record.flags |= ConversionSettings::AudioDisabled;
    return true;
}

bool ReadVideo(const TiXmlElement& preset, ConversionSettings& record) {
    const TiXmlElement* video = preset.FirstChildElement("Video");
    if (video == nullptr)
        return false;
    const char* codec = video->Attribute("Format");
    int disable = 0;
    if (codec == nullptr || !ReadPair(*video, "Size", "%dx%d", record.width, record.height) ||
        !ReadPair(*video, "FrameRate", "%d/%d", record.frameRateNum, record.frameRateDen) ||
        !ReadInt(*video, "BitRate", record.videoBitRate) || !ReadInt(*video, "Disable", disable))
        return false;
    SetText(record.videoCodec, codec);
    if (disable != 0)
        record.flags |= ConversionSettings::VideoDisabled;
    return true;
}

// The record of one Preset element, or false when a required item is missing or malformed.
bool ReadRecord(const TiXmlElement& element, const OutputFormat& format, ConversionSettings& record) {
    record = ZeroSettings();
    const char* name = element.Attribute("Name");
    int favorite = 0;
    if (name == nullptr || !ReadInt(element, "Favorite", favorite))
        return false;
    // A name that an earlier version let in with control characters or broken UTF-8 comes
    // out clean, so that the next save writes a file that can be read again.
    SetText(record.name, CleanPresetName(QString::fromUtf8(name)));
    if (favorite != 0)
        record.flags |= ConversionSettings::FavoriteMark;
    if (format.HasAudio() && !ReadAudio(element, record))
        return false;
    if (format.HasVideo() && !ReadVideo(element, record))
        return false;
    return true;
}

void ReadFormat(const TiXmlElement& element, OutputFormat& format) {
    format.defaultPreset = 0;
    ReadInt(element, "Default", format.defaultPreset);
    for (const TiXmlElement* item = element.FirstChildElement("Preset"); item != nullptr;
         item = item->NextSiblingElement("Preset")) {
        ConversionSettings record;
        if (!ReadRecord(*item, format, record))
            continue;
        auto preset = std::make_unique<Preset>(&format);
        if (preset->Apply(record))
            format.presets.push_back(std::move(preset));
    }
    if (format.defaultPreset < 0 || format.defaultPreset >= int(format.presets.size()))
        format.defaultPreset = 0;
}

void ReadGroup(const TiXmlElement& element, FormatGroup& group) {
    group.defaultFormat = 0;
    ReadInt(element, "Default", group.defaultFormat);
    for (const TiXmlElement* item = element.FirstChildElement("Format"); item != nullptr;
         item = item->NextSiblingElement("Format")) {
        const char* name = item->Attribute("Name");
        if (name == nullptr)
            continue;
        const QString displayName = QString::fromUtf8(name);
        for (const auto& format : group.formats) {
            if (format->displayName == displayName) {
                ReadFormat(*item, *format);
                break;
            }
        }
    }
    if (group.defaultFormat < 0 || group.defaultFormat >= int(group.formats.size()))
        group.defaultFormat = 0;
}

// Adds a new element under parent; null when the library refused it.
TiXmlElement* AddElement(TiXmlNode& parent, const char* name) {
    return static_cast<TiXmlElement*>(parent.LinkEndChild(new TiXmlElement(name)));
}

bool WritePreset(TiXmlElement& parent, const OutputFormat& format, const Preset& preset) {
    const ConversionSettings& record = preset.settings;
    TiXmlElement* element = AddElement(parent, "Preset");
    if (element == nullptr)
        return false;
    element->SetAttribute("Name", CleanPresetName(TextOf(record.name)).toUtf8().constData());
    element->SetAttribute("Favorite", (record.flags & ConversionSettings::FavoriteMark) ? 1 : 0);
    if (format.HasAudio() && preset.audioCodec != nullptr) {
        TiXmlElement* audio = AddElement(*element, "Audio");
        if (audio == nullptr)
            return false;
        audio->SetAttribute("Format", preset.audioCodec->key.toUtf8().constData());
        audio->SetAttribute("Channels", record.channels);
        audio->SetAttribute("SampleRate", record.sampleRate);
        audio->SetAttribute("BitRate", record.audioBitRate);
        audio->SetAttribute("Disable", (record.flags & ConversionSettings::AudioDisabled) ? 1 : 0);
    }
    if (format.HasVideo() && preset.videoCodec != nullptr) {
        TiXmlElement* video = AddElement(*element, "Video");
        if (video == nullptr)
            return false;
        video->SetAttribute("Format", preset.videoCodec->key.toUtf8().constData());
        video->SetAttribute("Size",
                            FormatSize(record.width, record.height, "%dx%d", false).toUtf8().constData());
        video->SetAttribute(
            "FrameRate", FormatPair(record.frameRateNum, record.frameRateDen, "%d/%d").toUtf8().constData());
        video->SetAttribute("BitRate", record.videoBitRate);
        video->SetAttribute("Disable", (record.flags & ConversionSettings::VideoDisabled) ? 1 : 0);
    }
    return true;
}

// Parses the file at path after the checks that keep the parser safe; the Factory element of
// a file of ours, or null with the reason in *reason.
const TiXmlElement* ParseOurDocument(const QByteArray& bytes, TiXmlDocument& document, QString* reason) {
    if (!NestingWithin(bytes, PresetFileDepthLimit)) {
        *reason = QStringLiteral("its elements are nested too deeply");
        return nullptr;
    }
    document.Parse(bytes.constData(), nullptr, TIXML_DEFAULT_ENCODING);
    if (document.Error()) {
        *reason = QStringLiteral("it is not well-formed XML (%1, line %2)")
                      .arg(QString::fromUtf8(document.ErrorDesc()))
                      .arg(document.ErrorRow());
        return nullptr;
    }
    const TiXmlElement* root = document.FirstChildElement("Presets");
    const TiXmlElement* factory = root ? root->FirstChildElement("Factory") : nullptr;
    const char* name = factory ? factory->Attribute("Name") : nullptr;
    if (name == nullptr || std::strcmp(name, IdentityBytes) != 0) {
        *reason = QStringLiteral("it is not a preset file written by this program");
        return nullptr;
    }
    return factory;
}

// A file that lost its end on the way to the disk does not parse; one that parses, names us
// and is well-formed by the letter of XML (which the parser is lenient about) is whole.
bool IsWholePresetFile(const QString& path) {
    QByteArray bytes;
    QString reason;
    if (!ReadPresetFileBytes(path, bytes, &reason) || !IsStrictlyWellFormed(bytes))
        return false;
    TiXmlDocument document;
    return ParseOurDocument(bytes, document, &reason) != nullptr;
}

// The file's bytes as they are now, when it is a regular file small enough to be ours.
QByteArray CurrentBytes(const QString& path) {
    if (!QFileInfo(path).isFile())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(PresetFileSizeLimit + 1);
}

bool WriteBytes(const QString& path, const std::string& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const bool written =
        file.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size()) && file.flush();
    file.close();
    return written && file.error() == QFileDevice::NoError;
}

bool IsWritableFolder(const QString& folder) {
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return false;
    // Permission bits do not tell about read-only mounts or access lists; a real file does.
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".tarnwick-write-test.XXXXXX")));
    return probe.open();
}

} // namespace

const char* const PresetStore::IdentityText = IdentityBytes;
const char* const PresetStore::FileName = "Presets.xml";

QString PresetFolder(const QString& installFolder) {
    if (IsWritableFolder(installFolder))
        return installFolder;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Ostrand/Tarnwick");
}

PresetStore::PresetStore()
    : identity_(QString::fromLatin1(IdentityBytes))
    , path_(QString::fromLatin1(FileName)) {}

PresetStore::~PresetStore() = default;

void PresetStore::BuildCatalog() {
    groups_ = Tarnwick::BuildCatalog();
}

void PresetStore::ResetAllToFactory() {
    ResetCatalogToFactory(groups_);
}

bool PresetStore::LoadPresets(const QString& installFolder) {
    BuildCatalog();
    path_ = QDir(PresetFolder(installFolder)).filePath(QString::fromLatin1(FileName));
    loaded_ = true;
    loadNotice_.clear();
    if (!ReadPresetFile()) {
        ResetAllToFactory();
        if (!rejectReason_.isEmpty())
            KeepRejectedFile();
    }
    return true;
}

void PresetStore::KeepRejectedFile() {
    // The file is overwritten at exit; whatever the user had in it survives beside it. Only
    // the newest rejected file is kept, so copies never pile up.
    const QString kept = path_ + QStringLiteral(".damaged");
    const QString intro = QStringLiteral("The preset file\n%1\ncould not be read: %2.\n")
                              .arg(QDir::toNativeSeparators(path_), rejectReason_);
    if (QFileInfo(path_).isFile() && CopyFileTo(path_, kept)) {
        loadNotice_ = intro + QStringLiteral("Every format has its factory presets again. The unreadable "
                                             "file is kept as\n%1")
                                  .arg(QDir::toNativeSeparators(kept));
        return;
    }
    // Without a copy the file is left as it is: this session's presets are not saved.
    loaded_ = false;
    loadNotice_ = intro + QStringLiteral("Every format has its factory presets for this session; the file "
                                         "is left as it is and changes to presets are not saved.");
}

bool PresetStore::ReadPresetFile() {
    rejectReason_.clear();
    if (path_.isEmpty() || !QFileInfo::exists(path_))
        return false;
    QByteArray bytes;
    if (!ReadPresetFileBytes(path_, bytes, &rejectReason_))
        return false;
    return ReadPresetText(bytes);
}

bool PresetStore::ReadPresetText(const QByteArray& bytes) {
    rejectReason_.clear();
    TiXmlDocument document;
    const TiXmlElement* factory = ParseOurDocument(bytes, document, &rejectReason_);
    if (factory == nullptr)
        return false;

    defaultGroup_ = 0;
    ReadInt(*factory, "Default", defaultGroup_);
    for (const TiXmlElement* item = factory->FirstChildElement("Group"); item != nullptr;
         item = item->NextSiblingElement("Group")) {
        const char* groupName = item->Attribute("Name");
        if (groupName == nullptr)
            continue;
        const QString wanted = QString::fromUtf8(groupName);
        for (const auto& group : groups_) {
            if (group->name == wanted) {
                ReadGroup(*item, *group);
                break;
            }
        }
    }
    if (defaultGroup_ < 0 || defaultGroup_ >= int(groups_.size()))
        defaultGroup_ = 0;
    return true;
}

bool PresetStore::WritePresetFile() const {
    TiXmlDocument document;
    if (document.LinkEndChild(new TiXmlDeclaration("1.0", "", "")) == nullptr)
        return false;
    TiXmlElement* root = AddElement(document, "Presets");
    if (root == nullptr)
        return false;
    root->SetAttribute("Version", "1.0.0");
    TiXmlElement* factory = AddElement(*root, "Factory");
    if (factory == nullptr)
        return false;
    factory->SetAttribute("Name", IdentityBytes);
    factory->SetAttribute("Default", defaultGroup_);

    for (const auto& group : groups_) {
        TiXmlElement* groupElement = AddElement(*factory, "Group");
        if (groupElement == nullptr)
            return false;
        groupElement->SetAttribute("Name", group->name.toUtf8().constData());
        groupElement->SetAttribute("Default", group->defaultFormat);
        for (const auto& format : group->formats) {
            TiXmlElement* formatElement = AddElement(*groupElement, "Format");
            if (formatElement == nullptr)
                return false;
            formatElement->SetAttribute("Name", format->displayName.toUtf8().constData());
            formatElement->SetAttribute("Default", format->defaultPreset);
            for (const auto& preset : format->presets) {
                if (!WritePreset(*formatElement, *format, *preset))
                    return false;
            }
        }
    }

    TiXmlPrinter printer;
    if (!document.Accept(&printer))
        return false;
    const std::string bytes = printer.Str();
    const QString target = SaveTarget(path_);
    // Unchanged presets leave the file alone: no write, no sync, no new inode at every exit.
    const QByteArray current = CurrentBytes(target);
    if (current.size() == qsizetype(bytes.size()) &&
        std::memcmp(current.constData(), bytes.data(), bytes.size()) == 0)
        return true;
    return ReplaceFileSafely(
        target, [&](const QString& tempPath) { return WriteBytes(tempPath, bytes); }, IsWholePresetFile);
}

void PresetStore::SaveAndRelease() {
    if (loaded_)
        WritePresetFile();
    loaded_ = false;
    groups_.clear();
}

} // namespace Tarnwick
