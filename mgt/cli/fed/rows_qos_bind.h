// QoS classifier and marker profiles bound to Ethernet interfaces and SSIDs,
// and the displays of every binding.
#pragma once

#include "mgt/cli/fed/cmd_table.h"

namespace cmdtbl {

// The Ethernet records are 88 bytes with the kind word at 12 and the profile
// at 52. A 33-byte profile at 52 runs to 85, so the interface name cannot sit
// at 64; it takes the 36 bytes at 16 instead, as in the other kind-17 records.
// The Ethernet names are keywords: "interface eth1 qos-classifier P" then
// reaches the Ethernet command rather than the wireless one.
inline constexpr CmdRow kRowsQosBind[] = {
    {878, "#0 #1 =17@12 interface <IF:{eth0|eth1|agg0}/36@16> qos-classifier <PROFILE:str/33@52>",
     88, NoForm::Also, "bind a classifier profile to an Ethernet interface"},
    {895, "#0 #1 =17@12 interface <IF:{eth0|eth1|agg0}/36@16> qos-marker <PROFILE:str/33@52>", 88,
     NoForm::Also, "bind a marker profile to an Ethernet interface"},
    {885, "#0 ssid <SSID:str/33@12> qos-classifier <PROFILE:str/33@45> #1", 80, NoForm::Also,
     "bind a classifier profile to an SSID's interfaces"},
    {882, "#0 ssid <SSID:str/33@12> qos-marker <PROFILE:str/33@45> #1", 80, NoForm::Also,
     "bind a marker profile to an SSID's interfaces"},
    {880, "show interface qos-classifier", 12, NoForm::None,
     "the classifier profile of every interface"},
    {881, "#0 show interface <IF:str/33@12> qos-classifier", 48, NoForm::None,
     "the classifier profile of one interface"},
    {894, "show interface qos-marker", 12, NoForm::None, "the marker profile of every interface"},
    {896, "#0 show interface <IF:str/33@12> qos-marker", 48, NoForm::None,
     "the marker profile of one interface"},
    {886, "show ssid [<SSID:str/33@12> #0] qos-classifier", 48, NoForm::None,
     "the classifier profile of the SSIDs"},
    {884, "show ssid [<SSID:str/33@12> #0] qos-marker", 48, NoForm::None,
     "the marker profile of the SSIDs"},
};

}  // namespace cmdtbl
