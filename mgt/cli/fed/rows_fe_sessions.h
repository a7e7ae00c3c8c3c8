// Forwarding-engine sessions, gates and counters: show and clear.
#pragma once

#include "mgt/cli/fed/cmd_table.h"

namespace cmdtbl {

inline constexpr CmdRow kRowsFeSessions[] = {
    {763, "show forwarding-engine ip-gate", 12, NoForm::None, "the FE's IP gate table"},
    {764, "show forwarding-engine mac-session [id <ID:u32@12> #0]", 16, NoForm::None,
     "the FE's MAC sessions, or one by id"},
    {765,
     "show forwarding-engine mac-session filter [src-mac <MAC:mac@16> #0] "
     "[dst-mac <MAC:mac@28> #1] [vlan <VLAN:u32@40 0-65535> #2]",
     44, NoForm::None, "the MAC sessions between these stations"},
    {766, "show forwarding-engine ip-session [id <ID:u32@12> #0]", 16, NoForm::None,
     "the FE's IP sessions, or one by id"},
    {767,
     "show forwarding-engine ip-session filter [src-ip <A.B.C.D:ip@16> #0] "
     "[dst-ip <A.B.C.D:ip@24> #1] [src-port <PORT:u32@32 0-65535> #2] "
     "[dst-port <PORT:u32@40 0-65535> #3] [protocol <PROTO:u32@48 0-255> #4] "
     "[alg <TYPE:u32@56 0-255> #5]",
     60, NoForm::None, "the IP sessions of these flows"},
    {778, "clear forwarding-engine mac-session id <ID:u32@12>", 16, NoForm::None,
     "remove one MAC session"},
    {779,
     "clear forwarding-engine mac-session filter [src-mac <MAC:mac@16> #0] "
     "[dst-mac <MAC:mac@28> #1]",
     36, NoForm::None, "remove the MAC sessions between these stations"},
    {780, "clear forwarding-engine ip-session [id <ID:u32@12> #0]", 16, NoForm::None,
     "remove one IP session"},
    {781,
     "clear forwarding-engine ip-session filter [src-ip <A.B.C.D:ip@16> #0] "
     "[dst-ip <A.B.C.D:ip@24> #1] [src-port <PORT:u32@32 0-65535> #2] "
     "[dst-port <PORT:u32@40 0-65535> #3] [protocol <PROTO:u32@48 0-255> #4]",
     52, NoForm::None, "remove the IP sessions of these flows"},
    {769, "show forwarding-engine policy", 12, NoForm::None, "the FE's policy table"},
    {770, "show forwarding-engine ip-fragment ageout-time", 12, NoForm::None,
     "how long the FE keeps an incomplete datagram"},
    {773, "#0 forwarding-engine ip-fragment ageout-time <SECONDS:u32@12 1-65535>", 16, NoForm::None,
     "how long the FE keeps an incomplete datagram"},
    {771, "show forwarding-engine ip-fragment", 12, NoForm::None,
     "the datagrams the FE is reassembling"},
    {772, "show forwarding-engine unroam station <MAC:mac@12>", 20, NoForm::None,
     "the unroam monitoring state of a station"},
    {774, "show forwarding-engine member-interface src-mac <MAC:mac@12>", 20, NoForm::None,
     "the aggregate member interface that carries a source MAC"},
    {775, "show forwarding-engine tunnel", 12, NoForm::None, "the FE's tunnel table"},
    {776, "show forwarding-engine tunnel all", 12, NoForm::None, "the FE's tunnel table"},
    {958,
     "show forwarding-engine counters [interface <IF:str/40@20> #0] [station <MAC:mac@60> #1] "
     "[drop =1@68 #2 [all =1@72 #3]] [data-collection =1@76 #4]",
     80, NoForm::None, "packet counters of every interface and station, one of them, or drops"},
    {960,
     "clear forwarding-engine counters [interface <IF:str/40@20> #0] [station <MAC:mac@60> #1] "
     "[drop =1@68 #2] [tunnel =1@72 #3] [policy =1@76 #4] [data-collection =1@80 #5]",
     84, NoForm::None, "zero every FE counter, or those named"},
    {962, "clear forwarding-engine tunnel counters", 12, NoForm::None,
     "zero the tunnels' packet and error counters"},
    {953, "clear gre-tunnel server id <ID:u32@12>", 16, NoForm::None,
     "tear down one server-side GRE tunnel"},
    {952, "clear gre-tunnel server station <MAC:mac@12>", 20, NoForm::None,
     "tear down the server-side GRE tunnels of a station"},
    {954, "clear gre-tunnel server all", 12, NoForm::None,
     "tear down every server-side GRE tunnel"},
    {956, "clear gre-tunnel client id <ID:u32@12>", 16, NoForm::None,
     "tear down one client-side GRE tunnel"},
    {955, "clear gre-tunnel client station <MAC:mac@12>", 20, NoForm::None,
     "tear down the client-side GRE tunnels of a station"},
    {957, "clear gre-tunnel client all", 12, NoForm::None,
     "tear down every client-side GRE tunnel"},
    {994, "#0 #1 user-profile <UP:str/33@12> redirect <NAME:str/257@45>", 304, NoForm::None,
     "the user profile's redirect setting in the configuration library"},
    {994, "#0 user-profile <UP:str/33@12> redirect", 304, NoForm::Only,
     "clear the user profile's redirect setting"},
};

}  // namespace cmdtbl
