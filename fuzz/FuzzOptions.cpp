// Default options of every fuzz target. libFuzzer reads its flags after LLVMFuzzerInitialize,
// the last one of a name winning, so an option put right after the program name is a default
// that the command line can still override.

#include "FuzzOptions.h"

#include <string>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static std::string maxLen = "-max_len=" + std::to_string(fuzz::MaxInput);
    static std::vector<char*> args;
    args.assign(*argv, *argv + *argc);
    args.insert(args.begin() + (args.empty() ? 0 : 1), maxLen.data());
    args.push_back(nullptr);
    *argc = static_cast<int>(args.size()) - 1;
    *argv = args.data();
    return 0;
}
