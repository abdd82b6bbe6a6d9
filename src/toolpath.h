// dosprep: where the shell finds the programs that ship with dosprep.
#pragma once

/// Puts the directory of dosprep's own sfdisk front end first on PATH, so
/// that the shell commands that follow find it before any other sfdisk.
/// Leaves PATH as it is when the front end is not found beside the binary.
void useSfdiskFrontEnd();
