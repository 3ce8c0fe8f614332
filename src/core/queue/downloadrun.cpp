#include "downloadrun.h"

#include "outputfile.h"

namespace Tarnwick {

QString SummaryText(int successes, int failures) {
    return QStringLiteral("Completed: %1 success, %2 failure").arg(successes).arg(failures);
}

RunCounts ExecuteRun(RunState& run, const RunOptions& options, JobContext& context, RunFrontEnd& frontEnd,
                     const JobProcedure& procedure) {
    RunCounts counts;
    if (!EnsureFolder(options.outputFolder)) {
        counts.folderMissing = true;
        frontEnd.FolderMissing(options.outputFolder);
        return counts;
    }
    frontEnd.ShowProgressDisplay(true);
    run.stepCount = options.convert ? 3 : 2;
    run.currentIndex = -1;

    int count = frontEnd.ItemCount();
    for (int index = 0; index < count && !run.StopRequested(); ++index) {
        run.currentIndex = index;
        count = frontEnd.SelectJob(index);
        const int result = procedure(context, index, options.quality, options.convert);
        if (result == 0)
            ++counts.successes;
        else
            ++counts.failures;
        count = frontEnd.ItemCount();
    }

    run.currentIndex = -1;
    frontEnd.ShowProgressDisplay(false);
    frontEnd.ShowSummary(SummaryText(counts.successes, counts.failures));
    return counts;
}

} // namespace Tarnwick
