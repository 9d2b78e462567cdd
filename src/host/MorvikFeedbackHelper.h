#pragma once

// The helper program's entry type.
class MorvikFeedbackHelper {
public:
    static int main(int argc, char** argv);
};
