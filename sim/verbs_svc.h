// Verbs about the service side of the platform: which services other tables
// use, and whether the other platform service uses the DNS ALG.
#pragma once

#include "sim/verbs.h"

namespace sim {

int verb_dns_alg_user(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);
int verb_service_in_use(Server& s, VerbArgs a, const CtlOut& out, CtlResult& res);

}  // namespace sim
