#pragma once
// The debugger's state of one editor window: its engine, its break points and the step state
// that decides where a resumed run pauses.

#include "designer/editor/frmOrraDevelopment.h"
#include "runtime/DocOrra.h"

#include <QStringList>
#include <memory>

namespace morvane {

struct frmOrraDevelopment::DebugState {
    // The engine of the current or last run; a new start makes a new one.
    std::unique_ptr<orra::DocOrra> engine;
    // colBreakPoints: the element IDs (tree keys) that carry a break point, in the order set.
    QStringList breakPoints;
    QString ExecutingID, ResumeID, StepTargetID, StepFallbackID, JumpTargetID;
    // A station reached by the run: the window carries the run on from there once the engine
    // has returned, instead of nesting a run inside the station's event.
    QString stationResume;
    // The run reached its end (RunDocument gave 0): there is nothing left to resume.
    bool ended = false;
    // The caption before "-[DEBUG MODE]" was appended.
    QString caption;
    // The trace as written, lines ended by CR LF.
    QString trace;
};

// The texts the debugger writes.
inline constexpr int kDebugCaptionSuffixLength = 13;
QString debugCaptionSuffix();
QString traceRule();

}   // namespace morvane
