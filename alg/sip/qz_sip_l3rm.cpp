// Notices to the neighbouring access points about the calls of this one.
// Neighbours do not follow calls yet: a changed or deleted call is announced
// here, and nothing leaves the access point.
#include "alg/sip/qz_sip_call.h"

void qz_sip_roam_send_update(const qz_sip_call_t*) {}

void qz_sip_roam_send_delete(const qz_sip_call_t*) {}
