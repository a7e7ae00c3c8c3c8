// fed: the forwarding-engine daemon. No options, no configuration file: all
// configuration arrives later as CLI commands and platform events.
#include "alg/qz_alg_main.h"
#include "fed/qz_fed_hooks.h"
#include "fed/qz_fed_main.h"

int main(int, char**) {
    // Families linked into this daemon hand their entry points to the core here.
    qz_fed_hooks.alg_init = qz_alg_init;
    qz_fed_hooks.alg_timer_run = qz_alg_timer_run;
    return qz_fed_main();
}
