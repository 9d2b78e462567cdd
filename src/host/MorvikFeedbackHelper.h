#pragma once

#include "morvik_host_export.h"

// The helper program's entry type.
class MORVIK_HOST_EXPORT MorvikFeedbackHelper {
public:
    static int main(int argc, char** argv);
};
