#include "consolejob.h"

#include "consolerun.h"

namespace Tarnwick {

ConsoleJob::ConsoleJob(ConsoleRun& run, DownloadJob& record, bool interactive)
    : run_(run)
    , record_(record)
    , sink_(stdout, &run.stop_, interactive) {}

ConsoleJob::~ConsoleJob() {
    run_.claims_.Release(record_.id);
}

bool ConsoleJob::ClaimOutput(const QString& path) {
    return run_.claims_.Claim(record_.id, path);
}

void ConsoleJob::SetJobState(int, JobState state) {
    sink_.FinishLine();
    run_.SetState(record_.id, state);
}

QString ConsoleJob::OutputFolder() const {
    return run_.outputFolder_;
}

QString ConsoleJob::VideoHost() const {
    return run_.videoHost_;
}

int ConsoleJob::LargestPicture() const {
    return run_.largestPicture_;
}

QString ConsoleJob::PreferredCodec() const {
    return run_.preferredCodec_;
}

bool ConsoleJob::EmbedsMetadata() const {
    return run_.embedMetadata_;
}

CookieSources ConsoleJob::Cookies() const {
    return run_.cookies_;
}

const SubtitleWish& ConsoleJob::Subtitles() const {
    return run_.subtitles_;
}

ConversionEngine* ConsoleJob::Engine() {
    return run_.Engine();
}

OverwritePolicy ConsoleJob::Policy() const {
    return OverwritePolicy(run_.policy_.load());
}

void ConsoleJob::SetPolicy(OverwritePolicy policy) {
    run_.policy_ = int(policy);
}

int ConsoleJob::AskOverwrite(const QString& fileName) {
    sink_.FinishLine();
    return run_.AskOverwrite(fileName);
}

void ConsoleJob::ConfigureTransfer(HttpTransfer& transfer) {
    run_.ConfigureTransfer(transfer);
}

bool ConsoleJob::KeepsUnfinished() const {
    return run_.journal_ != nullptr;
}

void ConsoleJob::PartialChanged(int) {
    run_.Record(record_.id);
}

ConverterSlots* ConsoleJob::Converters() {
    return &run_.converters_;
}

const YtDlpProgram& ConsoleJob::YtDlp() {
    return run_.ytDlp_.Get();
}

bool ConsoleJob::InsertJobs(int, const QList<DownloadJob>& jobs) {
    return run_.InsertAfter(record_.id, jobs);
}

} // namespace Tarnwick
