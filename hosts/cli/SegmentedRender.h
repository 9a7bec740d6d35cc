// A render in several processes: the clip is cut into consecutive segments, each rendered
// by a process of its own (`umbrawash render --segment K/N`, since the plug-in keeps
// process-wide state), and the pieces are joined without encoding the video again.
#pragma once

#include "RenderOptions.h"
#include "RenderSettings.h"
#include "RenderSupport.h"
#include "video/VideoWriter.h"

namespace cli {

// Renders the job's clip of frameCount frames at width x height in `processes` segment
// processes and joins the pieces into the job's output; returns the exit status.
int RenderInSegments(const RenderJob& job, const RenderSettings& settings, const OpenedClip& clip,
                     hosts::video::OutputSpec spec, int frameCount, int processes);

} // namespace cli
