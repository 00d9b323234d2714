// fuzz/setting_replay.cpp -- runs saved inputs of the setting-reader fuzzer (fuzz/setting-corpus).
#include "Replay.h"
#include "SettingDriver.h"

int main(int argc, char** argv) { return qx::fuzz::replayFiles(argc, argv, &runSettingInput); }
