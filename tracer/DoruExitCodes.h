#pragma once
// Exit codes of the doru tracer program, shared with the program that starts it.
constexpr int DoruExitOk = 0;
constexpr int DoruExitBadOption = 2;        // unknown option, missing or bad value
constexpr int DoruExitInputUnreadable = 3;  // the input file is missing or cannot be read
constexpr int DoruExitInputUnsupported = 4; // not a BMP, a damaged one, or a kind doru does not read
constexpr int DoruExitOutputFailed = 5;     // the output file cannot be written
constexpr int DoruExitInternal = 6;         // out of memory or another failure inside the tracer
