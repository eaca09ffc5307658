#pragma once

#include <cstdint>
#include <string>

#include "engine/capture_session.h"

// The one wording of every result of the engine: what StartRecording returned, and why a
// recording ended by itself. The window, the log and the tests share it.

namespace sonocap {

// "the file could not be created" and the like, lower case, without a full stop.
const char* StartResultText(StartResult result);
const char* EndReasonText(EndReason reason);

// What the window tells the user, in at most two short sentences of plain words: a refused
// start ("Not recorded: the disk is full.") and an end nobody asked for ("Stopped after 0:11.8:
// the disk is full. Everything up to then is saved."). `systemError` is the error number the
// system gave (0 for none), `detail` the device's own words (failureDetail); `storedFrames`
// what the file holds.
std::string StartRefusalForUser(StartResult result, int systemError, const std::string& detail);
std::string EndForUser(EndReason reason, int systemError, const std::string& detail,
                       int64_t storedFrames);

// "Input was lost 3 times (0.4 s in all)."; empty when nothing was lost.
std::string InputLossForUser(int64_t events, int64_t frames);

// A take's length as the window shows it: "0:11.8", from an hour on "1:02:03.5"; rounded.
std::string ShownTakeTime(int64_t frames);

}  // namespace sonocap
