// korvash: the IDE.
#include "app/startup.h"

int main(int argc, char** argv) { return krvs::ide::runKorvash(argc, argv); }
