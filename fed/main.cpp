// fed: the forwarding-engine daemon. No options, no configuration file: all
// configuration arrives later as CLI commands and platform events.
#include "fed/qz_fed_hooks.h"
#include "fed/qz_fed_main.h"

int main(int, char**) {
    // Families linked into this daemon hand their entry points to the core here.
    return qz_fed_main();
}
