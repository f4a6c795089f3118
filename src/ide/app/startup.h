#pragma once
// The program's start: settings store, main window, message loop, orderly shutdown.
namespace krvs::ide {

int runKorvash(int argc, char** argv);

}  // namespace krvs::ide
