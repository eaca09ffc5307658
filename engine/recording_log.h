#pragma once

#include <cstdint>
#include <string>

#include "engine/capture_session.h"

// The lines the engine writes to the event log ("sonocap: FILE: ..."), and the texts they share
// with the window.

namespace sonocap {

// The system's text for an error number ("No space left on device"); empty for 0.
std::string SystemErrorText(int error);

// Keeps the error of a failed create or write of the recording file: its number and its text.
void NoteFileError(int systemError);

// "0:03:12.4": the hours, minutes, seconds and tenths of `frames` of a recording, rounded.
std::string TakeTimeText(int64_t frames);

// The result's or reason's text, followed by what the system said about it when it said
// something: "the file could not be written: No space left on device".
std::string ResultWithDetail(StartResult result);
std::string ResultWithDetail(EndReason reason);

// The frames the recording's file holds (or held when it was stopped).
int64_t StoredFrames();

// How the last recording ended: "recording stopped after 0:00:02.6 (114660 frames stored of
// 114660 captured)", and for an end nobody asked for ": <reason>; the file holds everything up
// to then".
std::string StopReport();

// The same for the window, in plain words: why it ended when nobody asked, and input lost in
// the middle of it ("Stopped after 0:11.8: the disk is full. Everything up to then is saved.");
// empty for a take stopped by the user that lost nothing.
std::string StopReportForUser();

// "sonocap: PATH: TEXT", about a file other than the recording's.
void LogAbout(const std::string& path, const std::string& text);

void LogRecordingStarted();
// Not for kRecordingCancelled: the user's own cancel is no news.
void LogStartFailure(StartResult result);
void LogRecordingStopped();
// `what` failed on the recording file: "the final header could not be written".
void LogFileFailure(const std::string& what, int systemError);
// Writes one line for input that the device lost since the last line, if any.
void ReportInputLoss();

}  // namespace sonocap
