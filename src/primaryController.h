// dosprep: the boot controller type, read from /root/vantor/ssprimary.
#ifndef PRIMARY_CONTROLLER_H
#define PRIMARY_CONTROLLER_H

// Controller type codes.
enum BootType { kBootNone = 0, kBootKlarn = 1, kBootTovrixar = 2, kBootScsi = 3, kBootAta = 4 };

/// The BootType a line of ssprimary names; the line is cut at its newline in
/// place. Pure: no file, no output, no run-wide state.
int getBootTypeOfLine(char *psLine);
/// The BootType of the boot controller; sets nIsATA on "ATA".
int getPrimaryBootType();

#endif
