#include "MorvikFeedbackHelper.h"

int main(int argc, char** argv) {
    return MorvikFeedbackHelper::main(argc, argv);
}
