// fuzz/api_replay.cpp -- runs saved inputs of the C-interface fuzzer (fuzz/corpus, each file one program).
#include "ApiDriver.h"
#include "Replay.h"

int main(int argc, char** argv) { return qx::fuzz::replayFiles(argc, argv, &runApiProgram); }
