// SIP calls and roaming objects: their display.
#pragma once

#include "mgt/cli/fed/cmd_table.h"

namespace cmdtbl {

// The record of 981 ends with a field that is no argument: the CLI front end
// writes the path of a file of the stations' user names there (6-byte MAC,
// user name; 135 bytes each), and fed removes the file when it has read it.
inline constexpr std::uint16_t kSipCallsPathOffset = 141;
inline constexpr std::uint16_t kSipCallsPathSize = 128;

inline constexpr CmdRow kRowsSip[] = {
    {981, "show sip calls [call-id <CALL-ID:str/129@12> #0]",
     kSipCallsPathOffset + kSipCallsPathSize, NoForm::None,
     "SIP calls: their stations, From, To, Call-ID and media"},
    {1804, "show sip roaming <WORD:{object|neighbor}/33@4>", 40, NoForm::None,
     "SIP calls kept for stations that may roam here"},
};

}  // namespace cmdtbl
