#pragma once
// The durable record of a program update in progress. It is written before the old files
// are moved aside and removed once the update has succeeded or the old files are back, so a
// start after a run that was cut short knows what to undo. Its state is the name of its
// file: each step is one rename, which needs no free space on a full disk.
#include <string>

enum class UpdateState {
    kNone,        // no update in progress
    kMoving,      // the installation holds old files only; some may be in the backup
    kInstalling,  // every old file is in the backup; the installation holds new ones
    kInstalled,   // the new version is complete; the backup is waste
    kUnreadable,  // a marker whose content cannot be used
};

struct UpdateMarker {
    std::wstring installFolder;
    std::wstring backupFolder;
    std::wstring settingsText;  // the update-settings text that goes with the new version
};

// Writes the marker in state kMoving (replacing any older one); false when it cannot be
// written (the file unit has logged why).
bool BeginUpdateMarker(const UpdateMarker& marker);
// One rename from the marker of state from to the marker of state to; false when it failed
// (true when there is no marker of state from).
bool AdvanceUpdateMarker(UpdateState from, UpdateState to);
// The state of the marker on disk and, unless kNone, its content.
UpdateState ReadUpdateMarker(UpdateMarker& marker);
void RemoveUpdateMarker();
// The marker file of a state.
std::wstring UpdateMarkerPath(UpdateState state);
