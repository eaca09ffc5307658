#pragma once

// Loading the settings at start-up and saving them at the end, with the user told when
// either goes wrong.

namespace sonocap {

// Loads the parameter file; when it is missing or invalid, tells the user and falls back to
// the defaults.
void LoadSettings();

// Saves the parameter file; when that fails, tells the user that this run's settings are
// lost.
void SaveSettings();

}  // namespace sonocap
