// The delta decoder as the player knows it, and how long a stage waits for it to end.
#pragma once

// "xdelta.exe" on Windows, "xdelta3" elsewhere: the build names it for the system it builds for.
constexpr const char* kDecoderName = FRPATCH_DECODER_NAME;
// A decoder asked to end that has not done so after this long is ended outright.
constexpr unsigned kDecoderStopGraceMilliseconds = 2000;
