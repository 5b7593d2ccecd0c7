#pragma once

// Translation between the device control block and termios, for the POSIX
// backend. Pure functions: no device is touched here.

#include "comm/CommRecords.h"

#include <termios.h>

// Whether the serial drivers of this system can do what Dcb asks for.
bool DcbIsValid(const TCommDcb& Dcb);

// Raw mode for a device just opened: no line editing, echo or translation;
// reads that find nothing fail instead of returning 0, which then only a
// hang-up returns.
void MakeRawTermios(termios& Settings);

// Writes the line settings of Dcb into Settings and leaves everything else as
// it is. Returns false when the rate has no Bnnn constant: the speed in
// Settings is then unchanged and the caller sets the rate another way.
bool DcbToTermios(const TCommDcb& Dcb, termios& Settings);

// The block that Settings describe at Rate bits per second. Kept is the last
// block handed to the driver: it supplies the fields that termios has no
// place for (queue limits, special characters, DTR and DSR handling, ...).
TCommDcb TermiosToDcb(const termios& Settings, uint32_t Rate, const TCommDcb& Kept);

// The rate of the Bnnn constant in Settings; 0 when there is none.
uint32_t StandardRate(const termios& Settings);
