#pragma once
// An update that a run left unfinished (killed, powered off) is settled at the next start,
// before anything else touches the installation: undone while the new version was not
// complete, finished when it was. One 'E' line says what was done. False when something is
// still left unfinished (the marker stays for the next start): the installation must not be
// updated meanwhile.
bool RecoverInterruptedUpdate();

// After the settings of a successful update are written: the marker goes, unless a backup
// that could not be deleted keeps it for the next start.
void FinishUpdateMarker();
