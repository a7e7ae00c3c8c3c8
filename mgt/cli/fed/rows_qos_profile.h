// QoS classifier and marker profiles and their binding to wireless interfaces.
#pragma once

#include "mgt/cli/fed/cmd_table.h"

namespace cmdtbl {

inline constexpr CmdRow kRowsQosProfile[] = {
    {902,
     "#0 qos classifier-profile <NAME:str/33@12> "
     "[<METHOD:{8021p|80211e|diffserv|interface/ssid|mac|service|interface/ssid-only}/35@45> #1]",
     80, NoForm::Also,
     "define a classifier profile or add a method (no: remove the method, or the profile)"},
    {903, "show qos classifier-profile", 12, NoForm::None, "the classifier profiles"},
    {848, "#0 qos marker-profile <NAME:str/33@12> [<METHOD:{8021p|80211e|diffserv}/35@45> #1]", 80,
     NoForm::Also,
     "define a marker profile with one method (no: remove the method, or the profile)"},
    {849, "show qos marker-profile", 12, NoForm::None, "the marker profiles"},
    {879, "#0 interface <IF:str/33@12> qos-classifier [<PROFILE:str/33@45> #1]", 80, NoForm::Also,
     "bind a classifier profile to a wireless interface"},
    {883, "#0 interface <IF:str/33@12> qos-marker [<PROFILE:str/33@45> #1]", 80, NoForm::Also,
     "bind a marker profile to a wireless interface"},
};

}  // namespace cmdtbl
