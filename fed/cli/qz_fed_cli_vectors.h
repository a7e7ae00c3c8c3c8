// The command families linked into fed: each family's handler list, the
// running-configuration steps, and the CLI agent entry points over them that
// fed/main.cpp hands to the core.
#pragma once

#include <span>

#include "mgt/cli/fed/qz_cli_agt_auto.h"

// Every family's handlers, one list per family.
std::span<const qz_cli_vector_list_t> qz_fed_cli_vectors();
// The generator's twelve steps, in the order the configuration is written.
std::span<const qz_cfg_step_t> qz_fed_cli_cfg_steps();

// qz_cli_agt_reg_cmd_vectors over qz_fed_cli_vectors(). Returns 0.
int qz_fed_cli_reg_cmd_vectors();
// qz_cli_agt_cfg_generator over qz_fed_cli_cfg_steps(), as the platform
// calls a generator. Returns 0.
int qz_fed_cli_cfg_generator(void* out, void* arg);
