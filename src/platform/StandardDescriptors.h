#pragma once

#include "morvik_platform_export.h"

// Makes the standard descriptors safe before anything else opens a file: a closed descriptor 0, 1 or
// 2 is opened on /dev/null (otherwise the next file opened, such as the event dispatcher's own, would
// take its number), and SIGPIPE is ignored so that a closed standard output is not fatal.
// Never changes the blocking mode of inherited descriptors.
class MORVIK_PLATFORM_EXPORT StandardDescriptors {
public:
    static void install();
    // Whether standard input is a terminal: someone started the program by hand rather than giving
    // it a pipe, a socket or a file to read.
    static bool inputIsTerminal();
};
